#include "dialog/saver_list.h"

#include "core/text.h"
#include "core/utf.h"

namespace vl {
namespace {

std::string InFolder(const std::string& folder, const std::string& file) {
    std::string path = folder;
    path.push_back('\\');
    path.append(file);
    return path;
}

}  // namespace

std::string SaverDisplayName(const std::string& fileName, const std::optional<std::string>& description) {
    if (description && !description->empty()) return Utf8Prefix(*description, kMaxSaverNameLength);
    return fileName.substr(0, fileName.find('.'));
}

SaverList BuildSaverList(SaverFolderScan& scan, const SaverFolders& folders, const std::string& currentSaver,
                         std::set<std::string>& names) {
    enum Pass { kWindows, kNative, kSystem };
    SaverList list;
    std::set<std::string> nativeFiles;  // lower case
    for (const Pass pass : {kWindows, kNative, kSystem}) {
        if (pass == kNative && folders.native.empty()) continue;
        const std::string& listed = pass == kWindows ? folders.windows : folders.system;
        const std::string& folder = pass == kNative ? folders.native : listed;
        for (const std::string& file : scan.SaverFiles(folder)) {
            // Listed or not, a real file hides its redirected twin: the stored
            // path would start the real one.
            if (pass == kNative) nativeFiles.insert(Lowered(file));
            if (pass == kSystem && nativeFiles.count(Lowered(file))) continue;
            const std::string source = InFolder(folder, file);
            if (scan.IsThisProgram(source)) continue;
            std::string name = SaverDisplayName(file, scan.Description(source));
            if (pass != kWindows && names.count(name)) continue;
            // A second Windows-folder saver of the same name is listed too,
            // under its own path: its own settings tell it apart.
            if (pass == kWindows) names.insert(name);
            std::string path = InFolder(listed, file);
            if (EqualsIgnoreCase(path, currentSaver)) list.currentIndex = static_cast<int>(list.entries.size());
            list.entries.push_back({std::move(name), std::move(path)});
        }
    }
    return list;
}

}  // namespace vl
