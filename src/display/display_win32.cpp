#include "display/display_win32.h"

#include "display/icon_layout.h"
#include "platform/win32_util.h"
#include "res/resource.h"

namespace vl {

namespace {

BOOL CALLBACK AddMonitor(HMONITOR handle, HDC, RECT*, LPARAM list) {
    MONITORINFOEXW info{};
    info.cbSize = sizeof info;
    if (::GetMonitorInfoW(handle, &info)) {
        const RECT& r = info.rcMonitor;
        reinterpret_cast<std::vector<Monitor>*>(list)->push_back(
            {{r.left, r.top, r.right, r.bottom}, Narrow(info.szDevice), (info.dwFlags & MONITORINFOF_PRIMARY) != 0});
    }
    return TRUE;
}

}  // namespace

std::vector<Monitor> ScreenMonitors() {
    std::vector<Monitor> monitors;
    ::EnumDisplayMonitors(nullptr, nullptr, AddMonitor, reinterpret_cast<LPARAM>(&monitors));
    return monitors;
}

void Win32Display::CreateCarrier(bool enlarged) {
    const int size = enlarged ? kEnlargedIconPixels : kIconPixels;
    appIcon_.reset(
        static_cast<HICON>(::LoadImageW(instance_, MAKEINTRESOURCEW(IDI_VIGILUMEN), IMAGE_ICON, size, size, 0)));
    twips_ = ScreenTwips();
    carrier_.CreateParked(instance_, twips_, enlarged, appIcon_.get(), FallbackIcon());
    carrier_.SetIconSource(&iconCache_);
}

HICON Win32Display::FallbackIcon() {
    if (!fallbackIcon_)
        fallbackIcon_.reset(
            static_cast<HICON>(::LoadImageW(instance_, MAKEINTRESOURCEW(IDI_NODROP), IMAGE_ICON,
                                            ::GetSystemMetrics(SM_CXICON), ::GetSystemMetrics(SM_CYICON), 0)));
    return fallbackIcon_.get();
}

HICON Win32Display::FileIcon(const std::string& path) {
    HICON icon = iconCache_.Get(path);
    return icon ? icon : FallbackIcon();
}

bool Win32Display::FileExists(const std::string& path) { return IsExistingFile(path); }

std::uintptr_t Win32Display::WindowAtProbePoint() {
    return reinterpret_cast<std::uintptr_t>(::WindowFromPoint(POINT{1, 1}));
}

std::uint32_t Win32Display::ProcessOfWindow(std::uintptr_t window) {
    DWORD pid = 0;
    return ::GetWindowThreadProcessId(reinterpret_cast<HWND>(window), &pid) ? pid : 0;
}

void Win32Display::PlaceElement(int k, double leftTwips, double topTwips) {
    carrier_.PlaceElement(k, twips_.PxX(leftTwips), twips_.PxY(topTwips));
}

void Win32Display::PlaceCarrier(double left, double top, double width, double height) {
    carrier_.Place(twips_.PxX(left), twips_.PxY(top), twips_.PxX(width), twips_.PxY(height));
}

void Win32Display::DrawIconInto(std::uintptr_t dc, int x, int y, const std::string& path) {
    // Entries of a carrier that went with the saver's window have nothing to paint into.
    if (!carrier_.hwnd() || reinterpret_cast<HDC>(dc) != carrier_.dc()) return;
    carrier_.DrawTickIcon(x, y, path);
}

std::pair<int, int> Win32Display::DrawIconOnScreen(int x, int y, const std::string& path) {
    UniqueWindowDc screen = GetWindowDc(nullptr);
    if (screen) ::DrawIcon(screen.get(), x, y, FileIcon(path));
    return {::GetSystemMetrics(SM_CXICON), ::GetSystemMetrics(SM_CYICON)};
}

// TextOut on the screen, with the DC's defaults: line 0 at (1,1), each
// further line one text height lower. The texts are written again on every
// tick, so the screen's DC is made once: a fresh one each time costs a
// round trip and its font's set-up.
void Win32Display::DrawTextLine(int line, const std::string& text) {
    if (!screenDc_) {
        screenDc_.reset(::CreateDCW(L"DISPLAY", nullptr, nullptr, nullptr));
        TEXTMETRICW metrics{};
        if (!screenDc_ || !::GetTextMetricsW(screenDc_.get(), &metrics)) {
            screenDc_.reset();
            return;
        }
        lineHeight_ = metrics.tmHeight;
    }
    const std::wstring units = Wide(text);
    ::TextOutW(screenDc_.get(), 1, 1 + line * lineHeight_, units.data(), static_cast<int>(units.size()));
}

}  // namespace vl
