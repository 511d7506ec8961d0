#include "startup/main_form_win32.h"

#include <commctrl.h>

#include <array>

#include "display/icon_layout.h"
#include "platform/win32_util.h"
#include "res/resource.h"
#include "settings/watched_app.h"
#include "startup/app_win32.h"

namespace vl {
namespace {

constexpr char kMainClassName[] = "Vigilumen.SSList";
constexpr char kCaption[] = "Corvane Vigilumen";
constexpr UINT kWatchdogIntervalMs = 3000;
constexpr UINT kOverlayIntervalMs = 473;
constexpr UINT kDisplayPropertiesIntervalMs = 100;

// Client area of the dialog, and the application list's place on its page.
constexpr double kClientWidthTwips = 5130;
constexpr double kClientHeightTwips = 6045;
constexpr double kPageLeftTwips = 135;
constexpr double kPageTopTwips = 450;
constexpr double kPageWidthTwips = 4785;
constexpr double kListLeftTwips = 90;
constexpr double kListTopTwips = 180;
constexpr double kListWidthTwips = 4695;
constexpr double kListHeightTwips = 2040;

constexpr int kAppListId = 100;

// The list's columns: two visible, six of zero width holding the row's copy
// of the record.
constexpr std::array<const char*, 8> kColumns = {"Application", "Polling method", "Method Id", "Icon",
                                                 "Text",        "Enabled",        "Data",      "Id"};

}  // namespace

MainForm* MainForm::FromHandle(HWND hwnd) {
    return reinterpret_cast<MainForm*>(::GetWindowLongPtrA(hwnd, GWLP_USERDATA));
}

LRESULT CALLBACK MainForm::WndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE) {
        auto* self = static_cast<MainForm*>(reinterpret_cast<CREATESTRUCTA*>(lp)->lpCreateParams);
        self->hwnd_ = hwnd;
        ::SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    MainForm* self = FromHandle(hwnd);
    return self ? self->HandleMessage(msg, wp, lp) : ::DefWindowProcA(hwnd, msg, wp, lp);
}

LRESULT MainForm::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_TIMER: OnTimer(wp); return 0;
        case WM_CLOSE: OnClose(); return 0;
        case WM_DESTROY: Form_Unload(); return 0;
        case WM_NCDESTROY:
            ::SetWindowLongPtrA(hwnd_, GWLP_USERDATA, 0);
            hwnd_ = nullptr;
            lvAppList_ = nullptr;
            return 0;
        default: return ::DefWindowProcA(hwnd_, msg, wp, lp);
    }
}

void CALLBACK MainForm::OverlayTimerProc(HWND hwnd, UINT, UINT_PTR, DWORD) {
    if (MainForm* self = FromHandle(hwnd)) self->app_.OverlayTimerTick();
}

void CALLBACK MainForm::DisplayPropertiesTimerProc(HWND hwnd, UINT, UINT_PTR, DWORD) {
    if (MainForm* self = FromHandle(hwnd)) self->app_.DisplayPropertiesTick();
}

bool MainForm::CreateAndLoad(HINSTANCE instance) {
    WNDCLASSEXA wc{};
    if (!::GetClassInfoExA(instance, kMainClassName, &wc)) {
        wc = WNDCLASSEXA{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = WndProc;
        wc.hInstance = instance;
        wc.hIcon = ::LoadIconA(instance, MAKEINTRESOURCEA(IDI_VIGILUMEN));
        wc.hIconSm = static_cast<HICON>(::LoadImageA(instance, MAKEINTRESOURCEA(IDI_VIGILUMEN), IMAGE_ICON,
                                                     ::GetSystemMetrics(SM_CXSMICON),
                                                     ::GetSystemMetrics(SM_CYSMICON), LR_SHARED));
        wc.hCursor = ::LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));  // IDC_ARROW
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        wc.lpszClassName = kMainClassName;
        if (!::RegisterClassExA(&wc)) return false;
    }
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_LISTVIEW_CLASSES | ICC_TAB_CLASSES | ICC_STANDARD_CLASSES};
    ::InitCommonControlsEx(&icc);

    twips_ = ScreenTwips();
    const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
    const DWORD exStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;
    RECT r{0, 0, twips_.PxX(kClientWidthTwips), twips_.PxY(kClientHeightTwips)};
    ::AdjustWindowRectEx(&r, style, FALSE, exStyle);
    if (!::CreateWindowExA(exStyle, kMainClassName, "", style, CW_USEDEFAULT, CW_USEDEFAULT, r.right - r.left,
                           r.bottom - r.top, nullptr, nullptr, instance, this))
        return false;
    CreateControls();
    Form_Load();
    return true;
}

