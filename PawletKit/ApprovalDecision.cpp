#include "PawletKit/ApprovalDecision.hpp"

#include "PawletKit/HookEvent.hpp"

namespace PawletKit {

std::optional<ApprovalDecision> ApprovalDecision::fromRawValue(std::string_view text)
{
    for (Value value : allCases)
        if (ApprovalDecision(value).rawValue() == text)
            return ApprovalDecision(value);
    return std::nullopt;
}

std::string_view ApprovalDecision::rawValue() const
{
    switch (m_value) {
    case allow:
        return "allow";
    case deny:
        return "deny";
    }
    return "deny";
}

JSON::Object ApprovalDecision::hookResponse(std::string_view message) const
{
    JSON::Object decision = JSON::Object::object();
    decision["behavior"] = std::string(rawValue());
    if (m_value == deny)
        decision["message"] = std::string(message);
    JSON::Object output = JSON::Object::object();
    output["hookEventName"] = HookEvent::permissionRequest;
    output["decision"] = std::move(decision);
    JSON::Object response = JSON::Object::object();
    response["hookSpecificOutput"] = std::move(output);
    return response;
}

}
