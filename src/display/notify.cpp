#include "display/notify.h"

#include <algorithm>
#include <cmath>

#include "core/data_folder.h"
#include "display/icon_layout.h"
#include "display/notify_monitor.h"

namespace vl {
namespace {

// What both display methods do first: complete the path, skip an icon on
// show already, test that the saver still owns the screen. Returns the
// entry index to fill, or -1 when nothing is to be drawn.
int EntryToFill(RuntimeState& state, HostPorts& host, RunControl& run, DisplayPorts& display, std::string& path) {
    // An icon already shown needs nothing, not even the ownership test that
    // the overlay timer makes twice a second anyway.
    path = InDataFolder(display.ProgramFolder(), path);
    if (state.display.IconsShown && IsIconDrawn(state, path)) return -1;
    switch (TestOwnership(state, host)) {
        case Ownership::Owned: break;
        case Ownership::Pending: return -1;  // not yet on screen: nothing to draw over
        case Ownership::Lost: ShutdownAfterFailedTest(state, run); return -1;
    }
    state.display.IconsShown = true;
    if (IsIconDrawn(state, path)) return -1;
    return state.display.DrawnIconCount;
}

}  // namespace

void ShowIconEx(RuntimeState& state, HostPorts& host, RunControl& run, DisplayPorts& display, std::int16_t nIndex,
                std::string& sIconPath) {
    const int k = EntryToFill(state, host, run, display, sIconPath);
    if (k < 0) return;
    if (k == 0) {
        const std::uintptr_t window = display.WindowAtProbePoint();
        if (window == 0 || !IsSaverProcess(state, display.ProcessOfWindow(window))) return;  // next tick
        display.BecomeChildOf(window);
    } else {
        display.CreateElement(k);
    }

    // A file that is there but holds no icon is treated like a missing one.
    if (!display.FileExists(sIconPath) || !display.LoadElementPicture(k, sIconPath)) display.SetElementFallback(k);

    const TwipsScale twips = display.Twips();
    const double w = display.ElementWidthTwips(k);
    const double h = display.ElementHeightTwips(k);
    const CarrierLayout l = LayoutCarrierIcon(k, w, h, display.ElementWidthTwips(0), state.settings.IconOrientation,
                                              state.settings.NotifyX, state.settings.NotifyY, twips);
    display.PlaceElement(k, l.elementLeft, l.elementTop);
    // On the chosen monitor, and whole on it however many icons it holds.
    const ScreenRect on = PlaceOnMonitor(state.display.NotifyArea, {state.settings.NotifyX, state.settings.NotifyY},
                                         twips.PxX(l.carrierWidth), twips.PxY(l.carrierHeight));
    state.display.CarrierLeft = on.left;
    display.PlaceCarrier(twips.TwX(on.left), twips.TwY(on.top), l.carrierWidth, l.carrierHeight);

    DrawnIcon e;
    e.Index = nIndex;
    e.X = l.entryX;
    e.Y = l.entryY;
    e.Width = static_cast<std::int32_t>(std::lround(w));
    e.Height = static_cast<std::int32_t>(std::lround(h));
    e.IconPath = sIconPath;
    e.CarrierDC = display.CarrierDc();
    AddDrawnIcon(state, e);
}

void ShowIcon(RuntimeState& state, HostPorts& host, RunControl& run, DisplayPorts& display, std::int16_t nIndex,
              std::string& sIconPath) {
    const int k = EntryToFill(state, host, run, display, sIconPath);
    if (k < 0) return;
    const ScreenPoint step =
        ScreenIconPosition(k, state.settings.IconOrientation, state.settings.NotifyX, state.settings.NotifyY);
    const ScreenRect on = PlaceOnMonitor(state.display.NotifyArea, step, kIconPixels, kIconPixels);
    const ScreenPoint at{on.left, on.top};
    const auto [width, height] = display.DrawIconOnScreen(at.x, at.y, sIconPath);
    DrawnIcon e;
    e.Index = nIndex;
    e.X = at.x;
    e.Y = at.y;
    e.Width = width;
    e.Height = height;
    e.IconPath = sIconPath;
    AddDrawnIcon(state, e);
}

void ShowText(RuntimeState& state, DisplayPorts& display, const std::string& text) {
    auto found = std::find(state.display.ShownTexts.begin(), state.display.ShownTexts.end(), text);
    const int line = static_cast<int>(found - state.display.ShownTexts.begin());
    if (found == state.display.ShownTexts.end()) state.display.ShownTexts.push_back(text);
    display.DrawTextLine(line, text);
}

void OverlayDraw(RuntimeState& state, DisplayPorts& display) {
    for (size_t line = 0; line < state.display.ShownTexts.size(); ++line)
        display.DrawTextLine(static_cast<int>(line), state.display.ShownTexts[line]);
    if (!state.display.IconsShown) return;
    const TwipsScale twips = display.Twips();
    const int count = state.display.DrawnIconCount;
    // One carrier for every entry, so the last entry's phase decides where it
    // stands: it is moved once, not once per entry (each move is repainted
    // through the saver's window, in the saver's process).
    // Parked off the screen, it is not painted: it paints itself whole when
    // it comes back.
    const bool parked = state.settings.BlinkIcons && count > 0 && state.display.DrawnIcons[count - 1].BlinkPhase;
    if (state.settings.BlinkIcons && count > 0)
        display.SetCarrierLeft(parked ? kParkedLeftTwips : twips.TwX(state.display.CarrierLeft));
    for (int k = 0; k < count; ++k) {
        DrawnIcon& e = state.display.DrawnIcons[k];
        e.BlinkPhase = !e.BlinkPhase;
        if (parked) continue;
        if (!state.settings.EnlargeIcons) {
            // Icons drawn on the screen have no carrier DC: nothing to repaint.
            if (e.CarrierDC != 0)
                display.DrawIconInto(e.CarrierDC, static_cast<int>(std::lround(e.X / twips.perPixelX)),
                                     static_cast<int>(std::lround(e.Y / twips.perPixelY)), e.IconPath);
        } else if (state.settings.BlinkIcons) {
            display.RepaintElement(k);
        }
    }
}

}  // namespace vl
