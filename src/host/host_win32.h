// The operating-system side of saver hosting: starting the saver, listing
// processes, the probe point, the diagnostic log.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "host/saver_watch.h"
#include "platform/win32_handles.h"

namespace vl {

// Starts the saver minimized with focus, from its own folder. Errors are
// ignored by the caller: an empty result just means nothing started.
UniqueProcessInformation StartSaver(const std::string& saverPath, std::string_view arguments);

std::optional<std::vector<ProcessEntry>> SnapshotAllProcesses();

// Appends to "c:\log.txt"; false when the file cannot be written.
bool AppendDiagnosticLog(std::string_view text);

// The process owning the window under screen point (1,1); 0 when none.
std::uint32_t ProbePointOwnerProcess();

bool IsProcessIdAlive(std::uint32_t pid);

// When a process was created, in FILETIME units; nothing when it cannot be
// asked (gone, or not ours to query).
std::optional<std::uint64_t> ProcessCreationTime(HANDLE process);
std::optional<std::uint64_t> ProcessIdCreationTime(std::uint32_t pid);

}  // namespace vl
