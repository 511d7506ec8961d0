#include "watch/away_log.h"

#include <gtest/gtest.h>

#include <cstdio>

using namespace vl;

namespace {

std::string Clock(const ClockTime& t) {
    char text[16];
    std::snprintf(text, sizeof text, "%02d.%02d", t.hour, t.minute);
    return text;
}

}  // namespace

// One line per event, oldest first, in the user's time form; a lasting
// event (found on every cycle) is one line, and comes back as a new line
// only after a cycle without it.
TEST(AwayLog, OneLinePerEventOldestFirstInTheUsersTimeForm) {
    AwayLog log;
    log.Found(2, "Build", 1, "", 1, {9, 5, 12});
    log.Found(3, "Report", 0, "", 1, {9, 5, 13});
    log.Found(2, "Build", 1, "", 2, {9, 5, 15});  // the window is still open
    log.Found(0, "Mail", 2, "", 2, {9, 5, 15});
    log.Found(2, "Build", 1, "", 3, {9, 5, 18});
    log.Found(0, "Mail", 2, "", 3, {9, 5, 18});
    log.Found(2, "Build", 1, "", 5, {10, 41, 0});  // closed during cycle 4, open again
    log.Found(3, "Report", 0, "", 7, {11, 2, 0});                     // changed again
    log.Found(4, "Odd", 9, "", 7, {11, 2, 0});                        // no event of any kind
    // No copy of the program left over two cycles; two files arriving in
    // one folder, one of them still there a cycle later.
    log.Found(5, "Export", 3, "", 7, {11, 2, 0});
    log.Found(5, "Export", 3, "", 8, {11, 2, 3});
    log.Found(6, "Scans", 4, "a.pdf", 8, {11, 2, 3});
    log.Found(6, "Scans", 4, "b.pdf", 8, {11, 2, 3});
    log.Found(6, "Scans", 4, "a.pdf", 9, {11, 2, 6});
    EXPECT_EQ(SummaryLines(log, Clock), (std::vector<std::string>{
                                            "09.05\tBuild\twindow appeared",
                                            "09.05\tReport\tfile changed",
                                            "09.05\tMail\tnew mail",
                                            "10.41\tBuild\twindow appeared",
                                            "11.02\tReport\tfile changed",
                                            "11.02\tExport\tprogram ended",
                                            "11.02\tScans\tnew file: a.pdf",
                                            "11.02\tScans\tnew file: b.pdf",
                                        }));
}

TEST(AwayLog, NoEventsNoLinesAndAFullLogCountsTheRest) {
    AwayLog log;
    EXPECT_TRUE(log.Empty());
    EXPECT_TRUE(SummaryLines(log, Clock).empty());
    for (std::size_t i = 0; i < kMaxAwayEvents + 3; ++i) log.Found(static_cast<int>(i), "R", 0, "", 1, {});
    const std::vector<std::string> lines = SummaryLines(log, Clock);
    ASSERT_EQ(lines.size(), kMaxAwayEvents + 1);
    EXPECT_EQ(lines.back(), "\t3 more events\t");
}
