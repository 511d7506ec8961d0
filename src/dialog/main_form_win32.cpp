#include "dialog/main_form_win32.h"

#include <algorithm>
#include <array>

#include "dialog/app_editor.h"
#include "platform/credentials_win32.h"
#include "platform/message_loop_win32.h"
#include "platform/win32_system_dll.h"
#include "platform/win32_util.h"
#include "platform/win32_window.h"
#include "res/resource.h"
#include "watch/imap_worker_win32.h"
#include "watch/mail_worker_win32.h"

namespace vl {
namespace {

constexpr wchar_t kMainClassName[] = L"Vigilumen.SSList";
constexpr wchar_t kCaption[] = L"Corvane Vigilumen";
constexpr UINT kWatchdogIntervalMs = 3000;
constexpr UINT kOverlayIntervalMs = 473;
constexpr UINT kDisplayPropertiesIntervalMs = 100;


enum ControlId : int { kOk = IDOK, kCancel = IDCANCEL, kApply = 103, kTabStrip = 104 };
constexpr std::array<const wchar_t*, 4> kTabs = {L"Screen Saver", L"Polling", L"Position", L"About"};
constexpr std::array<const wchar_t*, 3> kActions = {L"OK", L"Cancel", L"Apply"};
constexpr std::array<int, 3> kActionIds = {kOk, kCancel, kApply};

}  // namespace

MainForm::MainForm(FormOwner& owner) : owner_(owner) {}

MainForm::~MainForm() { Close(); }

LRESULT MainForm::HandleMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE) hwnd_ = hwnd;
    switch (msg) {
        case WM_TIMER: OnTimer(wp); return 0;
        case kImapNewsMessage:
        case kMailAnswerMessage: owner_.WorkerMessage(msg, wp, lp); return 0;
        case WM_COMMAND: OnCommand(LOWORD(wp), HIWORD(wp)); return 0;
        case WM_NOTIFY: return OnNotify(reinterpret_cast<NMHDR*>(lp));
        case WM_ACTIVATE: OnActivate(LOWORD(wp) != WA_INACTIVE); return 0;
        case WM_DPICHANGED: OnDpiChanged(HIWORD(wp), *reinterpret_cast<const RECT*>(lp)); return 0;
        case WM_CLOSE: Close(); return 0;
        case WM_DESTROY: Form_Unload(); return 0;
        case WM_NCDESTROY: OnNcDestroy(); return 0;
        default: return ::DefWindowProcW(hwnd, msg, wp, lp);
    }
}

bool MainForm::CreateAndLoad(HINSTANCE instance, bool configuring, HWND modalOwner) {
    instance_ = instance;
    configuring_ = configuring;
    WindowClassLook look;
    look.icon = ::LoadIconW(instance, MAKEINTRESOURCE(IDI_VIGILUMEN));
    look.smallIcon = static_cast<HICON>(::LoadImageW(instance, MAKEINTRESOURCE(IDI_VIGILUMEN), IMAGE_ICON,
                                                     ::GetSystemMetrics(SM_CXSMICON),
                                                     ::GetSystemMetrics(SM_CYSMICON), LR_SHARED));
    look.background = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    if (!RegisterObjectWindowClass<MainForm>(instance, kMainClassName, look)) return false;

    modalOwner_ = modalOwner;
    if (!modalOwner_)
        hiddenOwner_.reset(
            ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, instance, nullptr));
    if (!CreateScaledWindow(instance, kMainClassName)) return false;
    if (configuring_) CreateControls();  // a run needs the window for its timers only
    Form_Load();
    return true;
}

void MainForm::CreateControls() {
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_LISTVIEW_CLASSES | ICC_TAB_CLASSES | ICC_STANDARD_CLASSES};
    static const auto initControls =
        SystemFunction<decltype(&::InitCommonControlsEx)>(L"comctl32.dll", "InitCommonControlsEx");
    if (initControls) initControls(&icc);
    tabStrip_ = CreateControl(hwnd_, WC_TABCONTROL, L"", WS_VISIBLE | WS_TABSTOP | WS_CLIPSIBLINGS,
                              {90, 90, 4965, 5415}, kTabStrip, font_.get(), twips_);
    for (size_t i = 0; i < kTabs.size(); ++i) {
        TCITEMW item{};
        item.mask = TCIF_TEXT;
        item.pszText = const_cast<wchar_t*>(kTabs[i]);
        ::SendMessageW(tabStrip_, TCM_INSERTITEM, i, reinterpret_cast<LPARAM>(&item));
    }
    for (size_t i = 0; i < kActions.size(); ++i)
        cmdAct_[i] = CreateControl(hwnd_, L"BUTTON", kActions[i],
                                   WS_VISIBLE | WS_TABSTOP | (i == 0 ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON),
                                   {1800.0 + 1080 * i, 5625, 990, 345}, kActionIds[i], font_.get(), twips_);
    saverPage_ = std::make_unique<SaverPage>(*this);
    pollingPage_ = std::make_unique<PollingPage>(*this);
    positionPage_ = std::make_unique<PositionPage>(*this);
    aboutPage_ = std::make_unique<AboutPage>(*this);
    saverPage_->Create();
    pollingPage_->Create();
    positionPage_->Create();
    aboutPage_->Create();
}

