#pragma once

#include "PawletKit/PSFallback.hpp"
#include "PawletKit/ProcessSampler.hpp"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace PawletKit {

// Samples the process table through /proc: a process's name comes from its command line, its CPU use
// from the growth of utime + stime between two samplings. Falls back to ps, for good, when /proc
// cannot be listed.
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
        double cpuNanos { 0 };
        double at { 0 };
    };

    Options m_options;
    std::map<int32_t, Reading> m_lastCPU;
    double m_nanosPerTick { 1e7 };
    bool m_procBroken { false };
    bool m_usedFallback { false };
};

}
