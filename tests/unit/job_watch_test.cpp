#include "watch/job_watch.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace vl;

namespace {

class FakeSources : public JobSources {
public:
    std::vector<RunningProcess> processes;
    std::map<std::uint32_t, std::string> own;  // the current user's processes and their paths
    std::optional<std::vector<FolderEntry>> files = std::vector<FolderEntry>();
    std::set<std::string> writing;  // held open for writing
    bool changed = true;              // what the folder's change notification says
    std::vector<std::string> asked, logged;
    int lists = 0;

    std::vector<RunningProcess> Processes() override { return ++lists, processes; }
    std::optional<std::string> OwnProcessPath(std::uint32_t id) override {
        asked.push_back(std::to_string(id));
        return own.count(id) ? std::optional(own[id]) : std::nullopt;
    }
    bool Watch(std::uint32_t id) override { return own.count(id) > 0; }
    bool HasEnded(std::uint32_t id) override {
        return std::none_of(processes.begin(), processes.end(), [id](const RunningProcess& p) { return p.id == id; });
    }
    bool FolderChanged(const std::string&) override { return changed; }
    std::optional<std::vector<FolderEntry>> FolderFiles(const std::string& folder) override {
        asked.push_back(folder);
        return files;
    }
    bool BeingWritten(const std::string& path) override { return writing.count(path) > 0; }
    void Log(std::string_view line) override { logged.emplace_back(line); }

    void Start(std::uint32_t id, std::string image, std::string path = "C:\\bin\\x.exe") {
        processes.push_back({id, image});
        own[id] = std::move(path);
    }
    void End(std::uint32_t id) {
        std::erase_if(processes, [id](const RunningProcess& p) { return p.id == id; });
    }
};

}  // namespace

TEST(FilePattern, CaseStarQuestionMarkAndNoPattern) {
    EXPECT_TRUE(PatternMatches("Scan 01.PDF", "*.pdf"));
    EXPECT_FALSE(PatternMatches("scan.pdfx", "*.pdf"));  // no short-name match
    EXPECT_FALSE(PatternMatches("scan.pd", "*.pdf"));
    EXPECT_TRUE(PatternMatches("scan07.pdf", "scan??.pdf"));
    EXPECT_FALSE(PatternMatches("scan7.pdf", "scan??.pdf"));
    EXPECT_TRUE(PatternMatches("Zoë.txt", "Zo?.txt"));  // one character, two bytes
    EXPECT_TRUE(PatternMatches("a-b-c-d.log", "a*c*.log"));
    EXPECT_FALSE(PatternMatches("a-b-d.log", "a*c*.log"));
    EXPECT_TRUE(PatternMatches("anything", "*"));
    EXPECT_TRUE(PatternMatches("", "*"));
}

TEST(FilePattern, TheLastPartIsAPatternOnlyWithAWildcard) {
    const auto split = [](std::string_view text) {
        const FolderText t = SplitFolderText(text);
        return t.folder + "|" + t.pattern;
    };
    EXPECT_EQ(split("D:\\Scans\\*.pdf"), "D:\\Scans|*.pdf");
    EXPECT_EQ(split("D:\\Scans"), "D:\\Scans|*");
    EXPECT_EQ(split("D:\\Scans\\"), "D:\\Scans|*");
    EXPECT_EQ(split("D:\\Scans\\report.pdf"), "D:\\Scans\\report.pdf|*");
    EXPECT_EQ(split("D:\\*.pdf"), "D:|*.pdf");
}

TEST(ProgramEnd, ByFileNameOrFullPathWithoutCase) {
    EXPECT_TRUE(IsWantedProgram("FFMPEG.EXE", "C:\\Tools\\FFMPEG.EXE", "ffmpeg.exe"));
    EXPECT_TRUE(IsWantedProgram("ffmpeg.exe", "C:\\Tools\\ffmpeg.exe", "c:\\tools\\FFmpeg.exe"));
    EXPECT_FALSE(IsWantedProgram("ffmpeg.exe", "D:\\Old\\ffmpeg.exe", "C:\\Tools\\ffmpeg.exe"));
    EXPECT_FALSE(IsWantedProgram("ffprobe.exe", "C:\\Tools\\ffprobe.exe", "ffmpeg.exe"));
}

