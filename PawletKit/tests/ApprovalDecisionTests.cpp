#include "PawletKit/ApprovalDecision.hpp"

#include <gtest/gtest.h>

using namespace PawletKit;

TEST(ApprovalDecision, RawValuesAreExact)
{
    EXPECT_EQ(ApprovalDecision::allCases.size(), 2u);
    EXPECT_EQ(ApprovalDecision(ApprovalDecision::allCases[0]).rawValue(), "allow");
    EXPECT_EQ(ApprovalDecision(ApprovalDecision::allCases[1]).rawValue(), "deny");
    EXPECT_EQ(ApprovalDecision::fromRawValue("allow"), ApprovalDecision::allow);
    EXPECT_EQ(ApprovalDecision::fromRawValue("deny"), ApprovalDecision::deny);
    for (char const* text : { "Allow", "ALLOW", "allow\n", " deny", "" })
        EXPECT_FALSE(ApprovalDecision::fromRawValue(text)) << text;
}

TEST(ApprovalDecision, HookResponse)
{
    EXPECT_EQ(JSON::serialize(ApprovalDecision(ApprovalDecision::allow).hookResponse("ignored")),
        R"({"hookSpecificOutput":{"decision":{"behavior":"allow"},"hookEventName":"PermissionRequest"}})");
    EXPECT_EQ(JSON::serialize(ApprovalDecision(ApprovalDecision::deny).hookResponse("No / thanks.")),
        R"({"hookSpecificOutput":{"decision":{"behavior":"deny","message":"No / thanks."},"hookEventName":"PermissionRequest"}})");
    EXPECT_EQ(JSON::serialize(ApprovalDecision(ApprovalDecision::deny).hookResponse("")),
        R"({"hookSpecificOutput":{"decision":{"behavior":"deny","message":""},"hookEventName":"PermissionRequest"}})");
}
