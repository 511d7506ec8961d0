// What happened while the user was away: the run's events, kept so that a
// summary can list them once the saver has ended (and every icon with it).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

namespace vl {

// The local time of day an event was found.
struct ClockTime {
    int hour = 0;
    int minute = 0;
    int second = 0;
};

enum class AwayWhat { NewMail, WindowAppeared, FileChanged, ProgramEnded, NewFile };

struct AwayEvent {
    ClockTime at;
    std::string name;  // the record's display name
    AwayWhat what = AwayWhat::NewMail;
    std::string detail;  // the new file's name
};

// "new mail", "window appeared", "file changed", "program ended", "new file: ".
std::string_view WhatHappened(AwayWhat what);
// The event a polling method reports; nothing for an unknown method.
std::optional<AwayWhat> WhatOfMethod(std::int16_t method);

// A run of days cannot grow the summary without end.
inline constexpr std::size_t kMaxAwayEvents = 500;

class AwayLog {
public:
    // The poll cycle found record `record`'s event in cycle `cycle`. Found
    // again in the very next cycle it is the same lasting event (mail still
    // unread, the window still open, a file still being written, no copy of
    // the program running) and adds nothing; found again after a cycle
    // without it, it is a new one. Each new file (`detail`) is an event of its own.
    void Found(int record, std::string_view name, std::int16_t method, std::string_view detail, std::uint64_t cycle,
               ClockTime at);

    [[nodiscard]] const std::vector<AwayEvent>& Events() const { return events_; }
    [[nodiscard]] std::size_t Untold() const { return untold_; }  // events past the limit
    [[nodiscard]] bool Empty() const { return events_.empty(); }

private:
    std::map<std::tuple<int, std::int16_t, std::string>, std::uint64_t> lastCycle_;
    std::vector<AwayEvent> events_;
    std::size_t untold_ = 0;
};

// The summary's lines, oldest first: the time in the user's form (given by
// formatTime), the display name and what happened (with the new file's
// name), separated by tabs (the list's columns). Events past the limit end the list with one line that
// counts them.
std::vector<std::string> SummaryLines(const AwayLog& log, const std::function<std::string(const ClockTime&)>& formatTime);

}  // namespace vl