// The event is the last copy's end; a program never seen running, or run
// only by another user, never has one.
TEST(ProgramEnd, ShownOnceTheLastCopyHasEndedAndNeverForOneThatNeverRan) {
    FakeSources s;
    JobWatch jobs;
    const auto cycle = [&](int record, std::string_view program) {
        jobs.BeginCycle();
        return jobs.ProgramEnded(s, record, program);
    };
    EXPECT_FALSE(cycle(0, "render.exe"));  // never running
    s.Start(10, "render.exe");
    s.Start(11, "Render.exe");
    s.processes.push_back({12, "render.exe"});  // another user's: cannot be opened
    EXPECT_FALSE(cycle(0, "render.exe"));
    s.End(10);
    EXPECT_FALSE(cycle(0, "render.exe"));  // a second copy still runs
    EXPECT_EQ(s.lists, 2);                 // and is watched: no process list needed
    s.End(11);
    EXPECT_TRUE(cycle(0, "render.exe"));  // the other user's copy does not count
    EXPECT_TRUE(cycle(0, "render.exe"));  // a lasting event
    EXPECT_FALSE(cycle(0, "backup.exe"));  // another text: the record starts afresh
    // Only processes of the program's name are opened, none while a watched copy runs.
    EXPECT_EQ(s.asked, (std::vector<std::string>{"10", "11", "12", "12", "12"}));
}

// A file is new when it was not there at the first look, matches the
// pattern, and has stopped growing and is no longer held for writing.
TEST(NewFiles, OnlyArrivalsThatAreCompleteAndStillThere) {
    FakeSources s;
    JobWatch jobs;
    const auto cycle = [&] { return jobs.NewFiles(s, 2, "D:\\Scans\\*.pdf"); };
    s.files = std::vector<FolderEntry>{{"old.pdf", 10}};
    EXPECT_TRUE(cycle().empty());
    s.files->push_back({"a.pdf", 100});
    s.files->push_back({"notes.txt", 5});
    s.files->push_back({"b.pdf", 7});
    s.writing = {"D:\\Scans\\b.pdf"};
    EXPECT_TRUE(cycle().empty());  // first seen: its size may still grow
    (*s.files)[1].size = 200;
    EXPECT_TRUE(cycle().empty());  // it grew
    EXPECT_EQ(cycle(), std::vector<std::string>{"a.pdf"});  // b.pdf is still held open
    s.writing.clear();
    EXPECT_EQ(cycle(), (std::vector<std::string>{"a.pdf", "b.pdf"}));
    s.files = std::vector<FolderEntry>{{"b.pdf", 7}};  // a.pdf and old.pdf removed again
    EXPECT_EQ(cycle(), std::vector<std::string>{"b.pdf"});
    s.files->push_back({"old.pdf", 10});  // back after it had gone: new
    cycle();
    EXPECT_EQ(cycle(), (std::vector<std::string>{"b.pdf", "old.pdf"}));
    EXPECT_TRUE(s.logged.empty());
    EXPECT_EQ(s.asked.back(), "D:\\Scans");
    // Nothing came or went, and every new file is complete: no listing.
    s.changed = false;
    const size_t listings = s.asked.size();
    EXPECT_EQ(cycle(), (std::vector<std::string>{"b.pdf", "old.pdf"}));
    EXPECT_EQ(s.asked.size(), listings);
}

TEST(NewFiles, AFolderThatCannotBeReadShowsNothingAndIsLoggedOnce) {
    FakeSources s;
    JobWatch jobs;
    s.files = std::nullopt;
    EXPECT_TRUE(jobs.NewFiles(s, 0, "E:\\Gone\\").empty());
    EXPECT_TRUE(jobs.NewFiles(s, 0, "E:\\Gone\\").empty());
    EXPECT_EQ(s.logged, std::vector<std::string>{"Watch folder for new files: E:\\Gone cannot be read."});
    // Once readable, what it holds then counts as there from the start.
    s.files = std::vector<FolderEntry>{{"x.bin", 1}};
    jobs.NewFiles(s, 0, "E:\\Gone\\");
    EXPECT_TRUE(jobs.NewFiles(s, 0, "E:\\Gone\\").empty());
}
