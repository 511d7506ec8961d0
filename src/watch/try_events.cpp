#include "watch/try_events.h"

#include "settings/conversions.h"
#include "settings/watched_app.h"

namespace vl {

std::vector<TriedEvent> TriedEvents(const AppList& apps) {
    std::vector<TriedEvent> events;
    for (const std::string& record : apps.AppTable) {
        if (!IsCompleteRecord(record)) continue;
        const std::vector<std::string> f = SplitRecord(record);
        if (f[kFieldChecked] != "1") continue;
        const std::optional<std::int16_t> method = ParseInt16(f[kFieldMethodId]);
        if (!method) continue;
        TriedEvent e{*method, f[kFieldIcon], {}};
        switch (*method) {
            case kMethodInternal:
                if (e.icon.empty()) e.text = kMailText;
                break;
            case kMethodImap:
                if (e.icon.empty()) e.text = ImapMailText(f[kFieldText]);
                break;
            case kMethodFileUpdate:
                if (e.icon.empty()) e.text = f[kFieldText] + kModifiedSuffix;
                break;
            case kMethodProgramEnd:
                if (e.icon.empty()) e.text = f[kFieldText] + kEndedSuffix;
                break;
            case kMethodNewFile:  // no file has come: the folder stands for it
                if (e.icon.empty()) e.text = kNewFilePrefix + f[kFieldText];
                break;
            case kMethodWindow: break;
            default: continue;
        }
        events.push_back(std::move(e));
    }
    return events;
}

void ShowTriedEvents(RuntimeState& state, Notifier& notifier) {
    for (TriedEvent& e : TriedEvents(state.apps)) {
        // A display call may have found the saver gone and ended the run.
        if (!state.host.SaverConfirmed) return;
        if (!e.text.empty()) {
            notifier.WriteText(e.text);
            continue;
        }
        notifier.ShowIconEx(e.method, e.icon);
        if (state.host.SaverConfirmed && state.host.SaverProcessCount > 1) notifier.ShowIcon(e.method, e.icon);
    }
}

}  // namespace vl
