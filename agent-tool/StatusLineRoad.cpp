#include "agent-tool/StatusLineRoad.hpp"

#include "agent-tool/HookInput.hpp"
#include "agent-tool/InputReader.hpp"
#include "agent-tool/OutputWriter.hpp"
#include "agent-tool/StatusLineForwarder.hpp"

#include "PawletKit/AgentConfig.hpp"
#include "PawletKit/SettingsInstaller.hpp"
#include "PawletKit/SpoolEvent.hpp"
#include "PawletKit/Text.hpp"

#include <algorithm>
#include <charconv>

namespace AgentTool::StatusLineRoad {

namespace {

std::string trimmed(std::string_view text)
{
    auto isSpace = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; };
    while (!text.empty() && isSpace(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isSpace(text.back()))
        text.remove_suffix(1);
    return std::string(text);
}

}

int64_t timeoutMs(PawletKit::Environment const& environment)
{
    auto it = environment.find(std::string(timeoutVariable));
    if (it == environment.end())
        return defaultTimeoutMs;
    std::string_view text = it->second;
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    if (text.empty() || !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return defaultTimeoutMs;
    int64_t value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc {} || end != text.data() + text.size() || negative || value < 1)
        return defaultTimeoutMs;
    return std::min(value, maxTimeoutMs);
}

int run(AgentContext const& context)
{
    auto bytes = InputReader::readStandardInput({ InputReader::statusLineCap, 500, 2000 });
    auto input = HookInput::parse(bytes);
    context.appendEvent(std::string(PawletKit::SpoolEvent::statuslineEvent), std::nullopt, input ? &*input : nullptr);

    auto config = PawletKit::AgentConfig::load(context.paths().config());
    if (!config || !config->forwardStatusLine)
        return 0;
    std::string command = trimmed(*config->forwardStatusLine);
    if (command.empty())
        return 0;
    // Only our own whole command is refused, by the connector's rule: a user's line that runs a tool
    // of the same name among words of its own is theirs. Should it still reach us, the mark stops it.
    if (PawletKit::SettingsInstaller::isOwnCommandText(command)) {
        context.log().append("refusing to forward to ourselves: " + PawletKit::Text::prefix(command, loggedCommandCharacters));
        return 0;
    }
    if (context.environment().contains(std::string(StatusLineForwarder::forwardedMark))) {
        context.log().append("refusing to forward again from inside a forwarded status line: " + PawletKit::Text::prefix(command, loggedCommandCharacters));
        return 0;
    }
    return forward(context, command, bytes, timeoutMs(context.environment()));
}

int forward(AgentContext const& context, std::string const& command, std::string_view input, int64_t timeoutMs)
{
    auto outcome = StatusLineForwarder::run(command, input, timeoutMs);
    switch (outcome.result) {
    case StatusLineForwarder::Result::spawnFailed:
        context.log().append("forward spawn failed: " + outcome.error);
        return 0;
    case StatusLineForwarder::Result::timedOut:
        context.log().append("forward timed out after " + std::to_string(timeoutMs) + " ms: " + PawletKit::Text::prefix(command, loggedCommandCharacters));
        return 0;
    case StatusLineForwarder::Result::interrupted:
        return 0;
    case StatusLineForwarder::Result::finished:
        break;
    }
    OutputWriter::writeStandardOutput(outcome.output);
    return outcome.status;
}

}
