#pragma once

#include <filesystem>
#include <optional>

namespace Platform {

// Where an installation keeps its parts: <prefix>/bin/Pupnik, <prefix>/libexec/pupnik/pupnik-agent,
// <prefix>/share/pupnik/... The build tree stages the same layout, so built programs (tests too,
// which live in the build tree's bin) find their resources the same way.
class InstallLayout final {
public:
    // The layout of the running program, from /proc/self/exe; nothing when that cannot be read.
    static std::optional<InstallLayout> ofRunningProgram();
    // The layout around an executable in <prefix>/bin or <prefix>/libexec/pupnik.
    static InstallLayout aroundExecutable(std::filesystem::path const& executable);

    std::filesystem::path const& executable() const { return m_executable; }
    std::filesystem::path const& prefix() const { return m_prefix; }
    std::filesystem::path binDirectory() const { return m_prefix / "bin"; }
    std::filesystem::path libexecDirectory() const { return m_prefix / "libexec" / "pupnik"; }
    std::filesystem::path shareDirectory() const { return m_prefix / "share" / "pupnik"; }
    // Where an installation registers the program with the desktop.
    std::filesystem::path desktopEntry() const { return m_prefix / "share" / "applications" / "pupnik.desktop"; }

    // An installed copy, one the desktop can start by itself: its desktop entry is in place and the
    // prefix is no CMake build tree (which has the same layout but goes away with a clean build).
    bool isInstallation() const;

private:
    std::filesystem::path m_executable;
    std::filesystem::path m_prefix;
};

}
