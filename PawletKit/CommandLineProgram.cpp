#include "PawletKit/CommandLineProgram.hpp"

#include <algorithm>
#include <array>
#include <optional>
#include <span>
#include <vector>

namespace PawletKit::CommandLineProgram {

namespace {

using Words = std::span<std::string_view const>;

struct Launcher {
    // Words that may stand before the program ("run" of `deno run x.ts`).
    Words optionalSubcommands {};
    // Words that must stand before it, the last one at least (`uv run aider`, `uv tool run aider`);
    // any other subcommand runs no program.
    Words requiredSubcommands {};
    // Options whose value is the next argument unless it is joined with "=" (long) or follows the
    // letter (short).
    Words longWithValue {};
    std::string_view shortWithValue {};
    // Options after which the code is inline: no program is named.
    Words longInline {};
    std::string_view shortInline {};
    // Options whose value is the program itself (`python -m aider`).
    Words longProgram {};
    std::string_view shortProgram {};
    // Options may also begin with "+" (a shell's `+o posix`).
    bool plusOptions { false };
};

constexpr std::array<std::string_view, 2> runWords { "run", "x" };
constexpr std::array<std::string_view, 1> denoWords { "run" };
constexpr std::array<std::string_view, 2> uvWords { "tool", "run" };

constexpr std::array<std::string_view, 22> nodeWithValue { "--require", "--import", "--loader", "--experimental-loader",
    "--conditions", "--title", "--inspect-port", "--debug-port", "--env-file", "--input-type", "--max-old-space-size",
    "--max-semi-space-size", "--stack-size", "--stack-trace-limit", "--dns-result-order", "--unhandled-rejections",
    "--disable-warning", "--openssl-config", "--icu-data-dir", "--redirect-warnings", "--diagnostic-dir", "--watch-path" };
constexpr std::array<std::string_view, 4> nodeInline { "--eval", "--print", "--interactive", "--test" };
constexpr std::array<std::string_view, 4> bunWithValue { "--preload", "--cwd", "--config", "--env-file" };
constexpr std::array<std::string_view, 2> bunInline { "--eval", "--print" };
constexpr std::array<std::string_view, 6> denoWithValue { "--config", "--import-map", "--location", "--seed", "--cert", "--lock" };
constexpr std::array<std::string_view, 2> denoInline { "--eval", "--print" };
constexpr std::array<std::string_view, 2> shellWithValue { "--rcfile", "--init-file" };
constexpr std::array<std::string_view, 16> uvWithValue { "--with", "--with-editable", "--with-requirements", "--python",
    "--project", "--directory", "--package", "--extra", "--group", "--only-group", "--index", "--default-index",
    "--env-file", "--from", "--cache-dir", "--config-file" };
constexpr std::array<std::string_view, 1> uvProgram { "--module" };
constexpr std::array<std::string_view, 2> npxWithValue { "--package", "--cache" };
constexpr std::array<std::string_view, 1> npxInline { "--call" };

Launcher const node { .longWithValue = nodeWithValue, .shortWithValue = "rC", .longInline = nodeInline, .shortInline = "epi" };
Launcher const bun { .optionalSubcommands = runWords, .longWithValue = bunWithValue, .shortWithValue = "r", .longInline = bunInline, .shortInline = "ep" };
Launcher const deno { .optionalSubcommands = denoWords, .longWithValue = denoWithValue, .shortWithValue = "c", .longInline = denoInline };
Launcher const python { .shortWithValue = "WX", .shortInline = "c", .shortProgram = "m" };
Launcher const shell { .longWithValue = shellWithValue, .shortWithValue = "oO", .shortInline = "cs", .plusOptions = true };
Launcher const uv { .requiredSubcommands = uvWords, .longWithValue = uvWithValue, .shortWithValue = "pw", .longProgram = uvProgram, .shortProgram = "m" };
Launcher const uvx { .longWithValue = uvWithValue, .shortWithValue = "pw" };
Launcher const npx { .longWithValue = npxWithValue, .shortWithValue = "p", .longInline = npxInline, .shortInline = "c" };

bool isVersionedPython(std::string_view name)
{
    constexpr std::string_view versioned = "python3.";
    if (!name.starts_with(versioned) || name.size() == versioned.size())
        return false;
    return std::all_of(name.begin() + versioned.size(), name.end(), [](char c) { return c >= '0' && c <= '9'; });
}

Launcher const* launcherNamed(std::string_view name)
{
    if (name == "node" || name == "nodejs")
        return &node;
    if (name == "bun")
        return &bun;
    if (name == "deno")
        return &deno;
    if (name == "python" || name == "python3" || isVersionedPython(name))
        return &python;
    if (name == "sh" || name == "bash" || name == "dash" || name == "zsh")
        return &shell;
    if (name == "uv")
        return &uv;
    if (name == "uvx")
        return &uvx;
    if (name == "npx")
        return &npx;
    return nullptr;
}

bool contains(Words words, std::string_view word)
{
    return std::find(words.begin(), words.end(), word) != words.end();
}

bool isNumber(std::string_view text)
{
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return (c >= '0' && c <= '9') || c == '.'; });
}

