#include "startup/app_win32.h"

#include "core/data_folder.h"
#include "host/host_win32.h"
#include "display/icon_layout.h"
#include "platform/win32_util.h"
#include "res/resource.h"
#include "settings/settings.h"

namespace vl {
namespace {

// Any instance of the program, in any mode, holds this while it lives.
constexpr char kInstanceMutexName[] = "Local\\Corvane.Vigilumen.Instance";

}  // namespace

App::App(HINSTANCE instance)
    : instance_(instance),
      programFolder_(vl::ProgramFolder()),
      store_(profileFs_, SettingsFilePath(programFolder_)),
      form_(*this) {}

bool App::AnotherInstanceRuns() {
    instanceMutex_.reset(::CreateMutexA(nullptr, FALSE, kInstanceMutexName));
    return instanceMutex_ && ::GetLastError() == ERROR_ALREADY_EXISTS;
}

int App::Main() {
    const bool previousInstance = AnotherInstanceRuns();
    state_.host.ScreenSaverPath = store_.Read(kSettingsSection, "scrfile", "");
    if (!form_.CreateAndLoad(instance_)) return 1;
    form_.SetTimer1Enabled(false);

    arguments_ = std::string(ArgumentsOf(::GetCommandLineA()));
    state_.host.IsSaverRunning = false;
    switch (ModeOfSwitch(ReduceSwitch(arguments_))) {
        case Mode::Configure: RunConfiguration(); return 0;
        case Mode::Preview: RunPreview(); return 0;
        case Mode::Run:
            if (previousInstance) {
                FinishAll();
                return 0;
            }
            RunSaver();
            return state_.host.IsSaverRunning ? MessageLoop() : 0;
        case Mode::None:
            // Not a screen-saver switch: nothing to do, so the program ends
            // instead of lingering as an invisible process.
            FinishAll();
            return 0;
    }
    return 0;
}

void App::RunConfiguration() {
    PumpPendingMessages();
    state_.host.IsConfigMode = true;
    state_.host.SaverNames.emplace();
    form_.ShowList();
    HWND displayProperties = ::FindWindowA(nullptr, "display properties");
    state_.host.DisplayPropertiesWindow = reinterpret_cast<std::uintptr_t>(displayProperties);
    if (displayProperties) state_.host.DisplayPropertiesTimer = form_.ArmDisplayPropertiesWatch();
    form_.ShowModal();
    FinishAll();
}

void App::RunSaver() {
    if (state_.host.ScreenSaverPath.empty()) {
        FinishAll();
        return;
    }
    state_.host.IsConfigMode = false;
    state_.host.IsSaverRunning = true;
    form_.SetTimer1Enabled(true);
    const int size = state_.settings.EnlargeIcons ? kEnlargedIconPixels : kIconPixels;
    appIcon_.reset(
        static_cast<HICON>(::LoadImageA(instance_, MAKEINTRESOURCEA(IDI_VIGILUMEN), IMAGE_ICON, size, size, 0)));
    carrier_.CreateParked(instance_, form_.twips(), state_.settings.EnlargeIcons, appIcon_.get(), FallbackIcon());
    carrier_.SetIconSource([this](const std::string& path) {
        HICON icon = iconCache_.Get(path);
        return icon ? icon : FallbackIcon();
    });
    state_.host.SaverProcessCount = 0;
    state_.host.SaverLaunchMs = NowMs();
    saver_ = StartSaver(state_.host.ScreenSaverPath, arguments_);
    saverCreatedAt_ = ProcessCreationTime(saver_.process.get());
    state_.host.ShellTaskId = saver_.processId;
}

void App::RunPreview() {
    state_.host.IsConfigMode = false;
    form_.SetTimer1Enabled(false);
    if (!state_.host.ScreenSaverPath.empty()) {
        saver_ = StartSaver(state_.host.ScreenSaverPath, arguments_);
        state_.host.ShellTaskId = saver_.processId;
    }
    FinishAll();
}

int App::MessageLoop() {
    for (;;) {
        // The started process is waited on with the messages, so its end is
        // noticed at once instead of at the next timer tick.
        HANDLE waitFor = saver_.process.get();
        const DWORD count = waitFor ? 1 : 0;
        DWORD woke = ::MsgWaitForMultipleObjectsEx(count, &waitFor, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        if (count == 1 && woke == WAIT_OBJECT_0) {
            saver_.thread.reset();
            HANDLE ended = saver_.process.release();  // waited on once; closed below
            UniqueKernelHandle closeLater(ended);
            OnSaverProcessEnded(state_, *this);
        }
        MSG msg;
        while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) return static_cast<int>(msg.wParam);
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
        }
    }
}

void App::PumpPendingMessages() {
    MSG msg;
    while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            ::PostQuitMessage(static_cast<int>(msg.wParam));
            return;
        }
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
}

void App::LoadSettings() { vl::LoadSettings(state_.settings, state_.apps, store_, files_, programFolder_); }

void App::FormUnload() {
    vl::FormUnload(state_, *this);
    ::PostQuitMessage(0);
}

void App::Timer1Tick() { Timer1_Timer(state_, *this); }

void App::OverlayTimerTick() {
    if (OverlayTickOwnership(state_, *this)) OverlayDraw(state_, *this);
}

void App::DisplayPropertiesTick() { vl::DisplayPropertiesTimerProc(state_, *this); }

