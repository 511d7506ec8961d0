#include "settings/settings.h"

#include <gtest/gtest.h>

#include <set>

#include "fake_profile_fs.h"
#include "settings/profile_store.h"

using namespace vl;
using vltest::FakeProfileFs;

namespace {

const std::string kFolder = "C:\\Saver";
const std::string kIni = "C:\\Saver\\QVX_data\\Lumiwake.ini";

class FakeFiles : public SettingsFiles {
public:
    std::set<std::string> existing;
    std::vector<std::string> iconsWritten;
    bool FileExists(const std::string& path) override { return existing.count(path) > 0; }
    bool WriteOwnIcon(const std::string& path) override {
        iconsWritten.push_back(path);
        return true;
    }
};

class FakeDirty : public DirtyFlag {
public:
    bool dirty = false;
    std::vector<bool> calls;
    bool IsDirty() const override { return dirty; }
    void SetDirty(bool flag) override {
        dirty = flag;
        calls.push_back(flag);
    }
};

class SettingsTest : public ::testing::Test {
protected:
    FakeProfileFs fs;
    ProfileStore store{fs, kIni};
    FakeFiles files;
    RuntimeState state;
    FakeDirty dirty;

    void Ini(const std::string& section, const std::string& key, const std::string& value) {
        fs.WriteString(kIni, section, key, value);
    }
    void Load() { LoadSettings(state, store, files, kFolder); }
};

TEST_F(SettingsTest, FirstStartUsesDefaultsAndWritesOnlyTheBuiltInRecord) {
    Load();
    EXPECT_EQ(state.NotifyX, 48);
    EXPECT_EQ(state.NotifyY, 295);
    EXPECT_FALSE(state.BlinkIcons);
    EXPECT_FALSE(state.EnlargeIcons);
    EXPECT_EQ(state.IconOrientation, 2);
    const std::string record = "-1;0;1;MAPI Client (Mail);;2;Internal;C:\\Saver\\QVX_data\\mail.ico;;";
    ASSERT_EQ(state.AppTable, std::vector<std::string>{record});
    ASSERT_EQ(fs.files[kIni].size(), 1u);
    EXPECT_EQ(fs.files[kIni][0].first, "applist");
    ASSERT_EQ(fs.files[kIni][0].second.size(), 1u);
    EXPECT_EQ(fs.Get(kIni, "applist", "app0"), record);
    EXPECT_EQ(files.iconsWritten, std::vector<std::string>{"C:\\Saver\\QVX_data\\mail.ico"});
}

TEST_F(SettingsTest, FirstStartPrefersAnInstalledMailIcon) {
    files.existing.insert("C:\\Saver\\QVX_data\\mailQX.ico");
    Load();
    EXPECT_EQ(state.AppTable.at(0), "-1;0;1;MAPI Client (Mail);;2;Internal;C:\\Saver\\QVX_data\\mailQX.ico;;");
    EXPECT_TRUE(files.iconsWritten.empty());
}

TEST_F(SettingsTest, MissingDataFolderStillGivesDefaultsAndTheBuiltInRecord) {
    fs.folderMissing = true;
    Load();
    EXPECT_EQ(state.NotifyX, 48);
    ASSERT_EQ(state.AppCount(), 1);
    EXPECT_EQ(state.AppTable[0].substr(0, 27), "-1;0;1;MAPI Client (Mail);;");
}

TEST_F(SettingsTest, StoredValuesAreRead) {
    Ini("settings", "position", "10;20;30");
    Ini("settings", "blink", "TRUE");
    Ini("settings", "enlarged", "1");
    Ini("settings", "orientation", "1");
    Ini("applist", "app0", "a;1;1;A;;1;Wait for window;;A;");
    Load();
    EXPECT_EQ(state.NotifyX, 10);
    EXPECT_EQ(state.NotifyY, 20);
    EXPECT_TRUE(state.BlinkIcons);
    EXPECT_TRUE(state.EnlargeIcons);
    EXPECT_EQ(state.IconOrientation, 1);
    EXPECT_TRUE(files.iconsWritten.empty());
}

TEST_F(SettingsTest, ValuesThatDoNotConvertFallBackToTheirDefaults) {
    Ini("settings", "position", "300");
    Ini("settings", "blink", "sometimes");
    Ini("settings", "enlarged", "yes");
    Ini("settings", "orientation", "sideways");
    Ini("applist", "app0", "a;1;1;A;;1;Wait for window;;A;");
    Load();
    EXPECT_EQ(state.NotifyX, 48);
    EXPECT_EQ(state.NotifyY, 295);
    EXPECT_FALSE(state.BlinkIcons);
    EXPECT_FALSE(state.EnlargeIcons);
    EXPECT_EQ(state.IconOrientation, 2);

    Ini("settings", "position", "12;x");
    Ini("settings", "orientation", "70000");
    Load();
    EXPECT_EQ(state.NotifyX, 48);
    EXPECT_EQ(state.IconOrientation, 2);
}

TEST_F(SettingsTest, LoadingStopsAtTheFirstGap) {
    Ini("applist", "app0", "r0");
    Ini("applist", "app1", "r1");
    Ini("applist", "app3", "r3");
    Load();
    EXPECT_EQ(state.AppTable, (std::vector<std::string>{"r0", "r1"}));
}

TEST_F(SettingsTest, LongValuesAreReadInFull) {
    std::string record = "9;1;1;" + std::string(400, 'n') + ";;1;Wait for window;;" + std::string(300, 't') + ";";
    Ini("applist", "app0", record);
    Load();
    EXPECT_EQ(state.AppTable.at(0), record);
}

// ---- saving ---------------------------------------------------------------

class SaveTest : public SettingsTest {
protected:
    DialogChoices choices;
    void SetUp() override {
        state.IsConfigMode = true;
        state.NotifyX = 100;
        state.NotifyY = 200;
        state.AppTable = {"r0", "", "r2"};
        dirty.dirty = true;
    }
};

TEST_F(SaveTest, NothingChangedWritesNothing) {
    dirty.dirty = false;
    Ini("applist", "app0", "old");
    EXPECT_FALSE(SaveAll(false, state, store, dirty, choices));
    EXPECT_EQ(fs.Get(kIni, "applist", "app0"), "old");
    EXPECT_EQ(fs.Get(kIni, "settings", "position"), "<missing>");
}

TEST_F(SaveTest, AToggledCheckBoxForcesTheSave) {
    dirty.dirty = false;
    state.AppListChanged = true;
    EXPECT_TRUE(SaveAll(false, state, store, dirty, choices));
    EXPECT_FALSE(dirty.dirty);
    EXPECT_EQ(fs.Get(kIni, "settings", "position"), "100;200");
}

TEST_F(SaveTest, NeitherRunningNorConfiguringWritesNothing) {
    state.IsConfigMode = false;
    EXPECT_FALSE(SaveAll(true, state, store, dirty, choices));
    EXPECT_TRUE(fs.files.empty());
    EXPECT_TRUE(dirty.dirty);  // the guard comes before the flag is cleared
}

TEST_F(SaveTest, FullSaveWritesEveryKeyAndRenumbersRecordsWithoutGaps) {
    choices.blinkChecked = true;
    choices.horizontal = true;
    choices.saver = DialogChoices::Saver::Path;
    choices.saverPath = "C:\\Windows\\system32\\Aurora.scr";
    Ini("settings", "unknown", "dropped");
    Ini("applist", "app2", "stale");
    ASSERT_TRUE(SaveAll(false, state, store, dirty, choices));
    EXPECT_FALSE(dirty.dirty);
    EXPECT_EQ(dirty.calls.back(), false);
    const vltest::ProfileFile want = {
        {"settings", {{"position", "100;200"}, {"blink", "1"}, {"enlarged", "0"}, {"orientation", "1"},
                      {"scrfile", "C:\\Windows\\system32\\Aurora.scr"}}},
        {"applist", {{"app0", "r0"}, {"app1", "r2"}}},
    };
    EXPECT_EQ(fs.files[kIni], want);
    EXPECT_EQ(state.ScreenSaverPath, "C:\\Windows\\system32\\Aurora.scr");
    EXPECT_EQ(fs.files.count(store.TemporaryPath()), 0u);
}

TEST_F(SaveTest, SaverChoiceClearedOrKept) {
    state.ScreenSaverPath = "C:\\old.scr";
    choices.saver = DialogChoices::Saver::NoSaver;
    SaveAll(false, state, store, dirty, choices);
    EXPECT_EQ(state.ScreenSaverPath, "");
    EXPECT_EQ(fs.Get(kIni, "settings", "scrfile"), "<missing>");
    EXPECT_EQ(fs.Get(kIni, "settings", "orientation"), "2");

    state.ScreenSaverPath = "C:\\kept.scr";
    choices.saver = DialogChoices::Saver::NotSelected;
    dirty.dirty = true;
    SaveAll(false, state, store, dirty, choices);
    EXPECT_EQ(state.ScreenSaverPath, "C:\\kept.scr");
    EXPECT_EQ(fs.Get(kIni, "settings", "scrfile"), "C:\\kept.scr");
}

TEST_F(SaveTest, ExitSaveWritesOnlyTheListIntoTheExistingFile) {
    state.IsConfigMode = false;
    state.IsSaverRunning = true;
    Ini("settings", "position", "1;2");
    Ini("settings", "custom", "kept");
    ASSERT_TRUE(SaveAll(true, state, store, dirty, choices));
    EXPECT_EQ(fs.Get(kIni, "settings", "position"), "1;2");
    EXPECT_EQ(fs.Get(kIni, "settings", "custom"), "kept");
    EXPECT_EQ(fs.Get(kIni, "applist", "app0"), "r0");
    EXPECT_EQ(fs.Get(kIni, "applist", "app1"), "r2");
}

// A power cut at any step of a full save leaves the old or the new file, whole.
TEST_F(SaveTest, InterruptedFullSaveLeavesTheOldOrTheNewFile) {
    Ini("settings", "position", "1;2");
    Ini("applist", "app0", "old0");
    Ini("applist", "app1", "old1");
    Ini("applist", "app2", "old2");
    const vltest::ProfileFile oldFile = fs.files[kIni];

    FakeProfileFs reference = fs;
    ProfileStore refStore(reference, kIni);
    RuntimeState refState = state;
    FakeDirty refDirty = dirty;
    SaveAll(false, refState, refStore, refDirty, choices);
    const vltest::ProfileFile newFile = reference.files[kIni];
    const int steps = reference.operations - fs.operations;
    ASSERT_GT(steps, 3);

    for (int cut = 0; cut <= steps; ++cut) {
        FakeProfileFs trial = fs;
        ProfileStore trialStore(trial, kIni);
        RuntimeState trialState = state;
        FakeDirty trialDirty = dirty;
        trial.cutAfter = trial.operations + cut;
        try {
            SaveAll(false, trialState, trialStore, trialDirty, choices);
        } catch (const vltest::PowerCut&) {
        }
        const vltest::ProfileFile& now = trial.files[kIni];
        EXPECT_TRUE(now == oldFile || now == newFile) << "cut after " << cut << " operations";
        if (cut == steps) {
            EXPECT_EQ(now, newFile);
        }
    }
}

TEST_F(SaveTest, ALeftoverTemporaryFileDoesNotLeakIntoTheSave) {
    fs.WriteString(store.TemporaryPath(), "applist", "app7", "ghost");
    SaveAll(false, state, store, dirty, choices);
    EXPECT_EQ(fs.Get(kIni, "applist", "app7"), "<missing>");
}

TEST_F(SaveTest, FailedFullSaveKeepsTheOldFile) {
    Ini("applist", "app0", "old0");
    const vltest::ProfileFile oldFile = fs.files[kIni];
    fs.folderMissing = true;
    SaveAll(false, state, store, dirty, choices);
    EXPECT_EQ(fs.files[kIni], oldFile);
}

}  // namespace
