#include "PawletKit/SettingsInstaller.hpp"

#include "PawletKit/CharacterSets.hpp"
#include "PawletKit/HookEvent.hpp"

#include <algorithm>
#include <utf8proc.h>

namespace PawletKit::SettingsInstaller {

namespace {

constexpr std::string_view hooksKey = "hooks";
constexpr std::string_view statusLineKey = "statusLine";

// The end of the agent tool's path in every command we write, wherever the tool lives.
constexpr std::string_view ownPathEnding = "/pupnik-agent";
static_assert(ownPathEnding.substr(1) == agentName);

// What separates the words of our commands; line breaks may also close the command.
bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

bool isBlankOrLineBreak(char c)
{
    return isBlank(c) || c == '\n' || c == '\r';
}

// An event or matcher as our list has them.
bool isName(std::string_view word)
{
    return !word.empty() && std::all_of(word.begin(), word.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
    });
}

// A character that stands for itself in a bare shell word: one that shellQuote leaves unquoted.
bool isBareCharacter(std::string_view text, size_t at, size_t& length)
{
    CharacterSets::codePointAt(text, at, length);
    length = std::max<size_t>(length, 1);
    return !needsQuoting(text.substr(at, length));
}

// The first word of the text as the shell reads it, when it is made only of characters that stand for
// themselves, single-quoted parts, escaped characters and double-quoted parts that expand nothing.
// Nothing for a word the shell would expand or that never ends; `position` ends at what follows it.
std::optional<std::string> leadingWord(std::string_view text, size_t& position)
{
    std::string word;
    while (position < text.size() && !isBlank(text[position])) {
        char c = text[position];
        if (c == '\'' || c == '"') {
            size_t close = text.find(c, position + 1);
            if (close == std::string_view::npos)
                return std::nullopt;
            auto inside = text.substr(position + 1, close - position - 1);
            if (c == '"' && inside.find_first_of("\\$`") != std::string_view::npos)
                return std::nullopt;
            word += inside;
            position = close + 1;
        } else if (c == '\\') {
            if (position + 1 == text.size())
                return std::nullopt;
            word += text[position + 1];
            position += 2;
        } else {
            size_t length = 0;
            if (!isBareCharacter(text, position, length))
                return std::nullopt;
            word += text.substr(position, length);
            position += length;
        }
    }
    return word;
}

// The whole command is one we write: the tool's path as one shell word, then "hook" with an event and
// an optional matcher, or "statusline". A command with any other word in it is the user's, even when it
// runs our tool.
bool matchesOwnCommand(std::string_view command)
{
    while (!command.empty() && isBlankOrLineBreak(command.front()))
        command.remove_prefix(1);
    while (!command.empty() && isBlankOrLineBreak(command.back()))
        command.remove_suffix(1);
    size_t position = 0;
    auto path = leadingWord(command, position);
    if (!path || !path->ends_with(ownPathEnding))
        return false;
    std::vector<std::string_view> words;
    while (position < command.size()) {
        if (isBlank(command[position])) {
            ++position;
            continue;
        }
        size_t start = position;
        while (position < command.size() && !isBlank(command[position]))
            ++position;
        words.push_back(command.substr(start, position - start));
    }
    if (words.size() == 1)
        return words[0] == "statusline";
    return (words.size() == 2 || words.size() == 3) && words[0] == "hook" && std::all_of(words.begin() + 1, words.end(), isName);
}

JSON::Value const* hooksArrayOf(JSON::Value const& group)
{
    if (!group.is_object())
        return nullptr;
    auto it = group.find(hooksKey);
    if (it == group.end() || !it->is_array())
        return nullptr;
    return &*it;
}

bool isOwnEntry(JSON::Value const& entry)
{
    return entry.is_object() && isOwnCommand(JSON::member(&entry, "command"));
}

bool holdsOwnHook(JSON::Value const& group)
{
    auto const* entries = hooksArrayOf(group);
    return entries && std::any_of(entries->begin(), entries->end(), isOwnEntry);
}

// The group without our entries: unchanged when it has none, nothing when only ours were in it.
std::optional<JSON::Value> withoutOwnHooks(JSON::Value const& group)
{
    auto const* entries = hooksArrayOf(group);
    if (!entries)
        return group;
    JSON::Value kept = JSON::Value::array();
    for (auto const& entry : *entries) {
        if (!isOwnEntry(entry))
            kept.push_back(entry);
    }
    if (kept.size() == entries->size())
        return group;
    if (kept.empty())
        return std::nullopt;
    JSON::Value result = group;
    result[std::string(hooksKey)] = std::move(kept);
    return result;
}

std::optional<std::string_view> matcherOf(HookSpec const& registration)
{
    if (!registration.matcher)
        return std::nullopt;
    return std::string_view(*registration.matcher);
}

bool refreshIntervalIsShort(JSON::Value const& statusLine)
{
    auto interval = JSON::toDouble(JSON::member(&statusLine, "refreshInterval"));
    return interval && *interval > 0 && *interval < static_cast<double>(statusLineRefreshInterval);
}

std::optional<std::string> takeOverStatusLine(JSON::Value& settings, std::string const& command,
    std::optional<std::string> const& forwardedStatusLine)
{
    auto it = settings.find(statusLineKey);
    if (it == settings.end() || !it->is_object()) {
        settings[std::string(statusLineKey)] = {
            { "type", "command" },
            { "command", command },
            { "refreshInterval", statusLineRefreshInterval },
        };
        return std::nullopt;
    }
    JSON::Value& statusLine = *it;
    if (isOwnCommand(JSON::member(&statusLine, "command"))) {
        statusLine["command"] = command;
        return forwardedStatusLine;
    }
    std::optional<std::string> forward;
    if (auto previous = statusLine.find("command"); previous != statusLine.end() && previous->is_string()) {
        auto trimmed = CharacterSets::trimmingWhitespaceAndNewlines(previous->get_ref<std::string const&>());
        if (!trimmed.empty())
            forward = std::string(trimmed);
    }
    statusLine["type"] = "command";
    statusLine["command"] = command;
    if (!refreshIntervalIsShort(statusLine))
        statusLine["refreshInterval"] = statusLineRefreshInterval;
    return forward;
}

// Our entries in groups that no registration of the list will take over (an event or matcher we no
// longer use) are removed; the user's entries beside them stay with their group.
void removeStaleRegistrations(JSON::Value& hooks)
{
    std::vector<std::string> emptied;
    for (auto it = hooks.begin(); it != hooks.end(); ++it) {
        std::string const& event = it.key();
        JSON::Value& groups = it.value();
        if (!groups.is_array())
            continue;
        std::vector<HookSpec const*> registrations;
        for (auto const& registration : hookSpecs()) {
            if (registration.event == event)
                registrations.push_back(&registration);
        }
        JSON::Value kept = JSON::Value::array();
        bool changed = false;
        for (auto const& group : groups) {
            bool registered = std::any_of(registrations.begin(), registrations.end(),
                [&](HookSpec const* registration) { return groupMatches(group, matcherOf(*registration)); });
            if (registered || !holdsOwnHook(group)) {
                kept.push_back(group);
                continue;
            }
            changed = true;
            if (auto stripped = withoutOwnHooks(group))
                kept.push_back(std::move(*stripped));
        }
        if (!changed)
            continue;
        if (kept.empty())
            emptied.push_back(event);
        else
            groups = std::move(kept);
    }
    for (auto const& event : emptied)
        hooks.erase(event);
}

void registerHooks(JSON::Value& hooks, std::string_view agentPath)
{
    for (auto const& registration : hookSpecs()) {
        auto matcher = matcherOf(registration);
        auto command = hookCommand(agentPath, registration);
        auto timeout = registration.effectiveTimeout();
        auto it = hooks.find(registration.event);
        if (it != hooks.end() && !it->is_array())
            continue;
        JSON::Value& groups = it != hooks.end() ? *it : (hooks[registration.event] = JSON::Value::array());
        auto own = std::find_if(groups.begin(), groups.end(),
            [&](JSON::Value const& group) { return groupHasOwnHook(group, matcher); });
        if (own != groups.end()) {
            *own = updateOwnHooks(std::move(*own), command, timeout);
            continue;
        }
        JSON::Value group = JSON::Value::object();
        if (matcher)
            group["matcher"] = *matcher;
        group[std::string(hooksKey)] = JSON::Value::array({ JSON::Value {
            { "type", "command" },
            { "command", command },
            { "timeout", timeout },
        } });
        groups.push_back(std::move(group));
    }
}

template<typename Visit>
void forEachGroup(JSON::Value const& settings, Visit visit)
{
    auto const* hooks = JSON::member(&settings, hooksKey);
    if (!hooks || !hooks->is_object())
        return;
    for (auto it = hooks->begin(); it != hooks->end(); ++it) {
        if (!it->is_array())
            continue;
        for (auto const& group : *it)
            visit(group);
    }
}

}

