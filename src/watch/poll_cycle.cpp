#include "watch/poll_cycle.h"

#include <algorithm>

#include "core/text.h"
#include "settings/conversions.h"
#include "settings/watched_app.h"
#include "watch/imap_account.h"

namespace vl {
namespace {

// The captions of one EnumWindows pass, taken on the first window record of
// a cycle and shared by every later one.
class CaptionCache {
public:
    explicit CaptionCache(Desktop& desktop) : desktop_(desktop) {}
    bool AnyMatches(std::string_view wanted) {
        if (!taken_) {
            captions_ = desktop_.TopLevelCaptions();
            taken_ = true;
        }
        for (const std::string& caption : captions_)
            if (CaptionMatches(caption, wanted)) return true;
        return false;
    }

private:
    Desktop& desktop_;
    bool taken_ = false;
    std::vector<std::string> captions_;
};

// The answer of the last completed mail check, asked once per cycle.
class MailAnswer {
public:
    explicit MailAnswer(Desktop& desktop) : desktop_(desktop) {}
    const std::optional<std::string>& Get() {
        if (!taken_) {
            answer_ = desktop_.LastMailAnswer();
            desktop_.RequestMailCheck();
            taken_ = true;
        }
        return answer_;
    }

private:
    Desktop& desktop_;
    bool taken_ = false;
    std::optional<std::string> answer_;
};

// Marks the cycle running for as long as it runs.
class CycleGuard {
public:
    explicit CycleGuard(bool& running) : running_(running), entered_(!running) { running_ = true; }
    ~CycleGuard() {
        if (entered_) running_ = false;
    }
    CycleGuard(const CycleGuard&) = delete;
    CycleGuard& operator=(const CycleGuard&) = delete;
    [[nodiscard]] bool Entered() const { return entered_; }

private:
    bool& running_;
    bool entered_;
};

void Notify(const RuntimeState& state, Notifier& notifier, std::int16_t method, std::string& icon) {
    notifier.ShowIconEx(method, icon);
    // ShowIconEx may have found the saver gone and shut the program down.
    if (state.host.SaverConfirmed && state.host.SaverProcessCount > 1) notifier.ShowIcon(method, icon);
}

// Seen again, the event would change nothing on the screen, and nothing is
// kept for a summary.
bool OnShowAlready(const RuntimeState& state, Notifier& notifier, const std::string& icon, std::string_view text) {
    if (state.settings.AwaySummary) return false;
    if (!icon.empty() || text.empty()) return notifier.IconShown(icon);
    const auto& texts = state.display.ShownTexts;
    return std::find(texts.begin(), texts.end(), text) != texts.end();
}

// Tells the event, then shows the record's icon, or its text when it has none.
void Report(const RuntimeState& state, Notifier& notifier, int record, std::vector<std::string>& f,
            std::int16_t method, std::string_view detail, std::string_view text) {
    notifier.EventFound(record, f[kFieldName], method, detail);
    if (f[kFieldIcon].empty())
        notifier.WriteText(text);
    else
        Notify(state, notifier, method, f[kFieldIcon]);
}

}  // namespace

std::string ImapMailText(std::string_view url) {
    const std::optional<ImapAccount> account = ParseImapUrl(url);
    return "New mail for " + (account ? account->user + "@" + account->host : std::string(url));
}

bool CaptionMatches(std::string_view caption, std::string_view wanted) {
    return !caption.empty() && caption.find(wanted) != std::string_view::npos;
}

void CheckAll(RuntimeState& state, Desktop& desktop, Notifier& notifier, SettingsStore& store, JobWatch& jobs) {
    if (!state.host.SaverConfirmed || state.apps.AppCount() == 0) return;
    const CycleGuard guard(state.apps.PollCycleRunning);
    if (!guard.Entered()) return;
    ++state.apps.PollCycles;
    jobs.BeginCycle();
    CaptionCache windows(desktop);
    MailAnswer mail(desktop);
    for (int i = 0; i < state.apps.AppCount(); ++i) {
        // A display call may have found the saver gone and shut the program down.
        if (!state.host.SaverConfirmed) return;
        if (!IsCompleteRecord(state.apps.AppTable[i])) continue;
        std::vector<std::string> f = SplitRecord(state.apps.AppTable[i]);
        if (f[kFieldChecked] != "1") continue;
        std::optional<std::int16_t> method = ParseInt16(f[kFieldMethodId]);
        if (!method) continue;
        std::string& icon = f[kFieldIcon];

        switch (*method) {
            case kMethodInternal: {
                if (OnShowAlready(state, notifier, icon, kMailText)) break;
                const std::optional<std::string>& answer = mail.Get();
                if (!answer || answer->empty()) break;
                Report(state, notifier, i, f, *method, {}, kMailText);
                break;
            }
            case kMethodImap: {
                // The text stands in for a missing icon only: not worked out every tick for nothing.
                const std::string text = icon.empty() ? ImapMailText(f[kFieldText]) : std::string();
                if (OnShowAlready(state, notifier, icon, text)) break;
                const std::optional<std::uint32_t> count = desktop.ImapNewMail(f[kFieldText]);
                if (!count || *count == 0) break;
                Report(state, notifier, i, f, *method, {}, text);
                break;
            }
            case kMethodWindow:
                if (OnShowAlready(state, notifier, icon, {}) || !windows.AnyMatches(f[kFieldText])) break;
                notifier.EventFound(i, f[kFieldName], *method, {});
                Notify(state, notifier, *method, icon);
                break;
            case kMethodProgramEnd: {
                const std::string text = f[kFieldText] + kEndedSuffix;
                if (OnShowAlready(state, notifier, icon, text) || !jobs.ProgramEnded(desktop, i, f[kFieldText])) break;
                Report(state, notifier, i, f, *method, {}, text);
                break;
            }
            case kMethodNewFile: {
                // Without an icon each file has a line of its own: it must be looked at.
                if (!icon.empty() && OnShowAlready(state, notifier, icon, {})) break;
                const std::string folder = SplitFolderText(f[kFieldText]).folder + "\\";
                for (const std::string& name : jobs.NewFiles(desktop, i, f[kFieldText])) {
                    if (!state.host.SaverConfirmed) return;
                    Report(state, notifier, i, f, *method, name, kNewFilePrefix + folder + name);
                }
                break;
            }
            case kMethodFileUpdate: {
                const std::string stored = desktop.NormalizeDate(f[kFieldDate]);
                const std::string& file = f[kFieldText];
                if (!desktop.FileExists(file)) break;
                std::optional<std::string> current = desktop.FileDate(file);
                if (!current || EqualsIgnoreCase(stored, *current)) break;
                std::string rebuilt;
                for (int k = 0; k < kFieldDate; ++k) {
                    rebuilt.append(f[k]);
                    rebuilt.push_back(';');
                }
                rebuilt.append(*current);
                // Kept in memory too, so the change is reported once and the
                // end-of-run save keeps the new date.
                state.apps.AppTable[i] = rebuilt;
                // A date that cannot be written now is written by the end of
                // the run, which logs what it could not write.
                (void)store.Write(kAppListSection, "app" + std::to_string(i), rebuilt);
                Report(state, notifier, i, f, *method, {}, file + kModifiedSuffix);
                break;
            }
            default: break;
        }
    }
}

}  // namespace vl
