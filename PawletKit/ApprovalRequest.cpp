#include "PawletKit/ApprovalRequest.hpp"

#include <cmath>

namespace PawletKit {

namespace {

// Trailing slashes do not count; a text of slashes only is the root "/".
std::string lastPathComponent(std::string_view path)
{
    size_t end = path.size();
    while (end > 0 && path[end - 1] == '/')
        --end;
    if (end == 0)
        return path.empty() ? std::string() : std::string("/");
    size_t slash = path.rfind('/', end - 1);
    size_t begin = slash == std::string_view::npos ? 0 : slash + 1;
    return std::string(path.substr(begin, end - begin));
}

std::string stringMember(JSON::Value const& json, std::string_view key)
{
    return JSON::toString(JSON::member(&json, key)).value_or(std::string());
}

// Any number counts, by its integer part; strings such as "true" do not.
bool truncatedMember(JSON::Value const& json)
{
    JSON::Value const* value = JSON::member(&json, "truncated");
    if (!value)
        return false;
    if (value->is_boolean())
        return value->get<bool>();
    if (value->is_number_integer())
        return value->is_number_unsigned() ? value->get<uint64_t>() != 0 : value->get<int64_t>() != 0;
    if (value->is_number_float())
        return std::trunc(value->get<double>()) != 0;
    return false;
}

}

JSON::Object ApprovalRequest::jsonObject() const
{
    JSON::Object object = JSON::Object::object();
    object["schema"] = schemaVersion;
    object["id"] = id;
    object["tool"] = tool;
    object["target"] = target;
    object["summary"] = summary;
    object["truncated"] = truncated;
    object["truncatedLines"] = truncatedLines;
    object["sessionId"] = sessionId;
    object["promptId"] = promptId;
    object["cwd"] = cwd;
    object["permissionMode"] = permissionMode;
    object["hookPid"] = hookPid;
    object["createdAt"] = createdAt;
    object["expiresAt"] = expiresAt;
    return object;
}

std::optional<ApprovalRequest> ApprovalRequest::fromJSON(JSON::Value const& json)
{
    if (!json.is_object())
        return std::nullopt;
    auto id = JSON::toString(JSON::member(&json, "id"));
    if (!id || !isValidId(*id))
        return std::nullopt;

    ApprovalRequest request;
    request.id = std::move(*id);
    request.createdAt = JSON::toDouble(JSON::member(&json, "createdAt")).value_or(0);
    request.tool = stringMember(json, "tool");
    request.target = stringMember(json, "target");
    request.summary = stringMember(json, "summary");
    request.sessionId = stringMember(json, "sessionId");
    request.promptId = stringMember(json, "promptId");
    request.cwd = stringMember(json, "cwd");
    request.permissionMode = stringMember(json, "permissionMode");
    request.truncated = truncatedMember(json);
    request.truncatedLines = JSON::toInt(JSON::member(&json, "truncatedLines")).value_or(0);
    request.hookPid = JSON::toInt(JSON::member(&json, "hookPid")).value_or(0);
    request.expiresAt = JSON::toDouble(JSON::member(&json, "expiresAt"))
                            .value_or(request.createdAt + defaultWaitSeconds);
    return request;
}

bool ApprovalRequest::isValidId(std::string_view id)
{
    if (id.empty() || id.size() > maxIdLength)
        return false;
    for (char c : id) {
        bool const allowed = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '-' || c == '_';
        if (!allowed)
            return false;
    }
    return true;
}

std::string ApprovalRequest::projectName() const
{
    std::string_view path = cwd;
    if (path.size() >= 2 && path.back() == '/')
        path.remove_suffix(1);
    if (path.empty() || path == "/")
        return {};
    return lastPathComponent(path);
}

std::string ApprovalRequest::targetDisplayName() const
{
    if (!target.empty() && target.front() == '/')
        return lastPathComponent(target);
    return target;
}

}
