#include "settings/settings.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

#include "core/limits.h"
#include "settings/save_all.h"
#include "fake_profile_fs.h"
#include "settings/profile_store.h"

using namespace vl;
using vltest::FakeProfileFs;
using vltest::ProfileFile;

namespace {

const std::string kFolder = "C:\\Saver";
const std::string kIni = "C:\\Saver\\QVX_data\\Lumiwake.ini";
const std::string kMailRecord = "-1;0;1;MAPI Client (Mail);;2;Internal;C:\\Saver\\QVX_data\\mail.ico;;";

class FakeFiles : public SettingsFiles {
public:
    std::set<std::string> existing;
    std::vector<std::string> iconsWritten;
    std::map<std::string, std::uint64_t> sizes;  // files the profile calls may not be able to read
    std::vector<std::string> log;
    bool FileExists(const std::string& path) override { return existing.count(path) > 0; }
    bool WriteOwnIcon(const std::string& path) override { return iconsWritten.push_back(path), true; }
    std::optional<std::uint64_t> FileSize(const std::string& path) override {
        const auto it = sizes.find(path);
        return it == sizes.end() ? std::nullopt : std::optional(it->second);
    }
    bool MoveAside(const std::string& path, const std::string& to) override {
        if (sizes.count(to) || !sizes.count(path)) return false;
        sizes[to] = sizes[path];
        sizes.erase(path);
        return true;
    }
    void Log(std::string_view line) override { log.emplace_back(line); }
};

class FakeDirty : public DirtyFlag {
public:
    bool dirty = false;
    bool IsDirty() const override { return dirty; }
    void SetDirty(bool flag) override { dirty = flag; }
};

class SettingsTest : public ::testing::Test {
protected:
    FakeProfileFs fs;
    ProfileStore store{fs, kIni};
    FakeFiles files;
    RuntimeState state;
    FakeDirty dirty;

