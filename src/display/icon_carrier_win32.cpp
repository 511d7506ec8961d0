#include "display/icon_carrier_win32.h"

#include <algorithm>

namespace vl {
namespace {

constexpr char kCarrierClass[] = "Vigilumen.frmIcon";
constexpr double kParkedLeftTwips = -20000;

}  // namespace

LRESULT CALLBACK IconCarrier::WndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_MOUSEACTIVATE: return MA_NOACTIVATE;  // a click must never take the saver's activation
        default: return ::DefWindowProcA(hwnd, msg, wp, lp);
    }
}

bool IconCarrier::CreateParked(HINSTANCE instance, const TwipsScale& twips) {
    WNDCLASSEXA wc{};
    if (!::GetClassInfoExA(instance, kCarrierClass, &wc)) {
        wc = WNDCLASSEXA{};
        wc.cbSize = sizeof wc;
        wc.style = CS_OWNDC;  // the icons are repainted into the carrier's own DC
        wc.lpfnWndProc = WndProc;
        wc.hInstance = instance;
        wc.hbrBackground = static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH));
        wc.lpszClassName = kCarrierClass;
        if (!::RegisterClassExA(&wc)) return false;
    }
    const int left = twips.PxX(kParkedLeftTwips);
    const int size = std::max(1, twips.PxX(1));
    window_.reset(::CreateWindowExA(WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE | WS_EX_TOPMOST, kCarrierClass, "",
                                    WS_POPUP, left, 0, size, size, nullptr, nullptr, instance, nullptr));
    if (!window_) return false;
    ::ShowWindow(window_.get(), SW_SHOWNOACTIVATE);
    return true;
}

void IconCarrier::Close() { window_.reset(); }

}  // namespace vl
