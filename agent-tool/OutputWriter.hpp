#pragma once

#include <string_view>

namespace AgentTool::OutputWriter {

// Writes all bytes, repeating interrupted and partial writes; any other failure (a reader that went
// away) silently ends the write. Nothing is added to the bytes.
void writeAll(int fd, std::string_view bytes);

inline void writeStandardOutput(std::string_view bytes) { writeAll(1, bytes); }

}