    void Load() { LoadSettings(state.settings, state.apps, store, files, kFolder); }
    // Position, blink, enlarged, orientation.
    std::tuple<int, int, bool, bool, int> Shown() const {
        const SettingsValues& v = state.settings;
        return {v.NotifyX, v.NotifyY, v.BlinkIcons, v.EnlargeIcons, v.IconOrientation};
    }
    static constexpr std::tuple<int, int, bool, bool, int> kDefaults{48, 295, false, false, 2};
};

TEST_F(SettingsTest, FirstStartUsesDefaultsAndWritesOnlyTheBuiltInRecord) {
    Load();
    EXPECT_EQ(Shown(), kDefaults);
    ASSERT_EQ(state.apps.AppTable, std::vector<std::string>{kMailRecord});
    EXPECT_EQ(fs.files[kIni], (ProfileFile{{"applist", {{"app0", kMailRecord}}}}));
    EXPECT_EQ(fs.wholeFileBytes[kIni + ".0.new"], "\xFF\xFE");  // begun empty as UTF-16: it can hold any path
    EXPECT_EQ(files.iconsWritten, std::vector<std::string>{"C:\\Saver\\QVX_data\\mail.ico"});
}

TEST_F(SettingsTest, FirstStartPrefersAnInstalledMailIcon) {
    files.existing.insert("C:\\Saver\\QVX_data\\mailQX.ico");
    Load();
    EXPECT_EQ(state.apps.AppTable.at(0), "-1;0;1;MAPI Client (Mail);;2;Internal;C:\\Saver\\QVX_data\\mailQX.ico;;");
    EXPECT_TRUE(files.iconsWritten.empty());
}

TEST_F(SettingsTest, MissingDataFolderStillGivesDefaultsAndTheBuiltInRecord) {
    fs.folderMissing = true;
    Load();
    EXPECT_EQ(Shown(), kDefaults);
    EXPECT_EQ(state.apps.AppTable, std::vector<std::string>{kMailRecord});
}

TEST_F(SettingsTest, StoredValuesAreReadAndListLoadingStopsAtTheFirstGap) {
    fs.files[kIni] = {
        {"settings",
         {{"position", "10;20;30"}, {"blink", "TRUE"}, {"enlarged", "1"}, {"orientation", "1"}, {"monitor", "\\\\.\\D2"}}},
        {"applist", {{"app0", "r0"}, {"app1", "r1"}, {"app3", "r3"}}}};
    Load();
    EXPECT_EQ(Shown(), std::tuple(10, 20, true, true, 1));
    EXPECT_EQ(state.settings.NotifyMonitor, "\\\\.\\D2");
    EXPECT_EQ(state.apps.AppTable, (std::vector<std::string>{"r0", "r1"}));
    EXPECT_TRUE(files.iconsWritten.empty());
}

// A file of an older version has no such key: the option is off.
TEST_F(SettingsTest, TheAwaySummaryIsOffUnlessItsKeySaysOn) {
    for (const auto& [value, on] : {std::pair<const char*, bool>{nullptr, false}, {"0", false}, {"1", true},
                                    {"TRUE", true}, {"maybe", false}}) {
        fs.files[kIni] = {{"settings", {{"blink", "1"}}}, {"applist", {{"app0", "r0"}}}};
        if (value) fs.files[kIni][0].second.push_back({"awaysummary", value});
        Load();
        EXPECT_EQ(state.settings.AwaySummary, on) << (value ? value : "missing");
    }
}

// Keys match without regard to case and the first of two equal keys counts,
// as a key's own read finds them; the list is read in one pass.
TEST_F(SettingsTest, TheListIsReadWholeWithTheProfileRulesForKeys) {
    fs.files[kIni] = {{"applist", {{"APP0", "r0"}, {"app1", "first"}, {"App1", "second"}, {"app2", "r2"}}}};
    Load();
    EXPECT_EQ(state.apps.AppTable, (std::vector<std::string>{"r0", "first", "r2"}));
}

// A file in a form the profile calls cannot read (UTF-16 without its mark)
// must not be buried under a first start's writes.
TEST_F(SettingsTest, AFileThatCannotBeReadIsKeptAsideOnceAndNeverOverwritten) {
    files.sizes[kIni] = 4096;  // there, but no section can be read from it
    Load();
    EXPECT_EQ(files.sizes.count(kIni + ".bak"), 1u);
    ASSERT_EQ(files.log.size(), 1u);
    EXPECT_NE(files.log[0].find(kIni + ".bak"), std::string::npos);
    EXPECT_EQ(fs.Get(kIni, "applist", "app0"), kMailRecord);  // a fresh file beside it

    // A second bad start finds the copy aside taken: both stay as they are.
    fs.files.clear();
    files.sizes[kIni] = 4096;
    Load();
    EXPECT_EQ(files.sizes.count(kIni), 1u);
    EXPECT_EQ(files.log.size(), 2u);
    EXPECT_TRUE(fs.files.empty());                                       // nothing written into it
    EXPECT_EQ(state.apps.AppTable, std::vector<std::string>{kMailRecord});  // the run still has its record

    // Nor later in the same process: not by the end of a run, nor by OK.
    state.host.IsSaverRunning = true;
    dirty.dirty = true;
    const SaveReport onExit = SaveAll(true, state, store, dirty, {});
    EXPECT_EQ(onExit.outcome, SaveOutcome::Failed);
    EXPECT_EQ(onExit.unsaved, std::vector<std::string>{"app0"});
    state.host.IsConfigMode = true;
    dirty.dirty = true;
    const SaveReport full = SaveAll(false, state, store, dirty, {});
    EXPECT_EQ(full.outcome, SaveOutcome::Failed);
    EXPECT_TRUE(full.failure.fileUnread);
    EXPECT_NE(SaveFailedText(kIni, full.failure).find("Move the file away"), std::string::npos);
    EXPECT_TRUE(dirty.dirty);
    EXPECT_TRUE(fs.files.empty());
}

TEST_F(SettingsTest, ValuesThatDoNotConvertFallBackToTheirDefaults) {
    for (const auto& [position, orientation] : {std::pair{"300", "sideways"}, {"12;x", "70000"}}) {
        fs.files[kIni] = {
            {"settings",
             {{"position", position}, {"blink", "sometimes"}, {"enlarged", "yes"}, {"orientation", orientation}}},
            {"applist", {{"app0", "r0"}}}};
        Load();
        EXPECT_EQ(Shown(), kDefaults);
    }
}

// ---- saving ---------------------------------------------------------------

class SaveTest : public SettingsTest {
protected:
    DialogChoices choices;
    void SetUp() override {
        state.host.IsConfigMode = true;
        state.settings.NotifyX = 100;
        state.settings.NotifyY = 200;
        state.apps.AppTable = {"r0", "", "r2"};
        dirty.dirty = true;
    }
    bool Save(bool onExit = false) { return SaveAll(onExit, state, store, dirty, choices).outcome == SaveOutcome::Saved; }
};

TEST_F(SaveTest, WritesOnlyWhenChangedOrToggledAndRunningOrConfiguring) {
    dirty.dirty = false;
    EXPECT_FALSE(Save());
    EXPECT_TRUE(fs.files.empty());
    state.host.IsConfigMode = false;
    dirty.dirty = true;
    EXPECT_FALSE(Save(true));
    EXPECT_TRUE(fs.files.empty());
    EXPECT_TRUE(dirty.dirty);  // the guard comes before the flag is cleared
    state.host.IsConfigMode = true;
    dirty.dirty = false;
    state.apps.AppListChanged = true;  // a toggled check box forces the save
    EXPECT_TRUE(Save());
    EXPECT_FALSE(dirty.dirty);
    EXPECT_EQ(fs.Get(kIni, "settings", "position"), "100;200");
}

TEST_F(SaveTest, FullSaveWritesEveryKeyAndRenumbersRecordsWithoutGaps) {
    choices.blinkChecked = true;
    choices.horizontal = true;
    choices.awaySummaryChecked = true;
    choices.saver = DialogChoices::Saver::Path;
    choices.saverPath = "C:\\Windows\\system32\\Aurora.scr";
    state.settings.NotifyMonitor = "\\\\.\\DISPLAY2";
    fs.files[kIni] = {{"settings", {{"unknown", "dropped"}}}, {"applist", {{"app2", "stale"}}}};
    fs.WriteString(store.TemporaryPath(), "applist", "app7", "ghost");  // left by an interrupted save
    ASSERT_TRUE(Save());
    EXPECT_FALSE(dirty.dirty);
    const ProfileFile want = {
        {"settings",
         {{"position", "100;200"},
          {"blink", "1"},
          {"enlarged", "0"},
          {"orientation", "1"},
          {"awaysummary", "1"},
          {"monitor", "\\\\.\\DISPLAY2"},
          {"scrfile", "C:\\Windows\\system32\\Aurora.scr"}}},
        {"applist", {{"app0", "r0"}, {"app1", "r2"}}},
    };
    EXPECT_EQ(fs.files[kIni], want);
    EXPECT_EQ(state.host.ScreenSaverPath, "C:\\Windows\\system32\\Aurora.scr");
    EXPECT_EQ(fs.files.count(store.TemporaryPath()), 0u);
}

// A try hands its run what a full save would write now, with the saver
// chosen in the list, and changes nothing in the program's own state.
TEST_F(SaveTest, ATryTakesTheDialogsChoicesAndTheSaverSelectedInTheList) {
    state.host.ScreenSaverPath = "C:\\saved.scr";
    choices.enlargeChecked = true;
    choices.awaySummaryChecked = true;
    for (const auto saver : {DialogChoices::Saver::NotSelected, DialogChoices::Saver::NoSaver}) {
        choices.saver = saver;
        EXPECT_FALSE(CanTry(choices));
        EXPECT_FALSE(TryEntries(state, choices).has_value());
    }
    choices.saver = DialogChoices::Saver::Path;
    choices.saverPath = "C:\\chosen.scr";
    ASSERT_TRUE(CanTry(choices));
    const std::optional<std::vector<IniEntry>> entries = TryEntries(state, choices);
    ASSERT_TRUE(entries.has_value());
    std::vector<std::string> lines;
    for (const IniEntry& e : *entries) lines.push_back(e.section + " " + e.key + "=" + e.value);
    EXPECT_EQ(lines, (std::vector<std::string>{"settings position=100;200", "settings blink=0", "settings enlarged=1",
                                               "settings orientation=2", "settings awaysummary=1",
                                               "settings scrfile=C:\\chosen.scr", "applist app0=r0",
                                               "applist app1=r2"}));
    EXPECT_EQ(state.host.ScreenSaverPath, "C:\\saved.scr");
    EXPECT_TRUE(dirty.dirty);
    EXPECT_TRUE(fs.files.empty());
}

TEST_F(SaveTest, SaverChoiceClearedOrKept) {
    state.host.ScreenSaverPath = "C:\\old.scr";
    choices.saver = DialogChoices::Saver::NoSaver;
    Save();
    EXPECT_EQ(state.host.ScreenSaverPath, "");
    EXPECT_EQ(fs.Get(kIni, "settings", "scrfile"), "<missing>");
    EXPECT_EQ(fs.Get(kIni, "settings", "orientation"), "2");
    state.host.ScreenSaverPath = "C:\\kept.scr";
    choices.saver = DialogChoices::Saver::NotSelected;
    dirty.dirty = true;
    Save();
    EXPECT_EQ(state.host.ScreenSaverPath, "C:\\kept.scr");
    EXPECT_EQ(fs.Get(kIni, "settings", "scrfile"), "C:\\kept.scr");
}

// Records past the table's limit are never watched but never lost, and the
// end of a run writes back only what changed: a long list costs no pass per key.
TEST_F(SaveTest, ALongListKeepsEveryRecordAndARunWritesOnlyWhatChanged) {
    constexpr int kRecords = kMaxAppCount + 5;
    // Appended, not "r" + ...: GCC 12 warns wrongly about that form here.
    const auto named = [](const char* prefix, int n) { return std::string(prefix).append(std::to_string(n)); };
    std::vector<std::pair<std::string, std::string>> list;
    for (int n = 0; n < kRecords; ++n) list.push_back({named("app", n), named("r", n)});
    fs.files[kIni] = {{"applist", list}};
    Load();
    EXPECT_EQ(state.apps.AppCount(), kMaxAppCount);
    EXPECT_EQ(state.apps.Beyond.front(), named("r", kMaxAppCount));

    state.host.IsConfigMode = false;
    state.host.IsSaverRunning = true;
    const int before = fs.operations;
    ASSERT_TRUE(Save(true));
    EXPECT_EQ(fs.operations, before);  // the file holds the list already: nothing written
    state.apps.AppTable[7] = "changed";                    // by the run
    fs.files[kIni][0].second[9].second = "edited meanwhile";  // by someone else
    dirty.dirty = true;
    ASSERT_TRUE(Save(true));
    EXPECT_EQ(fs.operations, before + 2);
    EXPECT_EQ(fs.Get(kIni, "applist", "app7"), "changed");
    EXPECT_EQ(fs.Get(kIni, "applist", "app9"), "r9");  // the list goes back as the program has it

    state.host.IsConfigMode = true;
    dirty.dirty = true;
    ASSERT_TRUE(Save());  // a full save keeps the records past the limit, after the table
    const auto& saved = fs.files[kIni][1].second;
    ASSERT_EQ(saved.size(), static_cast<size_t>(kRecords));
    EXPECT_EQ(saved.back(), (std::pair{named("app", kRecords - 1), named("r", kRecords - 1)}));
}

TEST_F(SaveTest, ExitSaveWritesOnlyTheListIntoTheExistingFile) {
    state.host.IsConfigMode = false;
    state.host.IsSaverRunning = true;
    fs.files[kIni] = {{"settings", {{"position", "1;2"}, {"custom", "kept"}}}};
    ASSERT_TRUE(Save(true));
    EXPECT_EQ(fs.files[kIni], (ProfileFile{{"settings", {{"position", "1;2"}, {"custom", "kept"}}},
                                           {"applist", {{"app0", "r0"}, {"app1", "r2"}}}}));
}

// Text beyond the ANSI code page survives every write: a file written whole
// is UTF-16 behind its mark; a per-key write keeps an ANSI file ANSI while
// its code page has the text, and turns it UTF-16, whole, first when not.
TEST_F(SaveTest, TextBeyondTheCodePageSurvivesWholeAndPerKeyWrites) {
    const std::string zoe = "1;0;1;Zo\xC3\xAB;;1;Wait for window;;Zo\xC3\xAB;";
    const std::string wide = "1;0;1;\xD0\x96\xE6\x97\xA5\xF0\x9F\x90\x9D;;1;Wait for window;;\xF0\x9F\x90\x9D;";
    const ProfileFile ansiFile = {{"settings", {{"position", "1;2"}}}, {"applist", {{"app0", zoe}}}};
    fs.files[kIni] = ansiFile;
    fs.ansiFiles.insert(kIni);
    state.host.IsConfigMode = false;
    state.host.IsSaverRunning = true;
    state.apps.AppTable = {zoe, "r1"};
    ASSERT_TRUE(Save(true));  // the code page has it: the file stays ANSI
    EXPECT_EQ(fs.ansiFiles.count(kIni), 1u);
    EXPECT_EQ(fs.Get(kIni, "applist", "app1"), "r1");

    state.apps.AppTable = {zoe, wide};
    dirty.dirty = true;
    ASSERT_TRUE(Save(true));  // it has not: UTF-16 first, with everything it held
    EXPECT_EQ(fs.ansiFiles.count(kIni), 0u);
    EXPECT_EQ(fs.files[kIni], (ProfileFile{{"settings", {{"position", "1;2"}}}, {"applist", {{"app0", zoe}, {"app1", wide}}}}));

    state.host.IsConfigMode = true;
    state.apps.AppTable = {wide};
    dirty.dirty = true;
    ASSERT_TRUE(Save());
    EXPECT_EQ(fs.wholeFileBytes.begin()->second.substr(0, 2), "\xFF\xFE");
    EXPECT_EQ(fs.Get(kIni, "applist", "app0"), wide);
    Load();
    EXPECT_EQ(state.apps.AppTable, std::vector<std::string>{wide});
}

// The end of a run tells what it could not write: a key whose text the
// file's code page lacks, when the file cannot turn UTF-16 first, is not
// written as "?"s; a folder that takes nothing fails every key.
TEST_F(SaveTest, AnExitSaveWritesNoKeyItCannotKeepWholeAndReportsEveryKeyNotWritten) {
    const std::string wide = "1;0;1;\xD0\x96;;1;Wait for window;;\xD0\x96;";
    const ProfileFile ansiFile = {{"applist", {{"app0", "r0"}, {"app1", "old"}}}};
    fs.files[kIni] = ansiFile;
    fs.ansiFiles.insert(kIni);
    fs.targetLocked = true;  // the file cannot be replaced by its UTF-16 form
    state.host.IsConfigMode = false;
    state.host.IsSaverRunning = true;
    state.apps.AppTable = {"r0", wide, "r2"};
    const SaveReport report = SaveAll(true, state, store, dirty, choices);
    EXPECT_EQ(report.outcome, SaveOutcome::Failed);
    EXPECT_EQ(report.unsaved, std::vector<std::string>{"app1"});
    EXPECT_EQ(report.failure.reason, "Access is denied.");
    EXPECT_EQ(fs.Get(kIni, "applist", "app1"), "old");
    EXPECT_EQ(fs.Get(kIni, "applist", "app2"), "r2");  // the rest is written
    EXPECT_EQ(fs.ansiFiles.count(kIni), 1u);

    fs.folderMissing = true;
    state.apps.AppTable = {"n0", "n1"};
    dirty.dirty = true;
    const SaveReport none = SaveAll(true, state, store, dirty, choices);
    EXPECT_EQ(none.outcome, SaveOutcome::Failed);
    EXPECT_EQ(none.unsaved, (std::vector<std::string>{"app0", "app1"}));
    const std::string line = UnsavedOnExitText(kIni, none);
    for (const std::string& part : {kIni, std::string("app0, app1"), none.failure.reason})
        EXPECT_NE(line.find(part), std::string::npos) << line;
}

// A file held open by another program or made read-only refuses the save:
// the user hears why, nothing is lost, and saving again later works.
TEST_F(SaveTest, ARefusedSaveKeepsTheOldFileAndTheChangesAndSavesOnceTheCauseIsGone) {
    const ProfileFile oldFile = {{"settings", {{"position", "1;2"}}}, {"applist", {{"app0", "old0"}}}};
    fs.files[kIni] = oldFile;
    fs.targetLocked = true;
    const SaveReport refused = SaveAll(false, state, store, dirty, choices);
    EXPECT_EQ(refused.outcome, SaveOutcome::Failed);
    EXPECT_EQ(refused.failure.reason, "Access is denied.");
    EXPECT_TRUE(dirty.dirty);  // "Apply" stays enabled
    EXPECT_EQ(fs.files[kIni], oldFile);
    EXPECT_EQ(fs.files.count(store.TemporaryPath()), 0u);
    const std::string text = SaveFailedText(kIni, refused.failure);
    EXPECT_NE(text.find(kIni), std::string::npos);
    EXPECT_NE(text.find("Access is denied."), std::string::npos);

    fs.targetLocked = false;
    EXPECT_TRUE(Save());
    EXPECT_FALSE(dirty.dirty);
    EXPECT_EQ(fs.Get(kIni, "applist", "app1"), "r2");
}

// Each process writes its own new file; one left behind by a save that never
// finished neither lends its keys nor stays forever.
TEST_F(SaveTest, NewFilesAreOwnedPerProcessAndAbandonedOnesAreCleanedUp) {
    ProfileStore other(fs, kIni, "4242");
    EXPECT_NE(other.TemporaryPath(), store.TemporaryPath());
    const std::string abandoned = kIni + ".new";  // an older version's name
    fs.WriteString(abandoned, "applist", "app9", "ghost");
    fs.WriteString(other.TemporaryPath(), "applist", "app8", "busy");  // another dialog, saving right now
    fs.ageMs[abandoned] = kAbandonedSaveMs + 1;
    ASSERT_TRUE(Save());
    EXPECT_EQ(fs.files.count(abandoned), 0u);
    EXPECT_EQ(fs.files.count(other.TemporaryPath()), 1u);
    EXPECT_EQ(fs.Get(kIni, "applist", "app8"), "<missing>");
    EXPECT_EQ(fs.Get(kIni, "applist", "app9"), "<missing>");
}

// A power cut at any step of a full save leaves the old or the new file, whole;
// a save that fails outright keeps the old one.
TEST_F(SaveTest, InterruptedOrFailedFullSaveLeavesTheOldOrTheNewFile) {
    const ProfileFile oldFile = {{"settings", {{"position", "1;2"}}},
                                 {"applist", {{"app0", "old0"}, {"app1", "old1"}, {"app2", "old2"}}}};
    fs.files[kIni] = oldFile;
    const auto saveOnACopy = [this](int cutAfter) {
        FakeProfileFs trial = fs;
        ProfileStore trialStore(trial, kIni);
        RuntimeState trialState = state;
        FakeDirty trialDirty = dirty;
        if (cutAfter >= 0) trial.cutAfter = trial.operations + cutAfter;
        try {
            SaveAll(false, trialState, trialStore, trialDirty, choices);
        } catch (const vltest::PowerCut&) {
        }
        return trial;
    };
    const FakeProfileFs finished = saveOnACopy(-1);
    const ProfileFile newFile = finished.files.at(kIni);
    const int steps = finished.operations - fs.operations;
    ASSERT_GT(steps, 3);
    for (int cut = 0; cut <= steps; ++cut) {
        const ProfileFile now = saveOnACopy(cut).files.at(kIni);
        EXPECT_TRUE(cut < steps ? now == oldFile || now == newFile : now == newFile) << "cut after " << cut;
    }
    fs.folderMissing = true;
    Save();
    EXPECT_EQ(fs.files[kIni], oldFile);
}

}  // namespace