std::vector<HookSpec> const& hookSpecs()
{
    static std::vector<HookSpec> const registrations = [] {
        std::vector<HookSpec> list {
            { HookEvent::sessionStart, std::nullopt, std::nullopt },
            { HookEvent::sessionEnd, std::nullopt, std::nullopt },
            { HookEvent::userPromptSubmit, std::nullopt, std::nullopt },
            { HookEvent::preToolUse, std::nullopt, std::nullopt },
            { HookEvent::postToolUse, std::nullopt, std::nullopt },
            { HookEvent::postToolUseFailure, std::nullopt, std::nullopt },
            { HookEvent::stop, std::nullopt, std::nullopt },
            { HookEvent::subagentStart, std::nullopt, std::nullopt },
            { HookEvent::subagentStop, std::nullopt, std::nullopt },
            { HookEvent::permissionRequest, std::nullopt, permissionRequestTimeout },
            { HookEvent::stopFailure, std::string(rateLimitMatcher), std::nullopt },
        };
        for (auto matcher : notificationMatchers)
            list.push_back({ HookEvent::notification, std::string(matcher), std::nullopt });
        list.push_back({ HookEvent::notification, std::string(quotaResumeMatcher), std::nullopt });
        return list;
    }();
    return registrations;
}

std::map<std::string, int64_t> const& expectedTimeouts()
{
    static std::map<std::string, int64_t> const timeouts = [] {
        std::map<std::string, int64_t> map;
        for (auto const& registration : hookSpecs())
            map[registration.event] = registration.effectiveTimeout();
        return map;
    }();
    return timeouts;
}

