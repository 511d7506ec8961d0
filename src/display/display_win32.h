// The notification display on Windows: the icon carrier, the icons it shows
// and the screen, as the display rules use them.
#pragma once

#include "platform/win32_api.h"

#include <string>
#include <vector>

#include "display/icon_cache_win32.h"
#include "display/icon_carrier_win32.h"
#include "display/notify.h"
#include "display/notify_monitor.h"
#include "platform/twips.h"
#include "platform/win32_handles.h"

namespace vl {

// The monitors of the desktop, as Windows lists them.
std::vector<Monitor> ScreenMonitors();

class Win32Display final : public DisplayPorts {
public:
    Win32Display(HINSTANCE instance, std::string programFolder)
        : instance_(instance), programFolder_(std::move(programFolder)) {}

    // Run mode: the carrier, parked off the screen until the first icon. The
    // screen's scale is taken here, not at start-up: asking the screen costs
    // a connection to the display that the saver's start need not wait for.
    void CreateCarrier(bool enlarged);
    void CloseCarrier() { carrier_.Close(); }
    // The end of an overlay tick: its repaints show together.
    void EndOverlayTick() { carrier_.EndTick(); }

    std::string ProgramFolder() override { return programFolder_; }
    TwipsScale Twips() override { return twips_; }
    bool FileExists(const std::string& path) override;
    std::uintptr_t WindowAtProbePoint() override;
    std::uint32_t ProcessOfWindow(std::uintptr_t window) override;
    void BecomeChildOf(std::uintptr_t window) override { carrier_.BecomeChildOf(reinterpret_cast<HWND>(window)); }
    void CreateElement(int k) override { carrier_.CreateElement(k); }
    bool LoadElementPicture(int k, const std::string& path) override { return carrier_.LoadElementPicture(k, path); }
    void SetElementFallback(int k) override { carrier_.SetElementFallback(k); }
    double ElementWidthTwips(int k) override { return twips_.TwX(carrier_.ElementWidth(k)); }
    double ElementHeightTwips(int k) override { return twips_.TwY(carrier_.ElementHeight(k)); }
    void PlaceElement(int k, double leftTwips, double topTwips) override;
    void PlaceCarrier(double left, double top, double width, double height) override;
    void SetCarrierLeft(double leftTwips) override { carrier_.SetLeft(twips_.PxX(leftTwips)); }
    void RepaintElement(int k) override { carrier_.RepaintElement(k); }
    std::uintptr_t CarrierDc() override { return reinterpret_cast<std::uintptr_t>(carrier_.dc()); }
    void DrawIconInto(std::uintptr_t dc, int x, int y, const std::string& path) override;
    std::pair<int, int> DrawIconOnScreen(int x, int y, const std::string& path) override;
    void DrawTextLine(int line, const std::string& text) override;

private:
    HICON FallbackIcon();
    HICON FileIcon(const std::string& path);

    HINSTANCE instance_;
    std::string programFolder_;
    TwipsScale twips_;
    IconCarrier carrier_;
    IconCache iconCache_;
    UniqueIcon appIcon_;       // element 0's picture before the first icon
    UniqueIcon fallbackIcon_;  // the no-entry sign, for missing or broken icon files
    UniqueDc screenDc_;        // the texts' DC, made at the first text
    int lineHeight_ = 0;
};

}  // namespace vl
