#include "dialog/saver_list.h"

#include "core/text.h"
#include "core/utf.h"

namespace vl {
std::string SaverDisplayName(const std::string& fileName, const std::optional<std::string>& description) {
    if (description && !description->empty()) return Utf8Prefix(*description, kMaxSaverNameLength);
    return fileName.substr(0, fileName.find('.'));
}

SaverList BuildSaverList(SaverFolderScan& scan, const std::string& windowsFolder, const std::string& systemFolder,
                         const std::string& currentSaver, std::set<std::string>& names) {
    SaverList list;
    for (int pass = 0; pass < 2; ++pass) {
        const std::string& folder = pass == 0 ? windowsFolder : systemFolder;
        for (const std::string& file : scan.SaverFiles(folder)) {
            std::string path = folder;
            path.push_back('\\');
            path.append(file);
            if (scan.IsThisProgram(path)) continue;
            std::string name = SaverDisplayName(file, scan.Description(path));
            if (pass == 1 && names.count(name)) continue;
            // A second Windows-folder saver of the same name is listed too,
            // under its own path: its own settings tell it apart.
            if (pass == 0) names.insert(name);
            if (EqualsIgnoreCase(path, currentSaver)) list.currentIndex = static_cast<int>(list.entries.size());
            list.entries.push_back({std::move(name), std::move(path)});
        }
    }
    return list;
}

}  // namespace vl
