#pragma once

#include "shared/CollarAnchors.hpp"

#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace PawletShared {

// Collar files by path, one cache for the whole process. Entries are never replaced; failures are
// not remembered.
class CollarAnchorCache final {
public:
    static CollarAnchorCache& shared();

    // A file read once is served from memory for the life of the process; a failure leaves no
    // entry, so the next call reads the file again. The lock is held across reading and decoding,
    // so concurrent first loads of a path read it once.
    std::optional<CollarAnchors> load(std::filesystem::path const& url);
    // "collar.json" in a subdirectory of a resource folder.
    std::optional<CollarAnchors> fromBundle(std::filesystem::path const& resources, std::string_view subdirectory);

private:
    CollarAnchorCache() = default;

    std::mutex m_lock;
    std::map<std::string, CollarAnchors> m_map;
};

}
