#pragma once

#include <cstdint>
#include <string>

namespace PawletKit {

// One running process with a wanted name and its recent CPU use.
struct ProcessSample {
    std::string name;
    int32_t pid { 0 };
    // Percent of one processor: two busy processors read about 200; 0 until a rate can be measured.
    double cpuPercent { 0 };

    bool operator==(ProcessSample const&) const = default;
};

}
