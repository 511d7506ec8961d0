#include "dialog/saver_list.h"
#include "dialog/version_info.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

using namespace vl;

namespace {

class FakeScan : public SaverFolderScan {
public:
    std::map<std::string, std::vector<std::string>> folders;
    std::map<std::string, std::string> descriptions;  // path -> string resource 1
    std::set<std::string> ourselves;                  // this program, or copies of it
    bool IsThisProgram(const std::string& path) override { return ourselves.count(path) > 0; }
    std::vector<std::string> SaverFiles(const std::string& folder) override { return folders[folder]; }
    std::optional<std::string> Description(const std::string& path) override {
        const auto it = descriptions.find(path);
        return it == descriptions.end() ? std::nullopt : std::optional(it->second);
    }
};

std::vector<std::string> Names(const SaverList& list) {
    std::vector<std::string> names;
    for (const SaverEntry& e : list.entries) names.push_back(e.name);
    return names;
}

TEST(SaverListing, SystemFolderSaversWithAWindowsFolderNameAreLeftOutAndNamesAreCut) {
    FakeScan scan;
    scan.folders["C:\\W"] = {"aurora.scr", "plain.saver.scr", "second.scr"};
    scan.folders["C:\\W\\S"] = {"aurora2.scr", "lower.scr", "rib.scr", "Rib2.scr"};
    // An empty description gives way to the file name up to its first dot.
    scan.descriptions = {{"C:\\W\\aurora.scr", "Aurora"},   {"C:\\W\\second.scr", "Aurora"},
                         {"C:\\W\\plain.saver.scr", ""},    {"C:\\W\\S\\aurora2.scr", "Aurora"},
                         {"C:\\W\\S\\lower.scr", "aurora"}, {"C:\\W\\S\\rib.scr", "Ribbons"},
                         {"C:\\W\\S\\Rib2.scr", "Ribbons"}};
    std::set<std::string> names;
    SaverList list = BuildSaverList(scan, {"C:\\W", "C:\\W\\S", ""}, "c:\\w\\s\\RIB2.SCR", names);
    // A second Windows-folder saver of the same name is listed too; names differing in case are different.
    EXPECT_EQ(Names(list), (std::vector<std::string>{"Aurora", "plain", "Aurora", "aurora", "Ribbons", "Ribbons"}));
    EXPECT_EQ(list.entries[3].path, "C:\\W\\S\\lower.scr");
    EXPECT_EQ(names, (std::set<std::string>{"Aurora", "plain"}));  // only Windows-folder names
    EXPECT_EQ(list.currentIndex, 5);                               // found without regard to case
    names.clear();
    EXPECT_EQ(BuildSaverList(scan, {"C:\\W", "C:\\W\\S", ""}, "C:\\gone.scr", names).currentIndex, -1);
    EXPECT_EQ(SaverDisplayName("x.scr", std::string(300, 'n')).size(), 199u);
}

// Chosen as its own saver the program would start itself in a chain: it is
// never listed, under any name or in either folder, even as the current saver.
TEST(SaverListing, ThisProgramIsNeverListed) {
    FakeScan scan;
    scan.folders["C:\\W"] = {"Vigilumen.scr", "aurora.scr"};
    scan.folders["C:\\W\\S"] = {"renamed.scr"};
    scan.descriptions = {{"C:\\W\\Vigilumen.scr", "Corvane Vigilumen"}, {"C:\\W\\aurora.scr", "Aurora"}};
    scan.ourselves = {"C:\\W\\Vigilumen.scr", "C:\\W\\S\\renamed.scr"};
    std::set<std::string> names;
    const SaverList list = BuildSaverList(scan, {"C:\\W", "C:\\W\\S", ""}, "C:\\W\\S\\renamed.scr", names);
    EXPECT_EQ(Names(list), std::vector<std::string>{"Aurora"});
    EXPECT_EQ(names, std::set<std::string>{"Aurora"});
    EXPECT_EQ(list.currentIndex, -1);
}

// A 32-bit program on 64-bit Windows lists the system folder as Windows
// does: the real files (read through the alias), then the redirected 32-bit
// ones without a real twin, all under the path Windows stores.
TEST(SaverListing, ThroughTheNativeAliasEachSystemFileIsListedOnceUnderItsSystemPath) {
    FakeScan scan;
    const SaverFolders wow64{"C:\\W", "C:\\W\\System32", "C:\\W\\Sysnative"};
    scan.folders["C:\\W"] = {"aurora.scr"};
    scan.folders["C:\\W\\Sysnative"] = {"Only64.scr", "Both.scr", "own.scr", "Aurora64.scr"};
    scan.folders["C:\\W\\System32"] = {"BOTH.SCR", "only32.scr", "own.scr", "aurora64.scr"};
    scan.descriptions = {{"C:\\W\\aurora.scr", "Aurora"},
                         {"C:\\W\\Sysnative\\Both.scr", "Both, 64-bit"},
                         {"C:\\W\\System32\\BOTH.SCR", "Both, 32-bit"},
                         {"C:\\W\\Sysnative\\Aurora64.scr", "Aurora"},
                         {"C:\\W\\System32\\aurora64.scr", "Aurora, 32-bit"}};
    // A 64-bit copy of this program hides its 32-bit twin all the same.
    scan.ourselves = {"C:\\W\\Sysnative\\own.scr"};
    std::set<std::string> names;
    const SaverList list = BuildSaverList(scan, wow64, "c:\\w\\system32\\ONLY64.scr", names);
    EXPECT_EQ(Names(list), (std::vector<std::string>{"Aurora", "Only64", "Both, 64-bit", "only32"}));
    std::vector<std::string> paths;
    for (const SaverEntry& e : list.entries) paths.push_back(e.path);
    EXPECT_EQ(paths, (std::vector<std::string>{"C:\\W\\aurora.scr", "C:\\W\\System32\\Only64.scr",
                                               "C:\\W\\System32\\Both.scr", "C:\\W\\System32\\only32.scr"}));
    EXPECT_EQ(list.currentIndex, 1);
}

TEST(SaverLaunch, OnlyPathsInsideTheSystemFolderGoThroughTheNativeAlias) {
    const SaverFolders wow64{"C:\\Windows", "C:\\Windows\\system32", "C:\\Windows\\Sysnative"};
    EXPECT_EQ(NativeAlias("C:\\WINDOWS\\System32\\Ribbons.scr", wow64), "C:\\Windows\\Sysnative\\Ribbons.scr");
    EXPECT_EQ(NativeAlias("c:\\windows\\system32\\sub\\x.scr", wow64), "C:\\Windows\\Sysnative\\sub\\x.scr");
    const char* const elsewhere[] = {"C:\\Windows\\Ribbons.scr",         "C:\\Windows\\system32x\\a.scr",
                                     "C:\\Windows\\system32\\",          "C:\\Windows\\system32",
                                     "C:\\Windows\\SysWOW64\\a.scr",     "D:\\Windows\\system32\\a.scr",
                                     "\"C:\\Windows\\system32\\a.scr\"", ""};
    for (const char* path : elsewhere) EXPECT_EQ(NativeAlias(path, wow64), "") << path;
    // A 64-bit program, or 32-bit Windows: no alias, every path as it is.
    EXPECT_EQ(NativeAlias("C:\\Windows\\system32\\Ribbons.scr", {"C:\\Windows", "C:\\Windows\\system32", ""}), "");
}

TEST(VersionResource, FixedInfoGivesTheVersionLine) {
    std::string resource(40, '\0');
    const unsigned char fixed[] = {0xBD, 0x04, 0xEF, 0xFE, 0, 0, 1, 0,  // signature, structure version
                                   2,    0,    1,    0,                 // file version MS: 1.2
                                   0,    0,    3,    0};                // file version LS: 3.0
    resource += std::string(reinterpret_cast<const char*>(fixed), sizeof fixed);
    auto v = ParseFileVersion(resource);
    ASSERT_TRUE(v);
    EXPECT_EQ(VersionLine(*v), "Version 1.2.3");
    EXPECT_FALSE(ParseFileVersion(std::string(64, 'x')));
}

}  // namespace