void MainForm::Form_Load() {
    IsFillingControls = true;
    timer1Interval_ = kWatchdogIntervalMs;
    ::SetWindowTextW(hwnd_, kCaption);
    owner_.LoadSettings();
    RuntimeState& state = owner_.State();
    ScreenWidth = ::GetSystemMetrics(SM_CXMAXIMIZED);
    ScreenHeight = ::GetSystemMetrics(SM_CYMAXIMIZED);
    // The pages are the dialog's alone: a run neither builds them nor waits
    // for a long list to fill.
    if (configuring_) {
        ShowPage(saverPage_->Frame());
        TabCtrl_SetCurSel(tabStrip_, 0);
        pollingPage_->SetColumnWidths(twips_.PxX(kSaverPageWidth / 2));
        pollingPage_->FillFromTable();
        pollingPage_->SelectRow(0);
        positionPage_->LoadOptions(state);
        pollingPage_->ShowAppRow();
    }
    state.host.OverlayTimer = ArmTimer(overlayTimer_, kOverlayTimerId, kOverlayIntervalMs);
    state.display.ResetDrawnIcons();
    SetDirty(false);
    if (state.host.DisplayPropertiesWindow != 0) state.host.DisplayPropertiesTimer = ArmDisplayPropertiesWatch();
    IsFillingControls = false;
    if (configuring_) aboutPage_->FillTexts();
}

void MainForm::ShowList() {
    saverPage_->ShowList();
    if (::SendMessageW(saverPage_->VisibleList(), LB_GETCURSEL, 0, 0) != LB_ERR) {
        IsFillingControls = true;
        pollingPage_->ShowAppRow();
        IsFillingControls = false;
    }
}

void MainForm::Form_Unload() { owner_.FormUnload(); }

void MainForm::Form_Activate() {
    if (!configuring_) return;
    if (ListView_GetItemCount(pollingPage_->List()) > 0 && pollingPage_->SelectedRow() < 0) pollingPage_->SelectRow(0);
    saverPage_->SelectFirstIfNone();
}

// The form is no dialog class, so it keeps the focus across activations
// itself, as a dialog does: coming back from a message box, an Open dialog
// or another program, the user types on where they left off.
void MainForm::OnActivate(bool active) {
    if (!active) {
        HWND focus = ::GetFocus();
        if (focus && ::IsChild(hwnd_, focus)) focusWhenInactive_ = focus;
        return;
    }
    Form_Activate();
    HWND focus = focusWhenInactive_;
    if (!focus || !::IsWindow(focus) || !::IsChild(hwnd_, focus) || !::IsWindowVisible(focus) ||
        !::IsWindowEnabled(focus))
        focus = ::GetNextDlgTabItem(hwnd_, nullptr, FALSE);
    ::SetFocus(focus ? focus : hwnd_);
}

// Enter on a focused push button presses that button, as in any dialog;
// only elsewhere does it mean OK. Without this, Enter on "Cancel" would save.
bool MainForm::PressFocusedButton(const MSG& msg) {
    if (msg.message != WM_KEYDOWN || msg.wParam != VK_RETURN) return false;
    HWND focus = ::GetFocus();
    if (!focus || !::IsChild(hwnd_, focus)) return false;
    const LRESULT code = ::SendMessageW(focus, WM_GETDLGCODE, 0, 0);
    if (!(code & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON))) return false;
    ::SendMessageW(focus, BM_CLICK, 0, 0);
    return true;
}

void MainForm::ShowPage(HWND page) {
    for (HWND frame : {saverPage_->Frame(), pollingPage_->Frame(), positionPage_->Frame(), aboutPage_->Frame()}) {
        RECT r{};
        ::GetWindowRect(frame, &r);
        POINT topLeft{r.left, r.top};
        ::ScreenToClient(hwnd_, &topLeft);
        const double left = frame == page ? kPageShownLeft : kPageParkedLeft;
        // Parked pages are hidden too, so Tab cannot reach their controls.
        ::SetWindowPos(frame, HWND_TOP, twips_.PxX(left), topLeft.y, 0, 0,
                       SWP_NOSIZE | SWP_NOACTIVATE | (frame == page ? SWP_SHOWWINDOW : SWP_HIDEWINDOW));
    }
}

void MainForm::TabStrip1_Click() {
    switch (TabCtrl_GetCurSel(tabStrip_)) {
        case 0: ShowPage(saverPage_->Frame()); break;
        case 1:
            ShowPage(pollingPage_->Frame());
            ::SetFocus(pollingPage_->List());
            break;
        case 2:
            positionPage_->EnableTry(CanTry(Choices()));  // the saver is chosen on another page
            ShowPage(positionPage_->Frame());
            break;
        case 3: ShowPage(aboutPage_->Frame()); break;
        default: break;
    }
}

