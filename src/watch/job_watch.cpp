#include "watch/job_watch.h"

#include <algorithm>
#include <cctype>

#include "core/text.h"

namespace vl {
namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

std::string_view FileNameOf(std::string_view path) {
    const size_t cut = path.find_last_of("\\/");
    return cut == std::string_view::npos ? path : path.substr(cut + 1);
}

bool IsContinuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

bool SameLetter(char a, char b) {
    return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
}

}  // namespace

// Backtracking over the last "*" only: linear in practice, and at worst the
// name's length times the pattern's, never exponential.
bool PatternMatches(std::string_view name, std::string_view pattern) {
    size_t n = 0, p = 0;
    size_t starP = std::string_view::npos, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starN = n;
        } else if (p < pattern.size() && pattern[p] == '?') {
            ++p;  // one character, however many bytes it takes
            for (++n; n < name.size() && IsContinuation(name[n]); ++n) {}
        } else if (p < pattern.size() && SameLetter(pattern[p], name[n])) {
            ++p;
            ++n;
        } else if (starP != std::string_view::npos) {
            p = starP + 1;  // the "*" takes one more character
            for (++starN; starN < name.size() && IsContinuation(name[starN]); ++starN) {}
            n = starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
}

FolderText SplitFolderText(std::string_view text) {
    std::string_view last = FileNameOf(text);
    FolderText out;
    if (last.find_first_of("*?") != std::string_view::npos) {
        out.pattern = std::string(last);
        text.remove_suffix(last.size());
    } else {
        out.pattern = std::string("*");  // a whole string: GCC 12 misreads a literal here (-Wrestrict)
    }
    while (!text.empty() && IsSeparator(text.back())) text.remove_suffix(1);
    out.folder = std::string(text);
    return out;
}

bool IsWantedProgram(std::string_view image, std::string_view path, std::string_view wanted) {
    if (wanted.find_first_of("\\/") != std::string_view::npos) return EqualsIgnoreCase(path, wanted);
    return EqualsIgnoreCase(image, wanted);
}

JobWatch::Memory& JobWatch::MemoryOf(int record, std::string_view text) {
    auto found = std::find_if(records_.begin(), records_.end(), [record](const Memory& m) { return m.record == record; });
    if (found == records_.end()) found = records_.emplace(records_.end());
    if (found->text != text) {
        *found = Memory();
        found->record = record;
        found->text = std::string(text);
    }
    return *found;
}

const std::vector<RunningProcess>& JobWatch::Processes(JobSources& sources) {
    if (!processesTaken_) processes_ = sources.Processes();
    processesTaken_ = true;
    return processes_;
}

bool JobWatch::ProgramEnded(JobSources& sources, int record, std::string_view program) {
    Memory& memory = MemoryOf(record, program);
    std::erase_if(memory.running, [&sources](std::uint32_t id) { return sources.HasEnded(id); });
    const std::string_view image = FileNameOf(program);
    if (memory.running.empty() && !image.empty()) {
        for (const RunningProcess& p : Processes(sources)) {
            // Only a process of the program's file name is opened at all.
            if (!EqualsIgnoreCase(p.image, image)) continue;
            const std::optional<std::string> path = sources.OwnProcessPath(p.id);
            if (path && IsWantedProgram(p.image, *path, program) && sources.Watch(p.id)) memory.running.push_back(p.id);
        }
    }
    if (!memory.running.empty()) memory.seen = true;
    return memory.seen && memory.running.empty();
}

std::vector<std::string> JobWatch::NewFiles(JobSources& sources, int record, std::string_view text) {
    Memory& memory = MemoryOf(record, text);
    const FolderText where = SplitFolderText(text);
    const bool changed = sources.FolderChanged(where.folder);
    const bool pending = std::any_of(memory.files.begin(), memory.files.end(),
                                     [](const auto& f) { return !f.second.there && !f.second.complete; });
    if (changed || pending || memory.listing == 0) List(sources, memory, where);
    std::vector<std::string> complete;
    for (const auto& [name, seen] : memory.files)
        if (seen.complete) complete.push_back(name);
    return complete;
}

void JobWatch::List(JobSources& sources, Memory& memory, const FolderText& where) {
    const std::optional<std::vector<FolderEntry>> listing = sources.FolderFiles(where.folder);
    if (!listing) {
        if (!memory.logged) sources.Log("Watch folder for new files: " + where.folder + " cannot be read.");
        memory.logged = true;
        return;
    }
    const bool first = memory.listing++ == 0;
    for (const FolderEntry& file : *listing) {
        if (!PatternMatches(file.name, where.pattern)) continue;
        const auto [it, added] = memory.files.try_emplace(file.name);
        FileSeen& seen = it->second;
        if (added) seen.there = first;
        // Complete once it kept its size over a cycle and nobody writes it.
        if (!added && !seen.there && !seen.complete && seen.size == file.size)
            seen.complete = !sources.BeingWritten(where.folder + "\\" + file.name);
        seen.size = file.size;
        seen.listing = memory.listing;
    }
    // A file that went is forgotten, and new when it comes back.
    std::erase_if(memory.files, [&memory](const auto& f) { return f.second.listing != memory.listing; });
}

}  // namespace vl