std::string_view baseName(std::string_view path)
{
    if (auto slash = path.rfind('/'); slash != std::string_view::npos)
        path.remove_prefix(slash + 1);
    return path;
}

// The top-level package of a module path: "aider" of "aider.main".
std::string_view package(std::string_view module)
{
    return module.substr(0, module.find('.'));
}

struct Program {
    std::string_view name;
    // The arguments after the program: its own, or, for a launcher, what it runs.
    Words arguments;
};

// What a launcher's arguments run: the program, or nothing when they run none (inline code, another
// subcommand, no arguments).
std::optional<Program> programOf(Launcher const& launcher, Words arguments)
{
    bool subcommandSeen = false;
    bool pathDone = launcher.requiredSubcommands.empty();
    auto programAt = [&](size_t index) -> std::optional<Program> {
        if (index >= arguments.size() || !pathDone)
            return std::nullopt;
        return Program { baseName(arguments[index]), arguments.subspan(index + 1) };
    };
    auto moduleAt = [&](std::string_view module, size_t next) -> std::optional<Program> {
        if (module.empty() || !pathDone)
            return std::nullopt;
        return Program { package(module), arguments.subspan(std::min(next, arguments.size())) };
    };
    for (size_t i = 0; i < arguments.size(); ++i) {
        std::string_view const argument = arguments[i];
        bool const hasNext = i + 1 < arguments.size();
        if (argument == "--")
            return programAt(i + 1);
        if (argument.starts_with("--")) {
            std::string_view const option = argument.substr(0, argument.find('='));
            bool const joined = option.size() < argument.size();
            if (contains(launcher.longInline, option))
                return std::nullopt;
            if (contains(launcher.longProgram, option)) {
                if (joined)
                    return moduleAt(argument.substr(option.size() + 1), i + 1);
                return hasNext ? moduleAt(arguments[i + 1], i + 2) : std::nullopt;
            }
            // A number after an option is that option's value, as V8 reads `--max-old-space-size 4096`.
            if (!joined && hasNext && (contains(launcher.longWithValue, option) || isNumber(arguments[i + 1])))
                ++i;
            continue;
        }
        if (argument.size() > 1 && (argument.front() == '-' || (argument.front() == '+' && launcher.plusOptions))) {
            // A cluster of letters; a letter that takes a value takes the rest, or the next argument.
            for (size_t letter = 1; letter < argument.size(); ++letter) {
                char const c = argument[letter];
                bool const last = letter + 1 == argument.size();
                if (launcher.shortInline.find(c) != std::string_view::npos)
                    return std::nullopt;
                if (launcher.shortProgram.find(c) != std::string_view::npos) {
                    if (!last)
                        return moduleAt(argument.substr(letter + 1), i + 1);
                    return hasNext ? moduleAt(arguments[i + 1], i + 2) : std::nullopt;
                }
                if (launcher.shortWithValue.find(c) != std::string_view::npos) {
                    if (last)
                        ++i;
                    break;
                }
            }
            continue;
        }
        if (argument.empty())
            continue;
        if (!pathDone) {
            // `uv run aider`, `uv tool run aider`: the program follows the path's last word.
            if (argument == launcher.requiredSubcommands.back())
                pathDone = true;
            else if (!contains(launcher.requiredSubcommands, argument) || subcommandSeen)
                return std::nullopt;
            subcommandSeen = true;
            continue;
        }
        if (!subcommandSeen && contains(launcher.optionalSubcommands, argument)) {
            subcommandSeen = true;
            continue;
        }
        return programAt(i);
    }
    return std::nullopt;
}

}

std::string name(std::string_view commandLine, std::string_view comm)
{
    if (commandLine.empty())
        return std::string(comm);
    std::vector<std::string_view> arguments;
    for (std::string_view rest = commandLine; !rest.empty();) {
        size_t const end = rest.find('\0');
        arguments.push_back(rest.substr(0, end));
        rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
    }
    Program program { baseName(arguments.front()), Words(arguments).subspan(1) };
    // Launchers start launchers (`uv run python -m aider`, `node …/npx gemini`), a few deep at most.
    for (int depth = 0; depth < 4; ++depth) {
        Launcher const* launcher = launcherNamed(program.name);
        if (!launcher)
            break;
        auto run = programOf(*launcher, program.arguments);
        if (!run)
            break;
        program = *run;
    }
    return std::string(program.name);
}

}
