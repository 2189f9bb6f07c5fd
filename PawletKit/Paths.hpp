#pragma once

#include "PawletKit/Environment.hpp"

#include <filesystem>
#include <string_view>

namespace PawletKit {

// The support directory the application and the agent tool share, and every file in it.
class Paths final {
public:
    static constexpr std::string_view supportDirVariable = "PUPNIK_SUPPORT_DIR";
    static constexpr std::string_view agentToolName = "pupnik-agent";

    explicit Paths(Environment const& environment);
    static Paths withBase(std::filesystem::path const& base);
    // HOME when set, else the account's home folder, else "/".
    static std::filesystem::path homeDirectory(Environment const& environment);

    std::filesystem::path const& base() const { return m_base; }
    std::filesystem::path agentLog() const { return m_base / "agent.log"; }
    std::filesystem::path approvalsDirectory() const { return m_base / "approvals"; }
    std::filesystem::path spool() const { return m_base / "events.jsonl"; }
    std::filesystem::path rotatedSpool() const { return m_base / "events.1.jsonl"; }
    std::filesystem::path binDirectory() const { return m_base / "bin"; }
    std::filesystem::path agentTool() const { return binDirectory() / agentToolName; }
    std::filesystem::path config() const { return m_base / "config.json"; }
    // Locked by the application for as long as it runs (ApplicationLock).
    std::filesystem::path applicationLock() const { return m_base / "Pupnik.lock"; }

    // Creates the folder and its missing parents with mode 0700; an existing folder is left as it is.
    // Throws std::system_error.
    static void ensureDirectory(std::filesystem::path const& path);
    void ensureSupportDirectory() const;
    void ensureDirectories() const;

    bool operator==(Paths const&) const = default;

private:
    Paths() = default;
    static std::filesystem::path standardized(std::filesystem::path const&);

    std::filesystem::path m_base;
};

}
