// The operating-system side of saver hosting: starting the saver, listing
// processes, the probe point, the diagnostic log.
#pragma once

#include "platform/win32_api.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "host/launch.h"
#include "host/saver_watch.h"
#include "platform/win32_handles.h"
#include "platform/win32_util.h"

namespace vl {

// The folders savers are chosen from, as this program sees them.
SaverFolders ThisSaverFolders();

// The real file a saver's path stands for, when the path names the system
// folder and the real one holds that file (see NativeAlias); empty
// otherwise, the path itself being the file.
std::string NativeSaverFile(const std::string& saverPath);

// CreateProcess for the saver's file (see NativeSaverFile), its command line
// naming the path as given, as Windows would; false when nothing started.
bool CreateSaverProcess(const std::string& saverPath, std::string_view arguments, WORD show,
                        PROCESS_INFORMATION& started);

// Starts the saver minimized with focus, from its own folder. Errors are
// ignored by the caller: an empty result just means nothing started.
UniqueProcessInformation StartSaver(const std::string& saverPath, std::string_view arguments);

std::optional<std::vector<ProcessEntry>> SnapshotAllProcesses();

// The process owning the window (for our own child windows, the process of
// the window they are placed in); 0 when none.
std::uint32_t WindowOwnerProcess(HWND window);

bool IsProcessIdAlive(std::uint32_t pid);

// Whether the file is this program: the very file, under any path, or a copy
// or another build of it, renamed or not (known by its version resource).
// Started as the saver, it would start itself again and again.
bool IsThisProgram(const std::string& path);

// When a process was created, in FILETIME units; nothing when it cannot be
// asked (gone, or not ours to query).
std::optional<std::uint64_t> ProcessCreationTime(HANDLE process);
std::optional<std::uint64_t> ProcessIdCreationTime(std::uint32_t pid);

// The started saver and the system around it, as the hosting rules see them.
class Win32Host final : public HostPorts {
public:
    // Starts the saver (see StartSaver); 0 when nothing started.
    std::uint32_t Start(const std::string& saverPath, std::string_view arguments);
    // The started process, to wait on; null when none or once it has ended.
    [[nodiscard]] HANDLE SaverProcess() const { return saver_.process.get(); }
    // Its handle was signalled: the caller keeps the handle until it has
    // reacted, so that the process id is not used again meanwhile.
    [[nodiscard]] UniqueKernelHandle TakeEndedSaver();

    std::optional<std::vector<ProcessEntry>> SnapshotProcesses() override { return SnapshotAllProcesses(); }
    bool StartedAfterSaver(std::uint32_t pid) override;
    bool AppendLog(std::string_view text) override { return AppendDiagnosticLog(text); }
    std::uint32_t ProbePointOwner() override;
    bool IsProcessAlive(std::uint32_t pid) override;
    std::uint64_t NowMs() override { return ::GetTickCount64(); }
    bool WindowExists(std::uintptr_t window) override { return ::IsWindow(reinterpret_cast<HWND>(window)) != FALSE; }

private:
    UniqueProcessInformation saver_;
    std::optional<std::uint64_t> saverCreatedAt_;  // kept: the handle is let go when the saver ends
    HWND probeWindow_ = nullptr;  // the last window found at (1,1), and its process
    std::uint32_t probeOwner_ = 0;
};

}  // namespace vl
