#pragma once

#include "PawletKit/Environment.hpp"

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace Platform {

// The XDG autostart entry through which the desktop session starts a program when the user logs in.
// The entry is enabled while the file exists and does not switch itself off (Hidden=true, or the
// GNOME X-GNOME-Autostart-enabled=false that session settings write to turn an entry off).
class AutostartEntry final {
public:
    static constexpr std::string_view fileName = "pupnik.desktop";
    // An entry larger than this is none of ours and reads as absent.
    static constexpr size_t maxFileBytes = 64 * 1024;

    enum class Status {
        absent,
        disabled,
        enabled,
    };

    explicit AutostartEntry(std::filesystem::path file);
    // <config home>/autostart/pupnik.desktop.
    static std::filesystem::path defaultFile(PawletKit::Environment const& environment);

    std::filesystem::path const& file() const { return m_file; }

    // Never fails: a missing, unreadable or oversized file reads as absent.
    Status status() const;
    // Writes an enabled entry that starts the program, atomically, creating the folder when needed.
    // Throws std::system_error; EINVAL when the program's path cannot be written in an entry.
    void enable(std::filesystem::path const& program) const;
    // Removes the entry (a link goes as a link); nothing there is no error. Throws std::system_error.
    void disable() const;

    // The whole entry for the program; nothing for a path that is not absolute or holds control
    // characters or '%', which desktop entries cannot carry reliably.
    static std::optional<std::string> contents(std::filesystem::path const& program);
    // What the Desktop Entry rules reserve in an Exec argument: an argument holding one is quoted.
    static constexpr std::string_view reservedInExec = " \t\n\"'\\><~|&;$*?#()`";
    // The Exec value that runs the program with no arguments: the path as one argument, quoted
    // only when it needs to be.
    static std::optional<std::string> execValue(std::filesystem::path const& program);

private:
    std::filesystem::path m_file;
};

}
