// Showing notification icons over the running saver, and repainting and
// blinking them on the overlay timer.
#pragma once

#include <cstdint>
#include <string>
#include <utility>

#include "core/runtime_state.h"
#include "host/saver_watch.h"
#include "platform/twips.h"

namespace vl {

// The icon carrier window and the screen, as the display rules use them.
class DisplayPorts {
public:
    virtual ~DisplayPorts() = default;
    virtual std::string ProgramFolder() = 0;
    virtual TwipsScale Twips() = 0;
    virtual bool FileExists(const std::string& path) = 0;

    // The window at screen point (1,1) and the process that owns it; 0 when none.
    virtual std::uintptr_t WindowAtProbePoint() = 0;
    virtual std::uint32_t ProcessOfWindow(std::uintptr_t window) = 0;
    // The carrier. Element 0 exists from the start; later ones are created
    // hidden. The carrier becomes the window's child (or, refused, a topmost
    // window of its own).
    virtual void BecomeChildOf(std::uintptr_t window) = 0;
    virtual void CreateElement(int k) = 0;
    // Shows the file's icon in element k and makes it visible; false when the
    // file holds no loadable icon (nothing changes then).
    virtual bool LoadElementPicture(int k, const std::string& path) = 0;
    virtual void SetElementFallback(int k) = 0;  // the no-entry icon; visibility unchanged
    virtual double ElementWidthTwips(int k) = 0;
    virtual double ElementHeightTwips(int k) = 0;
    virtual void PlaceElement(int k, double leftTwips, double topTwips) = 0;
    virtual void PlaceCarrier(double left, double top, double width, double height) = 0;  // twips
    virtual void SetCarrierLeft(double leftTwips) = 0;
    virtual void RepaintElement(int k) = 0;
    virtual std::uintptr_t CarrierDc() = 0;

    // Draws the icon of the file (or the no-entry icon when it is missing or
    // not loadable) at its system size.
    virtual void DrawIconInto(std::uintptr_t dc, int x, int y, const std::string& path) = 0;
    // The same on the screen; returns the picture's width and height.
    virtual std::pair<int, int> DrawIconOnScreen(int x, int y, const std::string& path) = 0;
    // A text on the screen, on the given line from (1,1) down.
    virtual void DrawTextLine(int line, const std::string& text) = 0;
};

// Writes an event's text (its own line, the first at (1,1)) and keeps it
// for the overlay timer to draw again.
void ShowText(RuntimeState& state, DisplayPorts& display, const std::string& text);

// Places the icon in the carrier, once per path and run. sIconPath is
// completed to a full path in the caller's copy. The first icon moves the
// carrier into the saver's window, and only into a window of one of the
// saver's processes: the saver may have ended since the ownership test, and
// the window at (1,1) may be another program's by now.
void ShowIconEx(RuntimeState& state, HostPorts& host, RunControl& run, DisplayPorts& display, std::int16_t nIndex,
                std::string& sIconPath);

// Draws the icon straight on the screen at a 40-pixel pitch, once per path and run.
void ShowIcon(RuntimeState& state, HostPorts& host, RunControl& run, DisplayPorts& display, std::int16_t nIndex,
              std::string& sIconPath);

// The overlay tick's drawing after its ownership test: blink and repaint.
void OverlayDraw(RuntimeState& state, DisplayPorts& display);

}  // namespace vl
