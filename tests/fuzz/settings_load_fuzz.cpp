// The settings loader over a settings file of arbitrary bytes: with and
// without a writable data folder, an installed mail icon and an earlier copy
// kept aside. A file that cannot be read is kept aside whole; the records are
// the file's own; a full save of what was loaded loads back to the same state.
#include <map>
#include <set>
#include <tuple>

#include "core/limits.h"
#include "core/text.h"
#include "core/utf.h"
#include "fuzz_check.h"
#include "profile_text.h"
#include "settings/profile_store.h"
#include "settings/settings.h"

namespace {

const std::string kFolder = "C:\\Saver";
const std::string kIni = "C:\\Saver\\QVX_data\\Lumiwake.ini";
const std::string kAside = kIni + ".bak";
const std::string kInstalledIcon = "C:\\Saver\\QVX_data\\mailQX.ico";

// The unit tests' profile files, keeping each file's bytes as well: a file
// written whole is read back the way the profile calls read it.
class BytesProfileFs : public vltest::FakeProfileFs {
public:
    std::map<std::string, std::string> bytes;

    bool WriteWholeFile(const std::string& path, std::string_view content) override {
        if (!FakeProfileFs::WriteWholeFile(path, content)) return false;
        files[path] = vlfuzz::ParseProfileText(vl::TextOfFileBytes(content));
        bytes[path] = std::string(content);
        return true;
    }
    bool Remove(const std::string& path) override { return bytes.erase(path), FakeProfileFs::Remove(path); }
    bool Rename(const std::string& from, const std::string& to) override {
        if (!FakeProfileFs::Rename(from, to)) return false;
        bytes[to] = bytes[from];
        bytes.erase(from);
        return true;
    }
};

class FakeFiles : public vl::SettingsFiles {
public:
    explicit FakeFiles(BytesProfileFs& fs) : fs_(fs) {}
    std::set<std::string> existing;
    std::vector<std::string> log;

