#pragma once

#include "shared/CollarAnchors.hpp"

#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <string>

namespace PawletShared {

// Collar files by path, one cache for the whole process. Entries are never replaced; failures are
// not remembered.
class CollarAnchorCache final {
public:
    static CollarAnchorCache& shared();

    // The lock is held across reading and decoding, so concurrent first loads of a path read it once.
    std::optional<CollarAnchors> load(std::filesystem::path const& url);

private:
    CollarAnchorCache() = default;

    std::mutex m_lock;
    std::map<std::string, CollarAnchors> m_map;
};

}
