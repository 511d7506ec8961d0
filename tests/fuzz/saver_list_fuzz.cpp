// The saver chooser over folders of arbitrary file names and descriptions:
// every file is listed under its own path unless its name is taken by a
// Windows-folder saver or it is this program, names fit the list, and the
// current saver is found whatever its letter case.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cctype>
#include <map>

#include "core/text.h"
#include "core/utf.h"
#include "dialog/saver_list.h"
#include "fuzz_check.h"

namespace {

struct SaverFile {
    std::string name;
    std::optional<std::string> description;
    bool thisProgram = false;
};

class FakeScan : public vl::SaverFolderScan {
public:
    std::vector<SaverFile> folders[2];
    std::map<std::string, std::optional<std::string>> descriptions;  // by full path, the last one given
    std::set<std::string> thisProgram;                               // full paths
    int scans = 0;

    std::vector<std::string> SaverFiles(const std::string&) override {
        std::vector<std::string> names;
        if (scans < 2)
            for (const SaverFile& f : folders[scans]) names.push_back(f.name);
        ++scans;
        return names;
    }
    std::optional<std::string> Description(const std::string& path) override {
        const auto found = descriptions.find(path);
        return found == descriptions.end() ? std::nullopt : found->second;
    }
    bool IsThisProgram(const std::string& path) override { return thisProgram.count(path) > 0; }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size) {
    FuzzedDataProvider in(data, size);
    const std::string folder[2] = {in.ConsumeRandomLengthString(64), in.ConsumeRandomLengthString(64)};
    FakeScan scan;
    std::set<std::string> names;
    for (int n = in.ConsumeIntegralInRange(0, 3); n > 0; --n) names.insert(in.ConsumeRandomLengthString(32));
    const std::set<std::string> namesBefore = names;
    for (int pass = 0; pass < 2; ++pass) {
        for (int n = in.ConsumeIntegralInRange(0, 12); n > 0; --n) {
            SaverFile f{in.ConsumeRandomLengthString(32), std::nullopt};
            if (in.ConsumeBool()) f.description = in.ConsumeRandomLengthString(300);
            scan.descriptions[folder[pass] + "\\" + f.name] = f.description;
            if (in.ConsumeIntegralInRange(0, 7) == 0) scan.thisProgram.insert(folder[pass] + "\\" + f.name);
            scan.folders[pass].push_back(std::move(f));
        }
    }
    std::string current = in.ConsumeRandomLengthString(100);
    if (in.ConsumeBool() && !scan.folders[1].empty()) {
        // Often the current saver is one of the files, in another letter case.
        current = folder[1] + "\\" + scan.folders[1].back().name;
        for (char& c : current) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }

    // Without the native alias (the alias's own rules are unit tests): the
    // folders as they always were.
    const vl::SaverList list = vl::BuildSaverList(scan, {folder[0], folder[1], ""}, current, names);
    FUZZ_EXPECT(scan.scans == 2);

    // Walk the folders as the rule should, entry by entry.
    size_t e = 0;
    std::set<std::string> windowsNames;
    int lastCurrent = -1;
    for (int pass = 0; pass < 2; ++pass) {
        for (const SaverFile& f : scan.folders[pass]) {
            const std::string path = folder[pass] + "\\" + f.name;
            if (scan.thisProgram.count(path)) continue;
            const std::string name = vl::SaverDisplayName(f.name, scan.descriptions[path]);
            // The list's limit counts UTF-16 units, as Windows counts a text's length.
            FUZZ_EXPECT(vl::Utf16FromUtf8(name).size() <=
                        std::max(vl::kMaxSaverNameLength, vl::Utf16FromUtf8(f.name).size()));
            if (pass == 1 && (namesBefore.count(name) || windowsNames.count(name))) continue;
            if (pass == 0) windowsNames.insert(name);
            FUZZ_EXPECT(e < list.entries.size());
            FUZZ_EXPECT(list.entries[e].path == path && list.entries[e].name == name);
            if (vl::EqualsIgnoreCase(path, current)) lastCurrent = static_cast<int>(e);
            ++e;
        }
    }
    FUZZ_EXPECT(e == list.entries.size());
    FUZZ_EXPECT(list.currentIndex == lastCurrent);
    for (const std::string& n : windowsNames) FUZZ_EXPECT(names.count(n) == 1);
    FUZZ_EXPECT(names.size() == namesBefore.size() + [&] {
        size_t added = 0;
        for (const std::string& n : windowsNames) added += namesBefore.count(n) == 0;
        return added;
    }());
    return 0;
}