    bool FileExists(const std::string& path) override { return existing.count(path) > 0; }
    bool WriteOwnIcon(const std::string&) override { return !fs_.folderMissing; }
    std::optional<std::uint64_t> FileSize(const std::string& path) override {
        const auto found = fs_.bytes.find(path);
        if (found == fs_.bytes.end()) return std::nullopt;
        return found->second.size();
    }
    bool MoveAside(const std::string& path, const std::string& to) override {
        if (fs_.folderMissing || fs_.bytes.count(to) || !fs_.bytes.count(path)) return false;
        fs_.bytes[to] = fs_.bytes[path];
        fs_.files[to] = fs_.files[path];
        fs_.bytes.erase(path);
        fs_.files.erase(path);
        return true;
    }
    void Log(std::string_view line) override { log.emplace_back(line); }

private:
    BytesProfileFs& fs_;
};

struct Loaded {
    vl::SettingsValues values;
    vl::AppList apps;
};

Loaded Load(BytesProfileFs& fs, FakeFiles& files) {
    vl::ProfileStore store(fs, kIni);
    Loaded l;
    vl::LoadSettings(l.values, l.apps, store, files, kFolder);
    return l;
}

auto Shown(const vl::SettingsValues& v) {
    return std::tuple(v.NotifyX, v.NotifyY, v.BlinkIcons, v.EnlargeIcons, v.IconOrientation, v.AwaySummary);
}

// Record n as the profile calls give it: the first [applist] section, the
// first key of that name in any letter case.
std::string RecordInFile(const vltest::ProfileFile& file, int n) {
    const auto section = vltest::Find(file, vl::kAppListSection);
    if (section == file.end()) return {};
    for (const auto& [key, value] : section->second)
        if (vl::EqualsIgnoreCase(key, "app" + std::to_string(n))) return value;
    return {};
}

void LoadOnce(std::string_view text, const vltest::ProfileFile& parsed, bool folderMissing, bool iconInstalled,
              bool asideTaken) {
    BytesProfileFs fs;
    fs.files[kIni] = parsed;
    fs.bytes[kIni] = std::string(text);
    if (asideTaken) {
        fs.files[kAside] = {};
        fs.bytes[kAside] = "earlier";
    }
    fs.folderMissing = folderMissing;
    FakeFiles files(fs);
    if (iconInstalled) files.existing.insert(kInstalledIcon);
    const Loaded first = Load(fs, files);

    // The list always holds at least the mail record, never an empty one.
    const std::vector<std::string>& table = first.apps.AppTable;
    FUZZ_EXPECT(!table.empty() && table.size() <= static_cast<size_t>(vl::kMaxAppCount));
    FUZZ_EXPECT(first.apps.Beyond.empty());  // no input is long enough to reach the limit
    for (const std::string& record : table) FUZZ_EXPECT(!record.empty());
    const bool created = RecordInFile(parsed, 0).empty();
    for (size_t n = created ? 1 : 0; n < table.size(); ++n)
        FUZZ_EXPECT(table[n] == RecordInFile(parsed, static_cast<int>(n)));

    // A file that holds bytes but no section is kept aside whole before the
    // mail record is written, or left exactly as it was.
    const bool unreadable = created && !text.empty() && parsed.empty();
    if (unreadable) {
        const bool moved = !folderMissing && !asideTaken;
        FUZZ_EXPECT(files.log.size() == 1);
        FUZZ_EXPECT(moved ? fs.bytes[kAside] == text : fs.bytes[kIni] == text && fs.files[kIni] == parsed);
        if (moved) FUZZ_EXPECT(RecordInFile(fs.files[kIni], 0) == table[0]);
    } else {
        FUZZ_EXPECT(files.log.empty());
    }
    if (folderMissing) {
        FUZZ_EXPECT(fs.files[kIni] == parsed && fs.bytes[kIni] == text);
        return;
    }
    if (unreadable && asideTaken) return;

    // A full save of the loaded state gives back that state, with any
    // orientation other than 1 saved as the default 2. A value can end in
    // blanks only when a NUL byte followed them; a line of the file cannot
    // end in blanks, so such a value comes back without them.
    vl::ProfileStore store(fs, kIni);
    vl::SavedSettings saved;
    saved.notifyX = first.values.NotifyX;
    saved.notifyY = first.values.NotifyY;
    saved.blink = first.values.BlinkIcons;
    saved.enlarged = first.values.EnlargeIcons;
    saved.horizontal = first.values.IconOrientation == 1;
    saved.awaySummary = first.values.AwaySummary;
    saved.scrfile = store.Read(vl::kSettingsSection, "scrfile", "");
    FUZZ_EXPECT(store.ReplaceAll(vl::AllEntries(saved, first.apps)).written);
    FUZZ_EXPECT(fs.files.count(store.TemporaryPath()) == 0);
    const Loaded again = Load(fs, files);
    vl::SettingsValues want = first.values;
    want.IconOrientation = saved.horizontal ? 1 : 2;
    FUZZ_EXPECT(Shown(again.values) == Shown(want));
    std::vector<std::string> records;
    for (const std::string& record : table) records.emplace_back(vlfuzz::TrimProfileBlanks(record));
    FUZZ_EXPECT(again.apps.AppTable == records);
    FUZZ_EXPECT(store.Read(vl::kSettingsSection, "scrfile", "") == vlfuzz::TrimProfileBlanks(saved.scrfile));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size) {
    // The wide profile calls hand over text decoded from the file's encoding:
    // valid, whatever the bytes were.
    const std::string text = vl::Utf8FromUtf16(vl::Utf16FromUtf8(vlfuzz::AsText(data, size)));
    const vltest::ProfileFile parsed = vlfuzz::ParseProfileText(text);
    for (int mode = 0; mode < 8; ++mode) LoadOnce(text, parsed, mode & 1, mode & 2, mode & 4);
    return 0;
}