void MainForm::cmdAct_Click(int index) {
    // Enter presses OK while the focus may still be in a text box: taking the
    // focus first lets that box commit its text before the save.
    if (index != 1) ::SetFocus(cmdAct_[index]);
    switch (index) {
        case 0:
            if (Save()) Close();
            break;
        case 1: Close(); break;
        case 2: (void)Save(); break;
        default: break;
    }
}

// False when the file could not be written: the user is told why, the
// changes stay marked unsaved, and the dialog stays open.
bool MainForm::Save() {
    // The list as the file holds it now: an IMAP account no record names
    // once the new list is saved takes its password out of the store.
    std::vector<std::string> before;
    for (auto& [key, record] : owner_.Store().ReadSection(kAppListSection)) before.push_back(std::move(record));
    const SaveReport report = SaveAll(false, owner_.State(), owner_.Store(), *this, Choices());
    if (report.outcome != SaveOutcome::Failed) {
        for (const std::string& target : CredentialTargetsGone(before, owner_.State().apps.AppTable))
            (void)ForgetPassword(target);  // one left behind is only unused
        return true;
    }
    ::MessageBoxW(hwnd_, Wide(SaveFailedText(owner_.Store().FilePath(), report.failure)).c_str(), kCaption,
                  MB_OK | MB_ICONERROR);
    return false;
}

void MainForm::OnCommand(int id, int code) {
    if (code != BN_CLICKED) return;
    for (int i = 0; i < 3; ++i)
        if (id == kActionIds[i]) cmdAct_Click(i);
}

LRESULT MainForm::OnNotify(NMHDR* header) {
    if (header->hwndFrom == tabStrip_ && header->code == TCN_SELCHANGE) TabStrip1_Click();
    return 0;
}

void MainForm::OnTimer(UINT_PTR id) {
    switch (id) {
        case kTimer1: owner_.Timer1Tick(); break;
        case kOverlayTimerId: owner_.OverlayTimerTick(); break;
        case kDisplayPropertiesTimerId: owner_.DisplayPropertiesTick(); break;
        default: break;
    }
}

// The window's timers went with it.
void MainForm::OnNcDestroy() {
    for (UniqueTimer* timer : {&timer1_, &overlayTimer_, &displayPropertiesTimer_}) (void)timer->release();
    hwnd_ = nullptr;
}

void MainForm::Close() {
    // The owner first, or Windows activates some other program's window.
    if (modalOwner_) ::EnableWindow(modalOwner_, TRUE);
    if (Exists()) ::DestroyWindow(hwnd_);
}

void MainForm::ShowModal() {
    if (!Exists()) return;
    if (modalOwner_) ::EnableWindow(modalOwner_, FALSE);
    ::ShowWindow(hwnd_, SW_SHOWNORMAL);
    ::SetForegroundWindow(hwnd_);
    // The program's outermost loop while it is configured: the quit that
    // closes the form ends here, and what follows (saving, a message box)
    // runs with a loop of its own.
    (void)RunMessageLoop(
        {}, {}, [this] { return !Exists(); },
        [this](MSG& msg) { return Exists() && (PressFocusedButton(msg) || ::IsDialogMessageW(hwnd_, &msg)); });
}

UINT_PTR MainForm::ArmTimer(UniqueTimer& timer, TimerId id, UINT intervalMs) {
    timer.reset();  // first: SetTimer gives the same id again
    if (!Exists()) return 0;
    timer.reset(::SetTimer(hwnd_, id, intervalMs, nullptr), TimerCloser{hwnd_});
    return timer.get();
}

void MainForm::SetTimer1Enabled(bool enabled) {
    if (enabled)
        ArmTimer(timer1_, kTimer1, timer1Interval_);
    else
        timer1_.reset();
}

void MainForm::KillFormTimer(UINT_PTR id) {
    for (UniqueTimer* timer : {&timer1_, &overlayTimer_, &displayPropertiesTimer_})
        if (timer->get() == id) timer->reset();
}

UINT_PTR MainForm::ArmDisplayPropertiesWatch() {
    return ArmTimer(displayPropertiesTimer_, kDisplayPropertiesTimerId, kDisplayPropertiesIntervalMs);
}

void MainForm::SetDirty(bool flag) {
    isDirty_ = flag;
    if (!Exists() || !configuring_) return;
    // A disabled button drops the focus, and the keyboard with it.
    if (!flag && ::GetFocus() == cmdAct_[2]) ::SetFocus(cmdAct_[0]);
    ::EnableWindow(cmdAct_[2], flag);
}

DialogChoices MainForm::Choices() const {
    DialogChoices c;
    // After the form has closed its controls are gone, and a run has none:
    // the choices only matter to a full save, which needs the dialog open.
    if (!Exists() || !configuring_) return c;
    positionPage_->ReadChoices(c);
    saverPage_->ReadChoice(c);
    return c;
}

RuntimeState& MainForm::State() { return owner_.State(); }

std::string MainForm::Folder() const { return owner_.ProgramFolder(); }

}  // namespace vl
