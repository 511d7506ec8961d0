// Two sources for someone who leaves a long job running: a program that
// ends, and a file that arrives in a folder. Both compare what a cycle sees
// with what earlier cycles of the same run saw, so they keep a memory of
// the run, one entry per record.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vl {

struct RunningProcess {
    std::uint32_t id = 0;
    std::string image;  // the program's file name, as the process list gives it
};

struct FolderEntry {
    std::string name;  // without the folder
    std::uint64_t size = 0;
};

// What the two methods look at.
class JobSources {
public:
    virtual ~JobSources() = default;
    // Every process of the system, from one snapshot.
    virtual std::vector<RunningProcess> Processes() = 0;
    // The full path of the program of a process of the current user ("" when
    // the path cannot be read); nothing for another user's process, or one
    // that cannot be opened.
    virtual std::optional<std::string> OwnProcessPath(std::uint32_t id) = 0;
    // Keeps watching a process until HasEnded tells its end; false when it
    // cannot be watched. A process is watched once, however often it is asked.
    virtual bool Watch(std::uint32_t id) = 0;
    // Whether a watched process has ended (then it is no longer watched); a
    // process not watched counts as ended.
    virtual bool HasEnded(std::uint32_t id) = 0;
    // Whether files may have come or gone in the folder since the last call:
    // true at the first call, and whenever that cannot be told.
    virtual bool FolderChanged(const std::string& folder) = 0;
    // The files (not the folders) of a folder, from one listing; nothing when
    // the folder is missing or cannot be read.
    virtual std::optional<std::vector<FolderEntry>> FolderFiles(const std::string& folder) = 0;
    // Whether a program holds the file open for writing, where that can be told.
    virtual bool BeingWritten(const std::string& path) = 0;
    virtual void Log(std::string_view line) = 0;  // the diagnostic log
};

// A file name against a pattern: "*" stands for any run of characters, "?"
// for one; letters match without their case, as Windows names files.
bool PatternMatches(std::string_view name, std::string_view pattern);

// A "Watch folder for new files" text: a folder, with a pattern as its last
// part when that part holds "*" or "?" ("D:\Scans\*.pdf"); a folder alone,
// with or without a trailing "\", takes every file.
struct FolderText {
    std::string folder;  // without a trailing "\"
    std::string pattern;
};
FolderText SplitFolderText(std::string_view text);

// Whether a process runs the program a record names: a text with a folder
// in it names the program's full path, any other one its file name.
bool IsWantedProgram(std::string_view image, std::string_view path, std::string_view wanted);

class JobWatch {
public:
    // Forgets the process list of the last cycle; called at each cycle's start.
    void BeginCycle() { processesTaken_ = false; }

    // Whether record `record`'s program has ended: one of the current user's
    // processes ran it during this run, and none is left. The copies found
    // are watched; the process list is looked at only when none of them is
    // left, once a cycle for every record that needs it.
    bool ProgramEnded(JobSources& sources, int record, std::string_view program);

    // The files that arrived in the record's folder since its first look in
    // this run, matching its pattern, and are complete: the same size in two
    // cycles and not open for writing. A file removed again is forgotten. A
    // folder that cannot be read gives none and is logged once. The folder is
    // listed again only when files came or went, or one is not complete yet.
    std::vector<std::string> NewFiles(JobSources& sources, int record, std::string_view text);

private:
    // A file of a watched folder: there at the first look (never reported
    // while it stays), or arrived since, with its size at the last look.
    struct FileSeen {
        bool there = false;
        bool complete = false;
        std::uint64_t size = 0;
        unsigned listing = 0;  // the last listing that held it
    };
    // What one record saw so far; a record whose text changed starts afresh.
    struct Memory {
        int record = 0;
        std::string text;
        bool seen = false;  // its program ran during this run
        std::vector<std::uint32_t> running;  // the watched copies of its program
        bool logged = false;
        unsigned listing = 0;  // listings of its folder taken
        std::map<std::string, FileSeen> files;
    };
    Memory& MemoryOf(int record, std::string_view text);
    void List(JobSources& sources, Memory& memory, const FolderText& where);
    const std::vector<RunningProcess>& Processes(JobSources& sources);

    bool processesTaken_ = false;
    std::vector<RunningProcess> processes_;
    std::vector<Memory> records_;  // of the program and folder records, as they come
};

}  // namespace vl
