#include "PawletKit/ProcInfo.hpp"

#include "PawletKit/Text.hpp"

#include <cmath>

namespace PawletKit {

namespace {

bool isASCIIAlphanumeric(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

}

ProcInfo::ProcInfo(std::vector<int32_t> pids, std::vector<std::string> names, std::optional<std::string> tty)
    : pids(std::move(pids))
    , names(std::move(names))
{
    if (this->pids.size() > maxEntries)
        this->pids.resize(maxEntries);
    if (this->names.size() > maxEntries)
        this->names.resize(maxEntries);
    for (auto& name : this->names)
        name = Text::prefix(name, maxNameLength);
    if (tty && isValidTTYName(*tty))
        this->tty = std::move(tty);
}

std::optional<ProcInfo> ProcInfo::fromJSON(JSON::Value const* value)
{
    if (!value || !value->is_object())
        return std::nullopt;
    std::vector<int32_t> pids;
    if (auto it = value->find("pids"); it != value->end() && it->is_array()) {
        for (auto const& element : *it) {
            auto number = JSON::toDouble(&element);
            if (!number || *number <= -9223372036854775808.0 || *number >= 9223372036854775807.0)
                continue;
            double truncated = std::trunc(*number);
            if (truncated >= 1 && truncated <= 2147483647)
                pids.push_back(static_cast<int32_t>(truncated));
            if (pids.size() > maxEntries)
                break;
        }
    }
    if (pids.empty())
        return std::nullopt;
    std::vector<std::string> names;
    if (auto it = value->find("names"); it != value->end() && it->is_array()) {
        for (auto const& element : *it) {
            if (element.is_string())
                names.push_back(element.get<std::string>());
            if (names.size() > maxEntries)
                break;
        }
    }
    std::optional<std::string> tty = JSON::toString(JSON::member(value, "tty"));
    return ProcInfo(std::move(pids), std::move(names), std::move(tty));
}

JSON::Value ProcInfo::jsonObject() const
{
    JSON::Value object = JSON::Value::object();
    JSON::Value pidList = JSON::Value::array();
    for (int32_t pid : pids)
        pidList.push_back(static_cast<int64_t>(pid));
    object["pids"] = std::move(pidList);
    object["names"] = names;
    object["tty"] = tty ? JSON::Value(*tty) : JSON::Value(nullptr);
    return object;
}

bool ProcInfo::isValidTTYName(std::string_view name)
{
    if (name.size() > maxTTYLength)
        return false;
    if (name.size() >= 4 && name.substr(0, 3) == "tty") {
        for (char c : name.substr(3))
            if (!isASCIIAlphanumeric(c))
                return false;
        return true;
    }
    // Linux pseudo-terminals: "pts/" and a number.
    if (name.size() >= 5 && name.substr(0, 4) == "pts/") {
        for (char c : name.substr(4))
            if (!isDigit(c))
                return false;
        return true;
    }
    return false;
}

}
