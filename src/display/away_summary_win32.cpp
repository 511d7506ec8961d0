#include "display/away_summary_win32.h"

#include <algorithm>
#include <array>

#include "platform/dpi.h"
#include "platform/message_loop_win32.h"
#include "platform/win32_system_dll.h"
#include "platform/win32_util.h"
#include "platform/win32_window.h"
#include "res/resource.h"

namespace vl {
namespace {

constexpr wchar_t kClassName[] = L"Vigilumen.AwaySummary";
constexpr wchar_t kCaption[] = L"While you were away";
constexpr std::array<const wchar_t*, 3> kColumns = {L"Time", L"Application", L"What happened"};
constexpr UINT_PTR kLifetimeTimer = 1;
constexpr DWORD kStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
constexpr DWORD kExStyle = WS_EX_DLGMODALFRAME;
// The system's metrics are the system DPI's; these are scaled to the window's.
constexpr int kEdgeAt96 = 2, kScrollBarAt96 = 17;

std::vector<std::string> Columns(const std::string& line) {
    std::vector<std::string> columns;
    size_t from = 0;
    for (size_t tab; (tab = line.find('\t', from)) != std::string::npos; from = tab + 1)
        columns.push_back(line.substr(from, tab - from));
    columns.push_back(line.substr(from));
    return columns;
}

}  // namespace

std::string ShortTimeText(const ClockTime& at) {
    SYSTEMTIME time{};
    ::GetLocalTime(&time);  // a valid date: only the time of day is shown
    time.wHour = static_cast<WORD>(at.hour);
    time.wMinute = static_cast<WORD>(at.minute);
    time.wSecond = static_cast<WORD>(at.second);
    time.wMilliseconds = 0;
    wchar_t text[80] = {};
    if (::GetTimeFormatEx(LOCALE_NAME_USER_DEFAULT, TIME_NOSECONDS, &time, nullptr, text, 80) == 0) return {};
    return Narrow(text);
}

AwaySummary::~AwaySummary() {
    if (hwnd_ && ::IsWindow(hwnd_)) ::DestroyWindow(hwnd_);
}

LRESULT AwaySummary::HandleMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_ACTIVATE: OnActivate(LOWORD(wp) != WA_INACTIVE); return 0;
        case WM_DPICHANGED: OnDpiChanged(HIWORD(wp), *reinterpret_cast<const RECT*>(lp)); return 0;
        case WM_TIMER:
            if (wp == kLifetimeTimer) ::DestroyWindow(hwnd);
            return 0;
        case WM_NCDESTROY:
            (void)lifetime_.release();  // the timer went with the window
            hwnd_ = nullptr;
            list_ = nullptr;
            return 0;
        default: return ::DefWindowProcW(hwnd, msg, wp, lp);
    }
}

// Clicked, the window has the focus in its list, where Esc reaches it.
void AwaySummary::OnActivate(bool active) {
    if (active && list_) ::SetFocus(list_);
}

void AwaySummary::Run(HINSTANCE instance, const std::vector<std::string>& lines, ScreenPoint at) {
    if (!Create(instance, lines, at)) return;
    FitAndPlace(at);
    lifetime_.reset(::SetTimer(hwnd_, kLifetimeTimer, kLifetimeMs, nullptr), TimerCloser{hwnd_});
    // Whoever comes back is busy elsewhere: the summary waits to be clicked.
    ::ShowWindow(hwnd_, SW_SHOWNOACTIVATE);
    // The run's loop has ended before: this one is the outermost.
    (void)RunMessageLoop(
        {}, {}, [this] { return !hwnd_; }, [this](const MSG& msg) { return CloseOnEscape(msg); });
}

bool AwaySummary::CloseOnEscape(const MSG& msg) {
    if (msg.message != WM_KEYDOWN || msg.wParam != VK_ESCAPE || !hwnd_ ||
        (msg.hwnd != hwnd_ && !::IsChild(hwnd_, msg.hwnd)))
        return false;
    ::DestroyWindow(hwnd_);
    return true;
}

