// The two things a user asks of notifications over an idle screen beyond
// showing them: seeing them before leaving (a try), and learning afterwards
// what they were (the summary of the run's events).
#include "startup/app_win32.h"

#include "core/utf.h"
#include "display/away_summary_win32.h"
#include "platform/message_loop_win32.h"
#include "platform/win32_util.h"
#include "settings/profile_store.h"
#include "startup/mode.h"

namespace vl {
namespace {

// A new, empty file of its own in the user's temporary folder; empty when
// none could be made.
std::string NewTemporaryFile() {
    wchar_t folder[MAX_PATH + 1] = {};
    const DWORD length = ::GetTempPathW(MAX_PATH + 1, folder);
    if (length == 0 || length > MAX_PATH) return {};
    wchar_t file[MAX_PATH + 1] = {};
    if (::GetTempFileNameW(folder, L"vlt", 0, file) == 0) return {};
    return Narrow(file);
}

UniqueProcessInformation StartTry(const std::string& file) {
    const std::string program = ModuleFileName();
    std::wstring commandLine = Wide("\"" + program + "\" /t \"" + file + "\"");  // CreateProcess may write into it
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!::CreateProcessW(Wide(program).c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                          &pi))
        return {};
    return UniqueProcessInformation(pi);
}

// Handles this thread's messages until the process has ended, or a quit
// message or the dialog's end (its window gone) comes first; the quit is
// left for the dialog's own loop.
void WaitWithMessages(HANDLE process, HWND dialog) {
    (void)RunMessageLoop(std::span<const HANDLE>(&process, 1), {.nested = true},
                         [dialog] { return !::IsWindow(dialog); });
}

}  // namespace

bool App::Try(const DialogChoices& choices) {
    const std::optional<std::vector<IniEntry>> entries = TryEntries(state_, choices);
    if (!entries) return false;
    const std::string file = NewTemporaryFile();
    if (file.empty()) return false;
    // Written whole, as a full save writes the settings file, so the try
    // reads exactly what a save would leave there.
    bool tried = profileFs_.WriteWholeFile(file, Utf16LeFileBytes(ProfileText(*entries)));
    if (tried) {
        const UniqueProcessInformation run = StartTry(file);
        tried = run.process.valid();
        if (tried) WaitWithMessages(run.process.get(), form_.hwnd());
        // Started is not tried: the saver itself may not have started. A try
        // still running (the dialog went first) counts as tried.
        DWORD code = STILL_ACTIVE;
        if (tried && ::GetExitCodeProcess(run.process.get(), &code)) tried = code != kTrySaverNotStarted;
    }
    (void)profileFs_.Remove(file);  // a leftover in the temporary folder harms nobody
    return tried;
}

void App::EventFound(int record, std::string_view name, std::int16_t method, std::string_view detail) {
    SYSTEMTIME now{};
    ::GetLocalTime(&now);
    away_.Found(record, name, method, detail, state_.apps.PollCycles, {now.wHour, now.wMinute, now.wSecond});
}

void App::ShowAwaySummary() {
    if (!state_.settings.AwaySummary || away_.Empty()) return;
    // The run is over: a new one starts normally while the summary is open.
    instanceMutex_.reset();
    AwaySummary summary;
    const ScreenRect at = PlaceOnMonitor(state_.display.NotifyArea, {state_.settings.NotifyX, state_.settings.NotifyY},
                                         0, 0);
    summary.Run(instance_, SummaryLines(away_, ShortTimeText), {at.left, at.top});
}

}  // namespace vl
