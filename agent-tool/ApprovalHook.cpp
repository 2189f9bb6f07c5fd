#include "agent-tool/ApprovalHook.hpp"

#include "PawletKit/MonotonicClock.hpp"
#include "agent-tool/OutputWriter.hpp"
#include "agent-tool/TerminationSignals.hpp"

#include "PawletKit/ASCII.hpp"
#include "PawletKit/ApplicationLock.hpp"
#include "PawletKit/ApprovalRequest.hpp"
#include "PawletKit/ApprovalStore.hpp"
#include "PawletKit/ApprovalSummary.hpp"
#include "PawletKit/Date.hpp"
#include "PawletKit/HookEvent.hpp"
#include "PawletKit/SpoolEvent.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <exception>
#include <sys/stat.h>
#include <unistd.h>

namespace AgentTool {

namespace JSON = PawletKit::JSON;

namespace {

std::string stringMember(JSON::Value const& input, std::string_view key, std::string fallback)
{
    return JSON::toString(JSON::member(&input, key)).value_or(std::move(fallback));
}

std::string upperCased(std::string_view text)
{
    std::string result(text);
    for (char& c : result)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return result;
}

}

double ApprovalHook::waitSeconds(PawletKit::Environment const& environment)
{
    auto it = environment.find(std::string(waitVariable));
    if (it == environment.end())
        return defaultWaitSeconds;
    std::string_view text = it->second;
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    double milliseconds = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), milliseconds, std::chars_format::general);
    if (text.empty() || end != text.data() + text.size())
        return defaultWaitSeconds;
    // Out of range is a number all the same: too small reads as zero, too large as infinite.
    if (error == std::errc::result_out_of_range)
        milliseconds = std::strtod(std::string(text).c_str(), nullptr);
    else if (error != std::errc {})
        return defaultWaitSeconds;
    if (!std::isfinite(milliseconds) || milliseconds < 0)
        return defaultWaitSeconds;
    return std::min(milliseconds / 1000, maxWaitSeconds);
}

ApprovalHook::WaitOutcome ApprovalHook::awaitReply(int64_t deadlineMs, WaitSeams const& seams)
{
    WaitOutcome outcome;
    for (;;) {
        // A signal that came while the request was posted counts as much as one during a pause.
        if (seams.pause(0)) {
            outcome.interrupted = true;
            return outcome;
        }
        int64_t const left = deadlineMs - seams.now();
        if (left <= 0)
            break;
        if ((outcome.decision = seams.readReply()))
            return outcome;
        seams.pause(std::min(left, pollIntervalMs));
    }
    outcome.decision = seams.readReply();
    return outcome;
}

bool ApprovalHook::isDisabled(PawletKit::Environment const& environment)
{
    auto it = environment.find(std::string(disabledVariable));
    if (it == environment.end())
        return false;
    std::string const value = PawletKit::ASCII::lowercased(it->second);
    return value == "1" || value == "true" || value == "yes";
}

int ApprovalHook::run(JSON::Value input, std::optional<std::string> const& matcher) const
{
    std::string const event(PawletKit::HookEvent::permissionRequest);
    // Without the application running nobody would answer: the coding agent asks the user at once
    // rather than after the whole wait.
    if (isDisabled(m_context.environment()) || !PawletKit::ApplicationLock::isHeldElsewhere(m_context.paths())) {
        m_context.appendEvent(event, matcher, &input);
        return 0;
    }

    PawletKit::ApprovalStore store(m_context.paths().approvalsDirectory());
    double const createdAt = PawletKit::Date::now().secondsSince1970;
    double const wait = waitSeconds(m_context.environment());

    PawletKit::ApprovalRequest request;
    request.tool = stringMember(input, "tool_name", "?");
    auto summary = PawletKit::ApprovalSummary::summarize(request.tool, JSON::member(&input, "tool_input"), PawletKit::ApprovalSummary::readTargetFile);
    request.target = std::move(summary.target);
    request.summary = std::move(summary.summary);
    request.truncated = summary.truncated;
    request.truncatedLines = summary.truncatedLines;
    request.sessionId = stringMember(input, "session_id", "");
    request.promptId = stringMember(input, "prompt_id", "");
    request.cwd = stringMember(input, "cwd", "");
    request.permissionMode = stringMember(input, "permission_mode", "");
    request.hookPid = ::getpid();
    request.createdAt = createdAt;
    request.expiresAt = createdAt + wait;

    // From here on a termination signal waits for the loop below, which removes the request; one that
    // arrived while the request was being written would otherwise leave it behind.
    TerminationSignals signals;
    bool posted = false;
    try {
        request.id = PawletKit::ApprovalStore::newId();
        // The application makes the mailbox when it starts following events; without it nobody would
        // answer, so the store is not let to create it.
        struct stat folder { };
        posted = ::stat(store.dir().c_str(), &folder) == 0 && S_ISDIR(folder.st_mode) && store.write(request);
    } catch (std::exception const&) {
    }
    if (!posted) {
        m_context.appendEvent(event, matcher, &input);
        m_context.log().append("REQ " + request.id + " tool=" + request.tool + " could not be written to " + store.dir().string());
        return 0;
    }

    input[std::string(PawletKit::SpoolEvent::approvalIdKey)] = request.id;
    m_context.appendEvent(event, matcher, &input);
    m_context.log().append("REQ " + request.id + " tool=" + request.tool + " wait=" + std::to_string(static_cast<int64_t>(wait)) + "s");

    int64_t const deadline = PawletKit::MonotonicClock::milliseconds() + static_cast<int64_t>(std::ceil(wait * 1000));
    auto outcome = awaitReply(deadline,
        { PawletKit::MonotonicClock::milliseconds, [&] { return store.readReply(request.id); }, [&](int64_t milliseconds) { return signals.wait(milliseconds); } });
    store.remove(request.id);
    if (outcome.interrupted)
        return 0;
    auto const& decision = outcome.decision;
    if (!decision) {
        m_context.log().append("TIMEOUT " + request.id);
        return 0;
    }

    m_context.log().append(upperCased(decision->rawValue()) + " " + request.id);
    if (auto answer = JSON::serialize(decision->hookResponse(denyMessage)))
        OutputWriter::writeStandardOutput(*answer);
    return 0;
}

}
