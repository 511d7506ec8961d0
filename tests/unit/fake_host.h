// A scripted desktop for the hosting rules: processes, the window at (1,1),
// a clock, and a record of what the rules asked the program to do.
#pragma once

#include <set>
#include <string>
#include <vector>

#include "host/saver_watch.h"

namespace vltest {

using vl::ProcessEntry;

class FakeHost : public vl::HostPorts, public vl::RunControl {
public:
    std::vector<ProcessEntry> processes;
    bool snapshotFails = false;
    bool logWritable = true;
    std::string log;
    std::uint32_t owner = 0;
    std::set<std::uint32_t> alive;
    std::set<std::uint32_t> olderThanSaver;
    std::uint64_t now = 0;
    bool formVisible = false;
    std::vector<std::string> calls;

    std::optional<std::vector<ProcessEntry>> SnapshotProcesses() override {
        if (snapshotFails) return std::nullopt;
        return processes;
    }
    bool StartedAfterSaver(std::uint32_t pid) override { return olderThanSaver.count(pid) == 0; }
    bool AppendLog(std::string_view text) override {
        if (!logWritable) return false;
        log += text;
        return true;
    }
    std::uint32_t ProbePointOwner() override { return owner; }
    bool IsProcessAlive(std::uint32_t pid) override { return alive.count(pid) > 0; }
    std::uint64_t NowMs() override { return now; }
    bool MainFormVisible() override { return formVisible; }
    void SetWatchdogEnabled(bool enabled) override { calls.push_back(enabled ? "watchdog on" : "watchdog off"); }
    void KillFormTimer(std::uintptr_t id) override { calls.push_back("kill " + std::to_string(id)); }
    bool WindowExists(std::uintptr_t window) override { return window == 0x77; }
    void CheckAll() override { calls.push_back("check all"); }
    void FinishAll() override { calls.push_back("finish"); }
};

}  // namespace vltest
