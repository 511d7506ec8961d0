// The file-open dialog the list editor and the icon chooser share. What one
// of them sets (folder, file name, filter) stays set for the next use.
#pragma once

#include "platform/win32_api.h"

#include <string>

namespace vl {

class CommonDialog {
public:
    enum class Outcome { kChosen, kCancelled, kFailed };

    // On kChosen, FileName holds the chosen file; otherwise it is unchanged.
    Outcome ShowOpen(HWND owner);

    std::string InitDir;   // empty: the dialog's own choice
    std::string FileName;  // also the initial pattern, such as "*.ico"
    std::string Filter;    // "Name|pattern"
};

}  // namespace vl