bool needsQuoting(std::string_view path)
{
    constexpr std::string_view safePunctuation = "/-_.+=:,@";
    size_t position = 0;
    while (position < path.size()) {
        size_t length = 0;
        char32_t codePoint = CharacterSets::codePointAt(path, position, length);
        bool safe = CharacterSets::isAlphanumeric(codePoint)
            || (codePoint < 0x80 && safePunctuation.find(static_cast<char>(codePoint)) != std::string_view::npos);
        if (!safe)
            return true;
        position += length;
    }
    return false;
}

std::string shellQuote(std::string_view path)
{
    if (!path.empty() && !needsQuoting(path))
        return std::string(path);
    std::string quoted = "'";
    for (char c : path) {
        if (c == '\'')
            quoted += "'\\''";
        else
            quoted += c;
    }
    quoted += '\'';
    return quoted;
}

std::string statuslineCommand(std::string_view agentPath)
{
    return shellQuote(agentPath) + " statusline";
}

std::string hookCommand(std::string_view agentPath, std::string_view event, std::optional<std::string_view> matcher)
{
    std::string command = shellQuote(agentPath);
    command += " hook ";
    command += event;
    if (matcher) {
        command += ' ';
        command += *matcher;
    }
    return command;
}

std::string hookCommand(std::string_view agentPath, HookSpec const& registration)
{
    return hookCommand(agentPath, registration.event, matcherOf(registration));
}

bool isOwnCommandText(std::string_view command) { return matchesOwnCommand(command); }

bool isOwnCommand(JSON::Value const* value)
{
    if (!value || !value->is_string())
        return false;
    return matchesOwnCommand(value->get_ref<std::string const&>());
}

bool groupMatches(JSON::Value const& group, std::optional<std::string_view> matcher)
{
    std::string_view found;
    if (auto const* value = JSON::member(&group, "matcher"); value && value->is_string())
        found = CharacterSets::trimmingWhitespace(value->get_ref<std::string const&>());
    if (found.empty())
        return !matcher;
    return matcher && *matcher == found;
}

bool groupHasOwnHook(JSON::Value const& group, std::optional<std::string_view> matcher)
{
    return group.is_object() && !group.empty() && groupMatches(group, matcher) && holdsOwnHook(group);
}

JSON::Value updateOwnHooks(JSON::Value group, std::string_view command, int64_t timeout)
{
    if (!group.is_object())
        return group;
    auto it = group.find(hooksKey);
    if (it == group.end() || !it->is_array())
        return group;
    for (auto& entry : *it) {
        if (!isOwnEntry(entry))
            continue;
        entry["command"] = command;
        entry["type"] = "command";
        entry["timeout"] = timeout;
    }
    return group;
}

