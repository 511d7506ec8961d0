// UiProbe `resources`: what a process holds, asked from outside it, for the
// soak benchmark. Each count says whether the system answered: Wine answers
// some of these calls with a stub. The GDI objects are also counted in the
// process's own GDI handle table, which Wine keeps (as old Windows did) where
// the process environment block points, one 24-byte entry per handle whose
// type byte is 0 when free.
#include "ui_probe.h"
// psapi.h needs the Windows headers first: platform/win32_api.h, through ui_probe.h.
#include <psapi.h>
#include <tlhelp32.h>

#include <optional>
#include <vector>

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

#ifdef _WIN64
constexpr size_t kPebGdiHandleTable = 0xF8;
#else
constexpr size_t kPebGdiHandleTable = 0x94;
#endif
constexpr size_t kGdiEntrySize = 24;
constexpr size_t kGdiEntryType = 14;
constexpr size_t kGdiMaxHandles = 0x10000;

struct GdiTableCount {
    long long total = 0, dc = 0, region = 0, bitmap = 0, font = 0, brush = 0;
};

template <typename T>
bool ReadAt(HANDLE process, ULONG_PTR at, T& out) {
    SIZE_T got = 0;
    return at && ReadProcessMemory(process, reinterpret_cast<const void*>(at), &out, sizeof out, &got) &&
           got == sizeof out;
}

#ifndef _WIN64
// A 32-bit process under Wine on a 64-bit system keeps the table's address
// in its 64-bit process environment block, which the 32-bit one does not
// name: a thread's 32-bit TEB holds its 64-bit TEB's address where
// GdiBatchCount lies (0xF70), that TEB the 64-bit PEB's (0x60), and that
// PEB the table's (0xF8). All of them lie below 4 GB.
void* Wow64GdiTable(HANDLE process) {
    struct ThreadInformation {
        LONG exitStatus;
        void* teb;
        ULONG_PTR clientId[2];
        ULONG_PTR affinity;
        LONG priority, basePriority;
    };
    using QueryThreadFn = LONG(WINAPI*)(HANDLE, int, void*, ULONG, ULONG*);
    const auto query = reinterpret_cast<QueryThreadFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationThread")));
    const DWORD pid = GetProcessId(process);
    vl::UniqueSnapshot threads(CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    if (!query || !threads || !Thread32First(threads.get(), &entry)) return nullptr;
    do {
        if (entry.th32OwnerProcessID != pid) continue;
        vl::UniqueKernelHandle thread(OpenThread(THREAD_QUERY_INFORMATION, FALSE, entry.th32ThreadID));
        ThreadInformation info{};
        ULONG teb64 = 0;
        ULONG64 peb64 = 0, table = 0;
        if (thread && query(thread.get(), 0, &info, sizeof info, nullptr) == 0 &&
            ReadAt(process, reinterpret_cast<ULONG_PTR>(info.teb) + 0xF70, teb64) &&
            ReadAt(process, teb64 + 0x60, peb64) && peb64 < 0x100000000ull &&
            ReadAt(process, static_cast<ULONG_PTR>(peb64) + 0xF8, table) && table && table < 0x100000000ull)
            return reinterpret_cast<void*>(static_cast<ULONG_PTR>(table));
    } while (Thread32Next(threads.get(), &entry));
    return nullptr;
}
#endif

// Nothing when the table cannot be read.
std::optional<GdiTableCount> CountGdiTable(HANDLE process) {
    char* peb = static_cast<char*>(PebAddress(process));
    void* table = nullptr;
    SIZE_T got = 0;
    if (!peb || !ReadProcessMemory(process, peb + kPebGdiHandleTable, &table, sizeof table, &got)) return std::nullopt;
#ifndef _WIN64
    if (!table) table = Wow64GdiTable(process);
#endif
    if (!table) return std::nullopt;
    std::vector<unsigned char> entries(kGdiMaxHandles * kGdiEntrySize);
    if (!ReadProcessMemory(process, table, entries.data(), entries.size(), &got) || got != entries.size())
        return std::nullopt;
    GdiTableCount c;
    for (size_t i = 0; i < kGdiMaxHandles; ++i) {
        const unsigned char type = entries[i * kGdiEntrySize + kGdiEntryType] & 0x1F;
        if (type == 0) continue;
        ++c.total;
        switch (type) {
            case 0x01: ++c.dc; break;
            case 0x04: ++c.region; break;
            case 0x09: ++c.bitmap; break;
            case 0x0A: ++c.font; break;
            case 0x10: ++c.brush; break;  // pens too
            default: break;
        }
    }
    return c;
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
    if (const std::optional<GdiTableCount> gdi = CountGdiTable(process.get()))
        rec.Num("gdi_table", gdi->total)
            .Num("gdi_dc", gdi->dc)
            .Num("gdi_region", gdi->region)
            .Num("gdi_bitmap", gdi->bitmap)
            .Num("gdi_font", gdi->font)
            .Num("gdi_brush", gdi->brush);

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
