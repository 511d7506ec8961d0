#include "startup/app_win32.h"

#include "core/data_folder.h"
#include "settings/save_all.h"
#include "display/icon_layout.h"
#include "platform/message_loop_win32.h"
#include "platform/win32_util.h"
#include "settings/settings.h"
#include "startup/mode.h"
#include "watch/try_events.h"

namespace vl {
namespace {

// Any instance of the program, in any mode, holds this while it lives.
constexpr wchar_t kInstanceMutexName[] = L"Local\\Corvane.Vigilumen.Instance";

// A top-level window of another program; a number that names no such window
// (a closed one, a control, one of ours) is ignored.
HWND ForeignTopLevelWindow(std::optional<std::uintptr_t> handle) {
    if (!handle) return nullptr;
    HWND window = reinterpret_cast<HWND>(*handle);
    DWORD pid = 0;
    if (!::IsWindow(window) || (::GetWindowLongW(window, GWL_STYLE) & WS_CHILD) ||
        !::GetWindowThreadProcessId(window, &pid) || pid == ::GetCurrentProcessId())
        return nullptr;
    return window;
}

// A try reads the dialog's choices from the file it was handed, never the
// settings file.
std::string SettingsFileToRead(const std::string& programFolder) {
    if (std::optional<std::string> tried = TryFileOf(ArgumentsOf(Narrow(::GetCommandLineW())))) return *tried;
    return SettingsFilePath(programFolder);
}

}  // namespace

App::App(HINSTANCE instance)
    : instance_(instance),
      programFolder_(vl::ProgramFolder()),
      store_(profileFs_, SettingsFileToRead(programFolder_), std::to_string(::GetCurrentProcessId())),
      display_(instance, programFolder_),
      form_(*this) {}

bool App::AnotherInstanceRuns() {
    instanceMutex_.reset(::CreateMutexW(nullptr, FALSE, kInstanceMutexName));
    return instanceMutex_ && ::GetLastError() == ERROR_ALREADY_EXISTS;
}

int App::Main() {
    const bool previousInstance = AnotherInstanceRuns();
    state_.host.ScreenSaverPath = store_.Read(kSettingsSection, "scrfile", "");
    // Chosen as its own saver, the program would start itself in a chain.
    if (IsThisProgram(state_.host.ScreenSaverPath)) state_.host.ScreenSaverPath.clear();
    arguments_ = std::string(ArgumentsOf(Narrow(::GetCommandLineW())));
    const Mode mode = ModeOfSwitch(ReduceSwitch(arguments_));
    // A try runs the saver as Windows would, beside the dialog that holds
    // the instance mutex.
    trying_ = mode == Mode::Try;
    if (trying_) arguments_ = kTrySaverArguments;
    // The saver first: the settings and a long list are nothing it needs,
    // and the user sees it the sooner.
    if ((mode == Mode::Run && !previousInstance) || mode == Mode::Preview || trying_) StartChosenSaver();
    if (trying_ && state_.host.ShellTaskId == 0) return kTrySaverNotStarted;
    // A preview, or a command line that asks for nothing, needs no window:
    // the settings are read for what a first start writes, and that is all.
    if (mode == Mode::Preview || mode == Mode::None) {
        LoadSettings();
        return 0;
    }
    HWND settingsWindow = mode == Mode::Configure ? ForeignTopLevelWindow(SettingsWindowOf(arguments_)) : nullptr;
    state_.host.SettingsWindow = reinterpret_cast<std::uintptr_t>(settingsWindow);
    if (!form_.CreateAndLoad(instance_, mode == Mode::Configure, settingsWindow)) return 1;
    desktop_.SetNewsWindow(form_.hwnd());
    form_.SetTimer1Enabled(false);

    state_.host.IsSaverRunning = false;
    switch (mode) {
        case Mode::Configure: RunConfiguration(); return 0;
        case Mode::Run:
        case Mode::Try: {
            if (mode == Mode::Run && previousInstance) {
                FinishAll();
                return 0;
            }
            RunSaver();
            if (!state_.host.IsSaverRunning) return 0;
            const int code = MessageLoop();
            ShowAwaySummary();  // a try finds no events
            return code;
        }
        case Mode::Preview:
        case Mode::None: return 0;  // ended above
    }
    return 0;
}

void App::RunConfiguration() {
    PumpPendingMessages();
    state_.host.IsConfigMode = true;
    state_.host.SaverNames.emplace();
    form_.ShowList();
    HWND displayProperties = ::FindWindowW(nullptr, L"display properties");
    state_.host.DisplayPropertiesWindow = reinterpret_cast<std::uintptr_t>(displayProperties);
    if (displayProperties || state_.host.SettingsWindow)
        state_.host.DisplayPropertiesTimer = form_.ArmDisplayPropertiesWatch();
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
    const std::vector<Monitor> monitors = ScreenMonitors();
    const Monitor* on = NotifyMonitorOf(monitors, state_.settings.NotifyMonitor);
    state_.display.NotifyArea =
        on ? on->rect : ScreenRect{0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
    display_.CreateCarrier(state_.settings.EnlargeIcons);
}

void App::StartChosenSaver() {
    if (state_.host.ScreenSaverPath.empty()) return;
    state_.host.SaverProcessCount = 0;
    state_.host.SaverLaunchMs = host_.NowMs();
    state_.host.ShellTaskId = host_.Start(state_.host.ScreenSaverPath, arguments_);
}

int App::MessageLoop() {
    HANDLE unwaitable = nullptr;  // its wait failed: the watchdog's timer notices its end instead
    for (;;) {
        // The started process is waited on with the messages, so its end is
        // noticed at once instead of at the next timer tick. A message may
        // change the process, which ends the inner loop to wait on the new one.
        // One message a wake keeps a timer's wake cheap (see LoopStyle).
        HANDLE saver = host_.SaverProcess();
        HANDLE waitFor = saver == unwaitable ? nullptr : saver;
        const LoopEnd end = RunMessageLoop(std::span<const HANDLE>(&waitFor, waitFor ? 1 : 0),
                                           {.oneMessagePerWake = true}, [&] { return host_.SaverProcess() != saver; });
        switch (end.why) {
            case LoopEnd::kQuit: return end.exitCode;
            case LoopEnd::kSignalled: OnSaverEnded(); break;
            case LoopEnd::kFailed: unwaitable = waitFor; break;
            case LoopEnd::kDone: unwaitable = nullptr; break;  // another process: its handle may reuse the value
            case LoopEnd::kTimedOut: break;
        }
    }
}

void App::OnSaverEnded() {
    const UniqueKernelHandle ended = host_.TakeEndedSaver();  // waited on once
    OnSaverProcessEnded(state_, host_, *this);
}

void App::PumpPendingMessages() { (void)RunMessageLoop({}, {.nested = true, .idleMs = 0}); }

void App::LoadSettings() { vl::LoadSettings(state_.settings, state_.apps, store_, files_, programFolder_); }

void App::FormUnload() {
    vl::FormUnload(state_, *this);
    ::PostQuitMessage(0);
}

void App::OverlayTimerTick() {
    if (!OverlayTickOwnership(state_, host_, *this)) return;
    OverlayDraw(state_, display_);
    display_.EndOverlayTick();
}

void App::CheckAll() {
    // A try shows every ticked record instead of looking for events.
    if (trying_)
        ShowTriedEvents(state_, *this);
    else
        vl::CheckAll(state_, desktop_, *this, store_, jobs_);
}

void App::WorkerMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) {
    if (message == kMailAnswerMessage) {
        desktop_.KeepMailAnswer(wParam);
        return;
    }
    if (message != kImapNewsMessage) return;
    const std::unique_ptr<ImapNews> news = TakeImapNews(lParam);
    if (const std::string line = desktop_.KeepImapNews(*news); !line.empty()) desktop_.Log(line);
    // New mail shows now, not at the next tick of the watchdog.
    if (news->connected && news->newMail > 0 && state_.host.IsSaverRunning) CheckAll();
}

void App::SaveApplicationListOnExit() {
    if (trying_) return;  // a try writes no settings
    form_.SetDirty(true);
    // The run ends whatever happens; what did not reach the file is logged.
    const SaveReport report = SaveAll(true, state_, store_, form_, form_.Choices());
    if (report.outcome == SaveOutcome::Failed) files_.Log(UnsavedOnExitText(store_.FilePath(), report));
}

void App::ShowIconEx(std::int16_t nIndex, std::string& sIconPath) {
    vl::ShowIconEx(state_, host_, *this, display_, nIndex, sIconPath);
}

bool App::IconShown(const std::string& icon) {
    return IsIconDrawn(state_, InDataFolder(programFolder_, icon));  // completed as the display completes it
}

void App::ShowIcon(std::int16_t nIndex, std::string& sIconPath) {
    vl::ShowIcon(state_, host_, *this, display_, nIndex, sIconPath);
}

}  // namespace vl
