#pragma once

#include "PawletKit/FileDescriptor.hpp"

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <sys/types.h>

namespace PawletKit::RegularFile {

// The whole content of a regular file of at most maxBytes bytes, or nothing. Never blocks: a FIFO,
// a device, a socket or a folder gives nothing without being read, and at most maxBytes + 1 bytes
// are read whatever size the file claims, so a file that grows past the cap gives nothing too.
std::optional<std::string> read(std::filesystem::path const& path, size_t maxBytes);

// The outcome of readWithOutcome, for callers that tell the reasons apart.
struct Reading {
    enum class Outcome {
        read,
        // Nothing at the path (a dangling link included).
        missing,
        // A folder, FIFO, device or socket: never opened for reading, so never blocks.
        notRegular,
        tooLarge,
        // It exists but cannot be read; `error` holds the errno.
        unreadable,
    };
    Outcome outcome { Outcome::missing };
    std::string bytes;
    int error { 0 };
};

// As read, through any links, but saying why nothing was read.
Reading readWithOutcome(std::filesystem::path const& path, size_t maxBytes);

// A descriptor of a regular file, or why there is none.
struct Opened {
    FileDescriptor file;
    // errno of the call that failed: EISDIR for a folder, ELOOP for a symbolic link, ENOENT for
    // nothing at the path without O_CREAT. 0 when notRegular is set.
    int error { 0 };
    // A FIFO, a socket or a device stands at the path.
    bool notRegular { false };
};

// Opens the file at the path only when it is a regular file (or, with O_CREAT, creates it), so that
// files other users or programs may plant in a shared folder can neither block the caller nor redirect
// it: a symbolic link is not followed, a FIFO is never waited on, a device is never opened.
// O_NOFOLLOW, O_NONBLOCK, O_NOCTTY and O_CLOEXEC are added to the flags.
Opened open(std::filesystem::path const& path, int flags, mode_t mode = 0600);

}
