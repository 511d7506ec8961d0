// The settings loader over a settings file of arbitrary bytes, with and
// without a writable data folder and an installed mail icon; then a full
// save of what was loaded must load back to the same state.
#include <set>
#include <tuple>

#include "core/limits.h"
#include "fuzz_check.h"
#include "profile_text.h"
#include "settings/profile_store.h"
#include "settings/settings.h"
#include "settings/watched_app.h"

namespace {

const std::string kFolder = "C:\\Saver";
const std::string kIni = "C:\\Saver\\QVX_data\\Lumiwake.ini";
const std::string kInstalledIcon = "C:\\Saver\\QVX_data\\mailQX.ico";

class FakeFiles : public vl::SettingsFiles {
public:
    std::set<std::string> existing;
    bool FileExists(const std::string& path) override { return existing.count(path) > 0; }
    bool WriteOwnIcon(const std::string&) override { return true; }
};

struct Loaded {
    vl::SettingsValues values;
    vl::AppList apps;
};

Loaded Load(vltest::FakeProfileFs& fs, FakeFiles& files) {
    vl::ProfileStore store(fs, kIni);
    Loaded l;
    vl::LoadSettings(l.values, l.apps, store, files, kFolder);
    return l;
}

auto Shown(const vl::SettingsValues& v) {
    return std::tuple(v.NotifyX, v.NotifyY, v.BlinkIcons, v.EnlargeIcons, v.IconOrientation);
}

void LoadOnce(const vltest::ProfileFile& parsed, bool folderMissing, bool iconInstalled) {
    vltest::FakeProfileFs fs;
    fs.files[kIni] = parsed;
    fs.folderMissing = folderMissing;
    FakeFiles files;
    if (iconInstalled) files.existing.insert(kInstalledIcon);
    const Loaded first = Load(fs, files);

    // The list always holds at least the mail record, never an empty one.
    const std::vector<std::string>& table = first.apps.AppTable;
    FUZZ_EXPECT(!table.empty() && table.size() <= static_cast<size_t>(vl::kMaxAppCount));
    for (const std::string& record : table) FUZZ_EXPECT(!record.empty());
    if (folderMissing) FUZZ_EXPECT(fs.files[kIni] == parsed);

    // Every record is the file's own, except a mail record created just now.
    vl::ProfileStore store(fs, kIni);
    for (size_t n = 0; n < table.size(); ++n) {
        const std::string stored = store.Read(vl::kAppListSection, "app" + std::to_string(n), "");
        FUZZ_EXPECT(stored == table[n] || (n == 0 && folderMissing && stored.empty()));
    }
    if (folderMissing) return;

    // A full save of the loaded state gives back that state, with any
    // orientation other than 1 saved as the default 2.
    vl::SavedSettings saved;
    saved.notifyX = first.values.NotifyX;
    saved.notifyY = first.values.NotifyY;
    saved.blink = first.values.BlinkIcons;
    saved.enlarged = first.values.EnlargeIcons;
    saved.horizontal = first.values.IconOrientation == 1;
    saved.scrfile = store.Read(vl::kSettingsSection, "scrfile", "");
    FUZZ_EXPECT(store.ReplaceAll(vl::AllEntries(saved, first.apps)).replaced);
    FUZZ_EXPECT(fs.files.count(store.TemporaryPath()) == 0);
    const Loaded again = Load(fs, files);
    vl::SettingsValues want = first.values;
    want.IconOrientation = saved.horizontal ? 1 : 2;
    FUZZ_EXPECT(Shown(again.values) == Shown(want));
    FUZZ_EXPECT(again.apps.AppTable == table);
    FUZZ_EXPECT(store.Read(vl::kSettingsSection, "scrfile", "") == saved.scrfile);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size) {
    const vltest::ProfileFile parsed = vlfuzz::ParseProfileText(vlfuzz::AsText(data, size));
    for (int mode = 0; mode < 4; ++mode) LoadOnce(parsed, mode & 1, mode & 2);
    return 0;
}
