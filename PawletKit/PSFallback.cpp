#include "PawletKit/PSFallback.hpp"

#include "PawletKit/FileDescriptor.hpp"
#include "PawletKit/Text.hpp"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace PawletKit::PSFallback {

namespace {

std::string_view trimmedSpacesAndTabs(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

std::string_view lastPathComponent(std::string_view path)
{
    while (path.size() > 1 && path.back() == '/')
        path.remove_suffix(1);
    if (path == "/")
        return path;
    if (auto slash = path.rfind('/'); slash != std::string_view::npos)
        path.remove_prefix(slash + 1);
    return path;
}

// The next piece up to a space, after skipping the spaces before it; empty when none is left.
std::string_view nextPiece(std::string_view& rest)
{
    while (!rest.empty() && rest.front() == ' ')
        rest.remove_prefix(1);
    size_t end = rest.find(' ');
    std::string_view piece = rest.substr(0, end);
    rest.remove_prefix(end == std::string_view::npos ? rest.size() : end);
    return piece;
}

std::optional<ProcessSample> parseLine(std::string_view line, ProcessNames const& names)
{
    std::string_view rest = line;
    std::string_view pidText = nextPiece(rest);
    std::string_view cpuText = nextPiece(rest);
    if (pidText.empty() || cpuText.empty() || rest.size() < 2)
        return std::nullopt;
    std::string_view command = rest.substr(1);

    int32_t pid = 0;
    auto pidResult = std::from_chars(pidText.data(), pidText.data() + pidText.size(), pid);
    if (pidResult.ec != std::errc() || pidResult.ptr != pidText.data() + pidText.size())
        return std::nullopt;
    double cpu = 0;
    auto cpuResult = std::from_chars(cpuText.data(), cpuText.data() + cpuText.size(), cpu);
    if (cpuResult.ec != std::errc() || cpuResult.ptr != cpuText.data() + cpuText.size() || !std::isfinite(cpu))
        return std::nullopt;

    std::string_view name = lastPathComponent(trimmedSpacesAndTabs(command));
    if (auto found = names.find(name); found != names.end())
        return ProcessSample { *found, pid, cpu };
    return std::nullopt;
}

// The environment of the child: ours, with the C locale so figures always use a decimal point.
std::vector<std::string> childEnvironment()
{
    std::vector<std::string> variables { "LC_ALL=C" };
    for (char** entry = environ; entry && *entry; ++entry)
        if (std::strncmp(*entry, "LC_ALL=", 7) != 0)
            variables.emplace_back(*entry);
    return variables;
}

struct SpawnActions {
    posix_spawn_file_actions_t actions;
    bool valid;
    SpawnActions() { valid = posix_spawn_file_actions_init(&actions) == 0; }
    ~SpawnActions()
    {
        if (valid)
            posix_spawn_file_actions_destroy(&actions);
    }
    SpawnActions(SpawnActions const&) = delete;
    SpawnActions& operator=(SpawnActions const&) = delete;
};

bool reap(pid_t child, std::chrono::steady_clock::time_point deadline)
{
    for (;;) {
        int status = 0;
        pid_t result = waitpid(child, &status, WNOHANG);
        if (result == child || (result < 0 && errno != EINTR))
            return true;
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

struct Output {
    std::string bytes;
    bool complete { false };
};

std::optional<Output> run(Limits const& limits)
{
    int pipeEnds[2];
    if (pipe2(pipeEnds, O_CLOEXEC) != 0)
        return std::nullopt;
    FileDescriptor readEnd(pipeEnds[0]);
    FileDescriptor writeEnd(pipeEnds[1]);

    SpawnActions spawnActions;
    if (!spawnActions.valid)
        return std::nullopt;
    auto* actions = &spawnActions.actions;
    if (posix_spawn_file_actions_addopen(actions, 0, "/dev/null", O_RDONLY, 0) != 0
        || posix_spawn_file_actions_adddup2(actions, writeEnd.get(), 1) != 0
        || posix_spawn_file_actions_addopen(actions, 2, "/dev/null", O_WRONLY, 0) != 0)
        return std::nullopt;

    std::string const program = limits.program.string();
    char eo[] = "-eo";
    char format[] = "pid=,pcpu=,comm=";
    std::string programArgument = program;
    char* arguments[] = { programArgument.data(), eo, format, nullptr };
    std::vector<std::string> variables = childEnvironment();
    std::vector<char*> environment;
    for (auto& variable : variables)
        environment.push_back(variable.data());
    environment.push_back(nullptr);

    pid_t child = 0;
    if (posix_spawn(&child, program.c_str(), actions, nullptr, arguments, environment.data()) != 0)
        return std::nullopt;
    writeEnd.reset();

    using Clock = std::chrono::steady_clock;
    auto const deadline = Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(std::max(limits.timeoutSeconds, 0.0)));
    Output output;
    char chunk[65536];
    for (;;) {
        if (output.bytes.size() >= limits.maxOutputBytes)
            break;
        auto remaining = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (remaining <= 0)
            break;
        pollfd entry { readEnd.get(), POLLIN, 0 };
        int ready = ::poll(&entry, 1, static_cast<int>(std::min<long long>(remaining, 60000)));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            break;
        size_t room = std::min(sizeof chunk, limits.maxOutputBytes - output.bytes.size());
        ssize_t n = ::read(readEnd.get(), chunk, room);
        if (n > 0) {
            output.bytes.append(chunk, static_cast<size_t>(n));
        } else if (n == 0) {
            output.complete = true;
            break;
        } else if (errno != EINTR && errno != EAGAIN) {
            break;
        }
    }
    readEnd.reset();
    // A ps that printed everything is left a moment to exit; one that overran its time or its output
    // limit is killed. If even a killed child cannot be collected soon, it is left rather than waited for.
    if (!output.complete || !reap(child, std::max(deadline, Clock::now() + std::chrono::milliseconds(100)))) {
        kill(child, SIGKILL);
        reap(child, Clock::now() + std::chrono::milliseconds(200));
    }
    return output;
}

}

std::vector<ProcessSample> parsePS(std::string_view text, ProcessNames const& names)
{
    std::vector<ProcessSample> samples;
    if (names.empty())
        return samples;
    while (!text.empty()) {
        size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (line.empty())
            continue;
        if (auto sample = parseLine(line, names))
            samples.push_back(std::move(*sample));
    }
    return samples;
}

std::vector<ProcessSample> sampleWithPS(ProcessNames const& names, Limits const& limits)
{
    auto output = run(limits);
    if (!output)
        return {};
    std::string_view bytes = output->bytes;
    // A cut-off run keeps its complete lines only.
    if (!output->complete) {
        size_t lastBreak = bytes.rfind('\n');
        bytes = lastBreak == std::string_view::npos ? std::string_view {} : bytes.substr(0, lastBreak + 1);
    }
    return parsePS(Text::replacingInvalidUTF8(bytes), names);
}

}
