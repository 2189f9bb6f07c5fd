#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace AgentTool::InputReader {

// The reader's bounds: the cap differs per road, the time limits do not.
struct Limits {
    size_t maxBytes { 0 };
    int64_t firstByteMs { 500 };
    int64_t totalMs { 2000 };
};

constexpr size_t hookCap = 65'536;
constexpr size_t permissionRequestCap = 4'194'304;
constexpr size_t statusLineCap = 1'048'576;
constexpr size_t chunkBytes = 65'536;

// Reads what arrives on the descriptor within the limits (both counted from the call), at most
// maxBytes of it. Past the cap the rest is read and dropped until end of input or the time limit, so
// the writer on the other side never stays blocked. A terminal gives nothing at once.
std::string read(int fd, Limits limits);

inline std::string readStandardInput(Limits limits) { return read(0, limits); }

}
