#include "app-core/Focus/EditorCLI.hpp"

#include "app-core/Focus/TerminalPaths.hpp"
#include "app-core/Focus/ToolLocations.hpp"

namespace PupnikCore::EditorCLI {

namespace {

constexpr std::string_view vscodeFixedPaths[] {
    "/Applications/Visual Studio Code.app/Contents/Resources/app/bin/code",
    "/Applications/Visual Studio Code - Insiders.app/Contents/Resources/app/bin/code",
    "/opt/homebrew/bin/code",
    "/usr/local/bin/code",
};
constexpr std::string_view cursorFixedPaths[] {
    "/Applications/Cursor.app/Contents/Resources/app/bin/cursor",
    "/opt/homebrew/bin/cursor",
    "/usr/local/bin/cursor",
};

// Where the Linux packages put a launcher that is not linked into a bin folder.
std::vector<std::filesystem::path> packagePaths(std::initializer_list<char const*> paths)
{
    return std::vector<std::filesystem::path>(paths.begin(), paths.end());
}

}

std::vector<std::filesystem::path> candidatePaths(TerminalApp app, PawletKit::Environment const& environment)
{
    using ToolLocations::appendUnique;
    using ToolLocations::candidates;
    switch (app.value()) {
    case TerminalApp::vscode: {
        auto list = candidates("code", environment, vscodeFixedPaths,
            packagePaths({ "/usr/share/code/bin/code", "/opt/visual-studio-code/bin/code", "/opt/VSCode-linux-x64/bin/code" }));
        appendUnique(list, candidates("code-insiders", environment, {}, packagePaths({ "/usr/share/code-insiders/bin/code-insiders" })));
        appendUnique(list, candidates("codium", environment, {}, packagePaths({ "/usr/share/codium/bin/codium", "/opt/vscodium-bin/bin/codium" })));
        appendUnique(list, candidates("code-oss", environment, {}, packagePaths({ "/usr/share/code-oss/bin/code-oss" })));
        return list;
    }
    case TerminalApp::cursor:
        return candidates("cursor", environment, cursorFixedPaths,
            packagePaths({ "/usr/share/cursor/bin/cursor", "/usr/share/cursor/resources/app/bin/cursor",
                "/opt/Cursor/resources/app/bin/cursor", "/opt/cursor/resources/app/bin/cursor" }));
    default:
        return {};
    }
}

std::optional<std::vector<std::string>> arguments(std::optional<std::string_view> cwd)
{
    auto directory = TerminalPaths::sanitizeCwd(cwd);
    if (!directory)
        return std::nullopt;
    return std::vector<std::string> { "--reuse-window", std::move(*directory) };
}

}
