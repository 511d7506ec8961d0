#include "watch/away_log.h"

#include "settings/watched_app.h"

namespace vl {

std::string_view WhatHappened(AwayWhat what) {
    switch (what) {
        case AwayWhat::NewMail: return "new mail";
        case AwayWhat::WindowAppeared: return "window appeared";
        case AwayWhat::FileChanged: return "file changed";
        case AwayWhat::ProgramEnded: return "program ended";
        case AwayWhat::NewFile: return "new file: ";
    }
    return {};
}

std::optional<AwayWhat> WhatOfMethod(std::int16_t method) {
    switch (method) {
        case kMethodInternal:
        case kMethodImap: return AwayWhat::NewMail;
        case kMethodWindow: return AwayWhat::WindowAppeared;
        case kMethodFileUpdate: return AwayWhat::FileChanged;
        case kMethodProgramEnd: return AwayWhat::ProgramEnded;
        case kMethodNewFile: return AwayWhat::NewFile;
        default: return std::nullopt;
    }
}

void AwayLog::Found(int record, std::string_view name, std::int16_t method, std::string_view detail,
                    std::uint64_t cycle, ClockTime at) {
    const std::optional<AwayWhat> what = WhatOfMethod(method);
    if (!what) return;
    const auto [last, first] = lastCycle_.try_emplace({record, method, std::string(detail)}, cycle);
    const bool lasting = !first && (last->second == cycle || last->second + 1 == cycle);
    last->second = cycle;
    if (lasting) return;
    if (events_.size() < kMaxAwayEvents)
        events_.push_back({at, std::string(name), *what, std::string(detail)});
    else
        ++untold_;
}

std::vector<std::string> SummaryLines(const AwayLog& log,
                                      const std::function<std::string(const ClockTime&)>& formatTime) {
    std::vector<std::string> lines;
    // Appended: GCC 12 warns wrongly about a chain of "+" over literals here.
    for (const AwayEvent& e : log.Events())
        lines.push_back(formatTime(e.at).append("\t").append(e.name).append("\t").append(WhatHappened(e.what)).append(e.detail));
    if (log.Untold() > 0) lines.push_back(std::string("\t").append(std::to_string(log.Untold())).append(" more events\t"));
    return lines;
}

}  // namespace vl
