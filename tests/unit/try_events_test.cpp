#include "watch/try_events.h"

#include <gtest/gtest.h>

using namespace vl;

namespace {

class FakeNotifier : public Notifier {
public:
    std::vector<std::string> shown;
    std::function<void()> onShowIconEx;
    void ShowIconEx(std::int16_t n, std::string& icon) override {
        shown.push_back("ShowIconEx " + std::to_string(n) + " " + icon);
        icon = "C:\\V\\QVX_data\\" + icon;
        if (onShowIconEx) onShowIconEx();
    }
    void ShowIcon(std::int16_t n, std::string& icon) override {
        shown.push_back("ShowIcon " + std::to_string(n) + " " + icon);
    }
    void WriteText(std::string_view text) override { shown.push_back("text " + std::string(text)); }
    void EventFound(int, std::string_view, std::int16_t, std::string_view) override { shown.push_back("found"); }
    bool IconShown(const std::string&) override { return false; }
};

const std::vector<std::string> kList = {
    "-1;0;1;Mail;;2;Internal;mail.ico;;",
    "1;1;0;Unticked;;1;Wait for window;u.ico;Alpha;",
    "2;1;1;Build;;1;Wait for window;b.ico;Build;",
    "3;1;1;Short;;1",                                  // damaged: never polled
    "4;1;1;Other;;7;Other;o.ico;x;",                   // unknown method
    "5;1;1;Report;;0;Watch for file update;;C:\\r.txt;",
    "6;1;1;NoIcon;;1;Wait for window;;Alpha;",
    "7;1;1;Log;;0;Watch for file update;l.ico;C:\\l.txt;1/2/2026",
    "-2;0;1;Mail2;;2;Internal;;;",
    "8;1;1;Export;;3;Wait for program to end;;ffmpeg.exe;",
    "9;1;1;Scans;;4;Watch folder for new files;s.ico;D:\\Scans\\*.pdf;",
    "10;1;1;Inbox;;4;Watch folder for new files;;D:\\In;",
};

std::vector<std::string> Described(const std::vector<TriedEvent>& events) {
    std::vector<std::string> out;
    for (const TriedEvent& e : events) out.push_back(std::to_string(e.method) + "|" + e.icon + "|" + e.text);
    return out;
}

}  // namespace

// What a try shows is what the poll cycle would show if every ticked record
// had its event at once: nothing for a record the cycle never looks at, a
// text where the cycle writes one, and the list's order.
TEST(TriedEvents, EveryTickedRecordInListOrderAsIfEachHadItsEvent) {
    AppList apps;
    apps.AppTable = kList;
    EXPECT_EQ(Described(TriedEvents(apps)), (std::vector<std::string>{
                                                "2|mail.ico|",
                                                "1|b.ico|",
                                                "0||C:\\r.txt has been modified",
                                                "1||",  // a window record has no text: the no-entry sign
                                                "0|l.ico|",
                                                "2||You've got email",
                                                "3||ffmpeg.exe has ended",
                                                "4|s.ico|",
                                                "4||New file: D:\\In",
                                            }));
    apps.AppTable = {"1;1;0;Unticked;;1;Wait for window;u.ico;Alpha;"};
    EXPECT_TRUE(TriedEvents(apps).empty());
}

// Shown as the cycle shows events, but none of them is told as found: a try
// reports nothing that happened.
TEST(TriedEvents, ShownLikeEventsOnTheScreenCopyTooAndNeverToldAsFound) {
    RuntimeState state;
    state.host.SaverConfirmed = true;
    state.host.SaverProcessCount = 2;
    state.apps.AppTable = {kList[2], kList[5]};
    FakeNotifier notifier;
    ShowTriedEvents(state, notifier);
    EXPECT_EQ(notifier.shown, (std::vector<std::string>{"ShowIconEx 1 b.ico", "ShowIcon 1 C:\\V\\QVX_data\\b.ico",
                                                        "text C:\\r.txt has been modified"}));
    EXPECT_EQ(state.apps.AppTable, (std::vector<std::string>{kList[2], kList[5]}));  // nothing written back
}

TEST(TriedEvents, ADisplayCallThatEndsTheRunStopsTheRest) {
    RuntimeState state;
    state.host.SaverConfirmed = true;
    state.host.SaverProcessCount = 2;
    state.apps.AppTable = kList;
    FakeNotifier notifier;
    notifier.onShowIconEx = [&] { state.host.SaverConfirmed = false; };
    ShowTriedEvents(state, notifier);
    EXPECT_EQ(notifier.shown, std::vector<std::string>{"ShowIconEx 2 mail.ico"});
}
