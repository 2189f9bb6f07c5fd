#include "app-core/Focus/TerminalJump.hpp"

#include "app-core/Focus/TerminalPaths.hpp"
#include "app-core/Focus/TerminalScripts.hpp"

#include "PawletKit/ProcInfo.hpp"

namespace PupnikCore {

namespace {

std::optional<std::string> validTTY(std::optional<std::string_view> tty)
{
    if (!tty || !PawletKit::ProcInfo::isValidTTYName(*tty))
        return std::nullopt;
    return std::string(*tty);
}

std::string optionalText(std::optional<std::string> const& text)
{
    return text ? *text : "-";
}

}

TerminalJump TerminalJump::make(std::optional<std::string_view> bundleId, std::optional<std::string_view> tty,
    std::optional<std::string_view> cwd, std::span<int32_t const> pids)
{
    return made(bundleId, tty, cwd, pids);
}

TerminalJump TerminalJump::make(std::optional<std::string_view> bundleId, std::optional<std::string_view> tty,
    std::optional<std::string_view> cwd)
{
    return made(bundleId, tty, cwd, std::nullopt);
}

TerminalJump TerminalJump::made(std::optional<std::string_view> bundleId, std::optional<std::string_view> tty,
    std::optional<std::string_view> cwd, std::optional<std::span<int32_t const>> pids)
{
    auto app = TerminalApp::fromBundleId(bundleId);
    if (!app)
        return None {};
    switch (app->value()) {
    case TerminalApp::appleTerminal:
    case TerminalApp::iterm2: {
        auto name = validTTY(tty);
        if (!name)
            return None {};
        auto text = TerminalScripts::script(bundleId, *name);
        if (!text)
            return None {};
        return AppleScript { std::move(*text) };
    }
    case TerminalApp::ghostty: {
        auto name = validTTY(tty);
        auto directory = TerminalPaths::sanitizeCwd(cwd);
        if (!name && !directory)
            return None {};
        return Ghostty { std::move(name), std::move(directory) };
    }
    case TerminalApp::wezterm: {
        auto name = validTTY(tty);
        if (!name)
            return None {};
        return WezTerm { std::move(*name) };
    }
    case TerminalApp::kitty: {
        if (!pids)
            return None {};
        std::vector<int32_t> positive;
        for (int32_t pid : *pids)
            if (pid > 0)
                positive.push_back(pid);
        auto directory = TerminalPaths::sanitizeCwd(cwd);
        if (positive.empty() && !directory)
            return None {};
        return Kitty { std::move(positive), std::move(directory) };
    }
    case TerminalApp::warp:
        return None {};
    case TerminalApp::vscode:
    case TerminalApp::cursor: {
        auto directory = TerminalPaths::sanitizeCwd(cwd);
        if (!directory)
            return None {};
        return Editor { *app, std::move(*directory) };
    }
    }
    return None {};
}

std::optional<std::string> TerminalJump::script() const
{
    if (auto const* jump = as<AppleScript>())
        return jump->script;
    return std::nullopt;
}

std::string TerminalJump::description() const
{
    struct Describer {
        std::string operator()(None const&) const { return "none"; }
        std::string operator()(AppleScript const& jump) const { return "appleScript(" + std::to_string(jump.script.size()) + " bytes)"; }
        std::string operator()(Ghostty const& jump) const { return "ghostty(" + optionalText(jump.tty) + ", " + optionalText(jump.cwd) + ")"; }
        std::string operator()(WezTerm const& jump) const { return "wezterm(" + jump.tty + ")"; }
        std::string operator()(Kitty const& jump) const
        {
            std::string pids;
            for (int32_t pid : jump.pids)
                pids += (pids.empty() ? "" : ", ") + std::to_string(pid);
            return "kitty([" + pids + "], " + optionalText(jump.cwd) + ")";
        }
        std::string operator()(Editor const& jump) const { return "editor(" + std::string(jump.app.rawValue()) + ", " + jump.cwd + ")"; }
    };
    return std::visit(Describer {}, m_payload);
}

}