InstallResult install(JSON::Value settings, std::string_view agentPath, std::optional<std::string> const& forwardedStatusLine)
{
    if (!settings.is_object())
        settings = JSON::Value::object();
    auto forward = takeOverStatusLine(settings, statuslineCommand(agentPath), forwardedStatusLine);

    JSON::Value hooks = JSON::Value::object();
    if (auto it = settings.find(hooksKey); it != settings.end() && it->is_object())
        hooks = std::move(*it);
    removeStaleRegistrations(hooks);
    registerHooks(hooks, agentPath);
    settings[std::string(hooksKey)] = std::move(hooks);
    return { std::move(settings), std::move(forward) };
}

JSON::Value uninstall(JSON::Value settings, std::optional<std::string> const& restoringStatusLine)
{
    if (!settings.is_object())
        return settings;

    if (auto it = settings.find(hooksKey); it != settings.end() && it->is_object()) {
        JSON::Value& hooks = *it;
        std::vector<std::string> emptied;
        for (auto event = hooks.begin(); event != hooks.end(); ++event) {
            JSON::Value& groups = event.value();
            if (!groups.is_array())
                continue;
            JSON::Value kept = JSON::Value::array();
            for (auto const& group : groups) {
                if (auto stripped = withoutOwnHooks(group))
                    kept.push_back(std::move(*stripped));
            }
            if (kept.empty())
                emptied.push_back(event.key());
            else
                groups = std::move(kept);
        }
        for (auto const& event : emptied)
            hooks.erase(event);
        if (hooks.empty())
            settings.erase(it);
    }

    if (auto it = settings.find(statusLineKey);
        it != settings.end() && it->is_object() && isOwnCommand(JSON::member(&*it, "command"))) {
        if (!restoringStatusLine || restoringStatusLine->empty()) {
            settings.erase(it);
        } else {
            JSON::Value& statusLine = *it;
            statusLine["type"] = "command";
            statusLine["command"] = *restoringStatusLine;
            if (!refreshIntervalIsShort(statusLine))
                statusLine.erase("refreshInterval");
        }
    }
    return settings;
}

bool isInstalled(JSON::Value const& settings)
{
    if (auto const* statusLine = JSON::member(&settings, statusLineKey);
        statusLine && statusLine->is_object() && isOwnCommand(JSON::member(statusLine, "command")))
        return true;
    bool found = false;
    forEachGroup(settings, [&](JSON::Value const& group) { found = found || holdsOwnHook(group); });
    return found;
}

bool isComplete(JSON::Value const& settings)
{
    auto const* hooks = JSON::member(&settings, hooksKey);
    return std::all_of(hookSpecs().begin(), hookSpecs().end(), [&](HookSpec const& registration) {
        auto const* groups = JSON::member(hooks, registration.event);
        return groups && groups->is_array()
            && std::any_of(groups->begin(), groups->end(),
                [&](JSON::Value const& group) { return groupHasOwnHook(group, matcherOf(registration)); });
    });
}

bool needsHookUpgrade(JSON::Value const& settings)
{
    if (!isInstalled(settings))
        return false;
    auto const* hooks = JSON::member(&settings, hooksKey);
    for (auto const& registration : hookSpecs()) {
        auto const* groups = JSON::member(hooks, registration.event);
        if (!groups || !groups->is_array())
            continue;
        for (auto const& group : *groups) {
            if (!groupHasOwnHook(group, matcherOf(registration)))
                continue;
            for (auto const& entry : *hooksArrayOf(group)) {
                if (!isOwnEntry(entry))
                    continue;
                auto timeout = JSON::toInt(JSON::member(&entry, "timeout"));
                if (!timeout || *timeout != registration.effectiveTimeout())
                    return true;
            }
        }
    }
    return false;
}

std::vector<std::string> ownHookCommands(JSON::Value const& settings)
{
    std::vector<std::string> commands;
    forEachGroup(settings, [&](JSON::Value const& group) {
        auto const* entries = hooksArrayOf(group);
        if (!entries)
            return;
        for (auto const& entry : *entries) {
            if (isOwnEntry(entry))
                commands.push_back(entry.at("command").get<std::string>());
        }
    });
    std::sort(commands.begin(), commands.end());
    return commands;
}

}
