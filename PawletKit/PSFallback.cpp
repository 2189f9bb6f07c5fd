#include "PawletKit/PSFallback.hpp"

#include "PawletKit/ChildProcessRunner.hpp"
#include "PawletKit/Environment.hpp"
#include "PawletKit/Text.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <optional>
#include <string>

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

struct Output {
    std::string bytes;
    bool complete { false };
};

std::optional<Output> run(Limits const& limits)
{
    ProcessRunner::Request request;
    request.executable = limits.program;
    request.arguments = { "-eo", "pid=,pcpu=,comm=" };
    // Ours, with the C locale so figures always use a decimal point.
    request.environment = currentEnvironment();
    request.environment["LC_ALL"] = "C";
    request.timeout = std::max(limits.timeoutSeconds, 0.0);
    request.maxOutputBytes = limits.maxOutputBytes;
    auto result = ChildProcessRunner().run(request);
    if (result.ending == ProcessRunner::Result::Ending::failedToStart)
        return std::nullopt;
    // A ps that overran its time or its output limit was cut off.
    bool const complete = result.ending != ProcessRunner::Result::Ending::timedOut && !result.outputTruncated;
    return Output { std::move(result.standardOutput), complete };
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
