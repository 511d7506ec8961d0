// UiProbe `resources`: what a process holds, asked from outside it, for the
// soak benchmark. Each count says whether the system answered: Wine answers
// some of these calls with a stub.
#include "ui_probe.h"
// psapi.h needs windows.h first.
#include <psapi.h>

namespace probe {
namespace {

struct WindowCount {
    DWORD pid;
    long long count;
};

BOOL CALLBACK CountChild(HWND hwnd, LPARAM lp) {
    auto* c = reinterpret_cast<WindowCount*>(lp);
    if (OwnerPid(hwnd) == c->pid) ++c->count;
    return TRUE;
}

BOOL CALLBACK CountTopLevel(HWND hwnd, LPARAM lp) {
    CountChild(hwnd, lp);
    EnumChildWindows(hwnd, &CountChild, lp);  // every descendant, not only direct children
    return TRUE;
}

// A GUI count and the error that came with it; 0 with an error means "not known".
void AddGuiCount(Record& rec, const char* key, HANDLE process, DWORD flags) {
    SetLastError(ERROR_SUCCESS);
    const DWORD n = GetGuiResources(process, flags);
    rec.Num(key, n).Num((std::string(key) + "_error").c_str(), n == 0 ? GetLastError() : 0);
}

}  // namespace

int CmdResources(const Args& a) {
    long long pid = 0;
    if (a.size() != 1 || !ParseInt(a[0], pid)) return kUsage;
    vl::UniqueKernelHandle process(
        OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, static_cast<DWORD>(pid)));
    if (!process.valid()) return Fail(kNotFound, helpers::Format("no process %lld", pid));

    Record rec;
    rec.Num("pid", pid);
    DWORD handles = 0;
    SetLastError(ERROR_SUCCESS);
    const bool counted = GetProcessHandleCount(process.get(), &handles) != FALSE;
    rec.Num("handles", handles).Num("handles_error", counted ? 0 : GetLastError());
    AddGuiCount(rec, "gdi", process.get(), GR_GDIOBJECTS);
    AddGuiCount(rec, "user", process.get(), GR_USEROBJECTS);

    WindowCount windows{static_cast<DWORD>(pid), 0};
    EnumWindows(&CountTopLevel, reinterpret_cast<LPARAM>(&windows));
    rec.Num("windows", windows.count);

    PROCESS_MEMORY_COUNTERS memory{};
    memory.cb = sizeof memory;
    if (GetProcessMemoryInfo(process.get(), &memory, sizeof memory))
        rec.Num("working_set_kib", static_cast<long long>(memory.WorkingSetSize / 1024))
            .Num("pagefile_kib", static_cast<long long>(memory.PagefileUsage / 1024));
    rec.Print();
    return kOk;
}

}  // namespace probe