bool AwaySummary::Create(HINSTANCE instance, const std::vector<std::string>& lines, ScreenPoint at) {
    WindowClassLook look;
    look.icon = ::LoadIconW(instance, MAKEINTRESOURCE(IDI_VIGILUMEN));
    look.background = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    if (!RegisterObjectWindowClass<AwaySummary>(instance, kClassName, look)) return false;
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_LISTVIEW_CLASSES};
    static const auto initControls =
        SystemFunction<decltype(&::InitCommonControlsEx)>(L"comctl32.dll", "InitCommonControlsEx");
    if (initControls) initControls(&icc);
    // Made where it will show, so that it is drawn for that monitor's DPI.
    hwnd_ = ::CreateWindowExW(kExStyle, kClassName, kCaption, kStyle, at.x, at.y, 400, 200, nullptr, nullptr, instance,
                              this);
    if (!hwnd_) return false;
    list_ = ::CreateWindowExW(WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"",
                              WS_CHILD | WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_NOSORTHEADER | LVS_SINGLESEL,
                              0, 0, 400, 200, hwnd_, nullptr, instance, nullptr);
    if (!list_) return false;
    SetFontForDpi(WindowDpi(hwnd_));
    ListView_SetExtendedListViewStyle(list_, LVS_EX_FULLROWSELECT);
    for (int c = 0; c < static_cast<int>(kColumns.size()); ++c) {
        LVCOLUMNW column{};
        column.mask = LVCF_TEXT | LVCF_WIDTH;
        column.cx = 100;
        column.pszText = const_cast<wchar_t*>(kColumns[c]);
        ListView_InsertColumn(list_, c, &column);
    }
    for (int row = 0; row < static_cast<int>(lines.size()); ++row) {
        const std::vector<std::string> columns = Columns(lines[row]);
        for (int c = 0; c < static_cast<int>(kColumns.size()) && c < static_cast<int>(columns.size()); ++c) {
            std::wstring text = Wide(columns[c]);
            LVITEMW item{};
            item.mask = LVIF_TEXT;
            item.iItem = row;
            item.iSubItem = c;
            item.pszText = text.data();
            if (c == 0)
                ListView_InsertItem(list_, &item);
            else
                ListView_SetItem(list_, &item);
        }
    }
    FitColumns();
    return true;
}

void AwaySummary::SetFontForDpi(int dpi) {
    dpi_ = dpi;
    LOGFONTW font{};
    if (!MessageFontForDpi(font, dpi)) return;
    UniqueFont made(::CreateFontIndirectW(&font));
    if (!made) return;
    ::SendMessageW(list_, WM_SETFONT, reinterpret_cast<WPARAM>(made.get()), TRUE);
    font_ = std::move(made);
}

// Each column as wide as its widest text or its heading, whichever is
// wider; the last one must not stretch to the list's width.
void AwaySummary::FitColumns() {
    const int padding = ScaleToDpi(4 * kEdgeAt96 + 8, dpi_);
    for (int c = 0; c < static_cast<int>(kColumns.size()); ++c) {
        ListView_SetColumnWidth(list_, c, LVSCW_AUTOSIZE);
        const int heading = ListView_GetStringWidth(list_, kColumns[c]) + padding;
        if (ListView_GetColumnWidth(list_, c) < heading) ListView_SetColumnWidth(list_, c, heading);
    }
}

// Moved to a monitor of another scale: the texts at that scale, the window
// fitted to them again where Windows proposes.
void AwaySummary::OnDpiChanged(int dpi, const RECT& suggested) {
    SetFontForDpi(dpi);
    FitColumns();
    FitAndPlace({suggested.left, suggested.top});
}

// As large as the lines need, up to two thirds of the work area (the list
// scrolls beyond that), with its top-left corner at the notification
// position, moved as little as it takes to lie whole on the screen.
void AwaySummary::FitAndPlace(ScreenPoint at) {
    RECT work{};
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    if (::GetMonitorInfoW(::MonitorFromPoint(POINT{at.x, at.y}, MONITOR_DEFAULTTONEAREST), &monitor))
        work = monitor.rcWork;
    else
        ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    const int workWidth = work.right - work.left, workHeight = work.bottom - work.top;
    int width = 0;
    for (int c = 0; c < static_cast<int>(kColumns.size()); ++c) width += ListView_GetColumnWidth(list_, c);
    RECT header{}, row{};
    ::GetWindowRect(ListView_GetHeader(list_), &header);
    const int count = ListView_GetItemCount(list_);
    const int rowHeight = count > 0 && ListView_GetItemRect(list_, 0, &row, LVIR_BOUNDS) ? row.bottom - row.top : 16;
    const int edge = ScaleToDpi(2 * kEdgeAt96, dpi_);
    RECT frame{0, 0, width + edge, (header.bottom - header.top) + count * rowHeight + edge + rowHeight / 2};
    if (frame.bottom > workHeight * 2 / 3) {
        frame.bottom = workHeight * 2 / 3;
        frame.right += ScaleToDpi(kScrollBarAt96, dpi_);
    }
    frame.right = std::min<LONG>(frame.right, workWidth * 2 / 3);
    const RECT client = frame;
    AdjustWindowRectForDpi(frame, kStyle, kExStyle, dpi_);
    const int w = frame.right - frame.left, h = frame.bottom - frame.top;
    const int x = std::clamp<int>(at.x, work.left, std::max<int>(work.left, work.right - w));
    const int y = std::clamp<int>(at.y, work.top, std::max<int>(work.top, work.bottom - h));
    ::SetWindowPos(hwnd_, nullptr, x, y, w, h, SWP_NOZORDER | SWP_NOACTIVATE);
    ::MoveWindow(list_, 0, 0, client.right, client.bottom, TRUE);
}

}  // namespace vl