void MainForm::CreateControls() {
    const HINSTANCE instance = reinterpret_cast<HINSTANCE>(::GetWindowLongPtrA(hwnd_, GWLP_HINSTANCE));
    lvAppList_ = ::CreateWindowExA(
        WS_EX_CLIENTEDGE, WC_LISTVIEWA, "",
        WS_CHILD | WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS,
        twips_.PxX(kPageLeftTwips + kListLeftTwips), twips_.PxY(kPageTopTwips + kListTopTwips),
        twips_.PxX(kListWidthTwips), twips_.PxY(kListHeightTwips), hwnd_,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(kAppListId)), instance, nullptr);
    ListView_SetExtendedListViewStyle(lvAppList_, LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);
    for (size_t i = 0; i < kColumns.size(); ++i) {
        LVCOLUMNA col{};
        col.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
        col.pszText = const_cast<char*>(kColumns[i]);
        col.cx = 0;
        col.iSubItem = static_cast<int>(i);
        ::SendMessageA(lvAppList_, LVM_INSERTCOLUMNA, i, reinterpret_cast<LPARAM>(&col));
    }
}

void MainForm::Form_Load() {
    IsFillingControls = true;
    timer1Interval_ = kWatchdogIntervalMs;
    ::SetWindowTextA(hwnd_, kCaption);

    const int half = twips_.PxX(kPageWidthTwips / 2);
    ListView_SetColumnWidth(lvAppList_, 0, half);
    ListView_SetColumnWidth(lvAppList_, 1, half);

    app_.LoadSettings();
    FillAppList();
    if (ListView_GetItemCount(lvAppList_) > 0) {
        ListView_SetItemState(lvAppList_, 0, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    }

    CurrentSaverIndex = -1;
    ScreenWidth = ::GetSystemMetrics(SM_CXMAXIMIZED);
    ScreenHeight = ::GetSystemMetrics(SM_CYMAXIMIZED);

    RuntimeState& state = app_.state();
    state.OverlayTimer = ::SetTimer(hwnd_, kOverlayTimerId, kOverlayIntervalMs, OverlayTimerProc);
    ResetDrawnIcons(state);
    SetDirty(false);
    if (state.DisplayPropertiesWindow != 0) state.DisplayPropertiesTimer = ArmDisplayPropertiesWatch();
    IsFillingControls = false;
}

void MainForm::FillAppList() {
    ListView_DeleteAllItems(lvAppList_);
    rowKeys_.clear();
    const std::vector<std::string>& table = app_.state().AppTable;
    for (int n = 0; n < static_cast<int>(table.size()); ++n) {
        AppListRow row = RowOfRecord(table[n], n);
        LVITEMA item{};
        item.mask = LVIF_TEXT | LVIF_PARAM;
        item.iItem = n;
        item.pszText = row.text.data();
        item.lParam = n;
        int at = static_cast<int>(::SendMessageA(lvAppList_, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
        if (at < 0) continue;
        rowKeys_[n] = row.key;
        for (int s = 0; s < static_cast<int>(row.subItems.size()); ++s) {
            LVITEMA sub{};
            sub.iSubItem = s + 1;
            sub.pszText = row.subItems[s].data();
            ::SendMessageA(lvAppList_, LVM_SETITEMTEXTA, at, reinterpret_cast<LPARAM>(&sub));
        }
        ListView_SetCheckState(lvAppList_, at, row.checked);
    }
}

void MainForm::Form_Unload() { app_.FormUnload(); }

void MainForm::OnTimer(UINT_PTR id) {
    if (id == kTimer1) app_.Timer1Tick();
}

void MainForm::OnClose() { Close(); }

void MainForm::Close() {
    if (Exists()) ::DestroyWindow(hwnd_);
}

void MainForm::ShowModal() {
    if (!Exists()) return;
    ::ShowWindow(hwnd_, SW_SHOWNORMAL);
    ::SetForegroundWindow(hwnd_);
    MSG msg;
    while (Exists() && ::GetMessageA(&msg, nullptr, 0, 0) > 0) {
        if (Exists() && ::IsDialogMessageA(hwnd_, &msg)) continue;
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
}

void MainForm::SetTimer1Enabled(bool enabled) {
    timer1Enabled_ = enabled;
    if (!Exists()) return;
    if (enabled)
        ::SetTimer(hwnd_, kTimer1, timer1Interval_, nullptr);
    else
        ::KillTimer(hwnd_, kTimer1);
}

void MainForm::KillFormTimer(UINT_PTR id) {
    if (Exists()) ::KillTimer(hwnd_, id);
}

UINT_PTR MainForm::ArmDisplayPropertiesWatch() {
    return ::SetTimer(hwnd_, kDisplayPropertiesTimerId, kDisplayPropertiesIntervalMs, DisplayPropertiesTimerProc);
}

void MainForm::SetDirty(bool flag) { isDirty_ = flag; }

DialogChoices MainForm::Choices() const {
    // Until the dialog's pages exist, a save keeps the values that were loaded.
    const RuntimeState& state = app_.state();
    DialogChoices c;
    c.blinkChecked = state.BlinkIcons;
    c.enlargeChecked = state.EnlargeIcons;
    c.horizontal = state.IconOrientation == 1;
    return c;
}

}  // namespace vl
