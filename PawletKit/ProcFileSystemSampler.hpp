#pragma once

#include "PawletKit/PSFallback.hpp"
#include "PawletKit/ProcessSampler.hpp"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace PawletKit {

// Samples the process table through /proc: a process's name comes from its command line, its CPU use
// from the growth of utime + stime between two samplings. Falls back to ps, for good, when /proc
// cannot be listed. A process seen before whose stat shows the same start, comm and argument area
// keeps the name read then, so a steady pass reads one small file per process.
class ProcFileSystemSampler final : public ProcessSampler {
public:
    struct Options {
        std::filesystem::path procRoot { "/proc" };
        PSFallback::Limits ps {};
        // Seconds on a clock that never jumps; rates are measured against it.
        std::function<double()> monotonicClock {};
    };

    ProcFileSystemSampler();
    explicit ProcFileSystemSampler(Options options);

    bool isAvailable() const override { return true; }
    std::vector<ProcessSample> sample(ProcessNames const& names) override;
    bool usedFallback() const { return m_usedFallback; }

    // The name matched against agent names: the program the command line runs (CommandLineProgram).
    static std::string processName(std::string_view commandLine, std::string_view comm);

private:
    struct Reading {
        uint64_t startTime { 0 };
        double cpuNanos { 0 };
        double at { 0 };
    };
    // A process of the last pass: what its stat showed when its command line was read, and the
    // name taken from it.
    struct Known {
        int32_t pid { 0 };
        uint64_t startTime { 0 };
        uint64_t argStart { 0 };
        uint64_t argEnd { 0 };
        bool kernelThread { false };
        std::string comm;
        std::string name;
    };

    Options m_options;
    std::map<int32_t, Reading> m_lastCPU;
    // By pid; the pass builds the next list in the second and swaps, so their storage is reused.
    std::vector<Known> m_known;
    std::vector<Known> m_nextKnown;
    std::vector<int32_t> m_pids;
    std::unique_ptr<char[]> m_buffer;
    double m_nanosPerTick { 1e7 };
    bool m_procBroken { false };
    bool m_usedFallback { false };
};

}