void App::FinishAll() { vl::FinishAll(state_, *this); }

std::optional<std::vector<ProcessEntry>> App::SnapshotProcesses() { return SnapshotAllProcesses(); }

bool App::AppendLog(std::string_view text) { return AppendDiagnosticLog(text); }

bool App::StartedAfterSaver(std::uint32_t pid) {
    const std::optional<std::uint64_t> created = ProcessIdCreationTime(pid);
    // What cannot be asked is taken as the listing finds it.
    return !saverCreatedAt_ || !created || *created >= *saverCreatedAt_;
}

std::uint32_t App::ProbePointOwner() { return ProbePointOwnerProcess(); }

bool App::IsProcessAlive(std::uint32_t pid) {
    if (pid == saver_.processId && saver_.process)
        return ::WaitForSingleObject(saver_.process.get(), 0) == WAIT_TIMEOUT;
    return IsProcessIdAlive(pid);
}

std::uint64_t App::NowMs() { return ::GetTickCount64(); }

bool App::MainFormVisible() { return form_.Visible(); }

void App::SetWatchdogEnabled(bool enabled) { form_.SetTimer1Enabled(enabled); }

void App::KillFormTimer(std::uintptr_t id) { form_.KillFormTimer(id); }

bool App::WindowExists(std::uintptr_t window) { return ::IsWindow(reinterpret_cast<HWND>(window)) != FALSE; }

void App::CheckAll() { vl::CheckAll(state_, *this, store_); }

std::vector<std::string> App::TopLevelCaptions() { return AllTopLevelCaptions(); }

std::optional<std::string> App::CheckMail() { return vl::CheckMail(mapi_); }

bool App::FileExists(const std::string& path) { return FileExistsA(path); }

std::optional<std::string> App::FileDate(const std::string& path) { return FileModifiedGeneralDate(path); }

std::string App::NormalizeDate(const std::string& stored) { return NormalizeGeneralDate(stored); }

void App::ShowIconEx(std::int16_t nIndex, std::string& sIconPath) {
    vl::ShowIconEx(state_, *this, *this, nIndex, sIconPath);
}

void App::ShowIcon(std::int16_t nIndex, std::string& sIconPath) {
    vl::ShowIcon(state_, *this, *this, nIndex, sIconPath);
}

HICON App::FallbackIcon() {
    if (!fallbackIcon_)
        fallbackIcon_.reset(
            static_cast<HICON>(::LoadImageA(instance_, MAKEINTRESOURCEA(IDI_NODROP), IMAGE_ICON,
                                            ::GetSystemMetrics(SM_CXICON), ::GetSystemMetrics(SM_CYICON), 0)));
    return fallbackIcon_.get();
}

void App::BecomeChildOfSaver() { carrier_.BecomeChildOf(::WindowFromPoint(POINT{1, 1})); }

void App::CreateElement(int k) { carrier_.CreateElement(k); }

bool App::LoadElementPicture(int k, const std::string& path) { return carrier_.LoadElementPicture(k, path); }

void App::SetElementFallback(int k) { carrier_.SetElementFallback(k); }

double App::ElementWidthTwips(int k) { return form_.twips().TwX(carrier_.ElementWidth(k)); }

double App::ElementHeightTwips(int k) { return form_.twips().TwY(carrier_.ElementHeight(k)); }

void App::PlaceElement(int k, double leftTwips, double topTwips) {
    carrier_.PlaceElement(k, form_.twips().PxX(leftTwips), form_.twips().PxY(topTwips));
}

void App::PlaceCarrier(double left, double top, double width, double height) {
    const TwipsScale& t = form_.twips();
    carrier_.Place(t.PxX(left), t.PxY(top), t.PxX(width), t.PxY(height));
}

void App::SetCarrierLeft(double leftTwips) { carrier_.SetLeft(form_.twips().PxX(leftTwips)); }

void App::RepaintElement(int k) { carrier_.RepaintElement(k); }

std::uintptr_t App::CarrierDc() { return reinterpret_cast<std::uintptr_t>(carrier_.dc()); }

void App::DrawIconInto(std::uintptr_t dc, int x, int y, const std::string& path) {
    // Entries of a carrier that went with the saver's window have nothing to paint into.
    if (!carrier_.hwnd() || reinterpret_cast<HDC>(dc) != carrier_.dc()) return;
    carrier_.DrawTickIcon(x, y, path);
}

std::pair<int, int> App::DrawIconOnScreen(int x, int y, const std::string& path) {
    HICON icon = iconCache_.Get(path);
    if (!icon) icon = FallbackIcon();
    UniqueWindowDc screen = GetWindowDc(nullptr);
    if (screen) ::DrawIcon(screen.get(), x, y, icon);
    return {::GetSystemMetrics(SM_CXICON), ::GetSystemMetrics(SM_CYICON)};
}

void App::WriteText(std::string_view text) { ShowText(state_, *this, std::string(text)); }

void App::DrawTextLine(int line, const std::string& text) { WriteScreenText(text, line); }

void App::StopWatchdog() { form_.SetTimer1Enabled(false); }

void App::SaveApplicationListOnExit() {
    form_.SetDirty(true);
    SaveAll(true, state_, store_, form_, form_.Choices());
}

void App::CloseIconCarrier() { carrier_.Close(); }

void App::CloseMainForm() { form_.Close(); }

}  // namespace vl
