#pragma once

#include "PawletKit/ProcessSample.hpp"

#include <functional>
#include <set>
#include <string>
#include <vector>

namespace PawletKit {

using ProcessNames = std::set<std::string, std::less<>>;

// Which running processes carry one of the given names, and how busy each has been lately.
class ProcessSampler {
public:
    virtual ~ProcessSampler();

    virtual bool isAvailable() const = 0;
    // Never fails: a process that cannot be read is left out.
    virtual std::vector<ProcessSample> sample(ProcessNames const& names) = 0;
};

}
