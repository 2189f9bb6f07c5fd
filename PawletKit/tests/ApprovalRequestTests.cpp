#include "PawletKit/ApprovalRequest.hpp"

#include <gtest/gtest.h>

using namespace PawletKit;
using JSON::Value;

namespace {

ApprovalRequest sampleRequest()
{
    return ApprovalRequest {
        .id = "0b9a6c1e-0000-4000-8000-00000000abcd",
        .tool = "Bash",
        .target = "run/the tests",
        .summary = "npm test\nline two \"quoted\" caf\xC3\xA9",
        .truncated = true,
        .truncatedLines = 12,
        .sessionId = "s-1",
        .promptId = "p-1",
        .cwd = "/home/me/proj",
        .permissionMode = "default",
        .hookPid = 4242,
        .createdAt = 1700000000.25,
        .expiresAt = 1700000115.25,
    };
}

}

TEST(ApprovalRequest, EncodesEveryMemberCompactlyWithSortedKeys)
{
    ApprovalRequest request {
        .id = "abc",
        .tool = "",
        .target = "/p/x",
        .summary = "",
        .truncated = false,
        .truncatedLines = 0,
        .sessionId = "",
        .promptId = "",
        .cwd = "",
        .permissionMode = "",
        .hookPid = 7,
        .createdAt = 1000.5,
        .expiresAt = 1115.5,
    };
    EXPECT_EQ(JSON::serialize(request.jsonObject()),
        R"({"createdAt":1000.5,"cwd":"","expiresAt":1115.5,"hookPid":7,"id":"abc","permissionMode":"","promptId":"",)"
        R"("schema":1,"sessionId":"","summary":"","target":"/p/x","tool":"","truncated":false,"truncatedLines":0})");

    request.createdAt = std::numeric_limits<double>::quiet_NaN();
    EXPECT_FALSE(JSON::serialize(request.jsonObject()));
}

TEST(ApprovalRequest, RoundTripsThroughItsJSONText)
{
    ApprovalRequest const request = sampleRequest();
    auto text = JSON::serialize(request.jsonObject());
    ASSERT_TRUE(text);
    auto decoded = ApprovalRequest::fromJSON(JSON::parse(*text));
    ASSERT_TRUE(decoded);
    EXPECT_EQ(*decoded, request);

    Value withOtherSchema = request.jsonObject();
    withOtherSchema["schema"] = "whatever";
    EXPECT_EQ(ApprovalRequest::fromJSON(withOtherSchema), request);
}

TEST(ApprovalRequest, DecodesLenientlyWithDefaults)
{
    auto onlyId = ApprovalRequest::fromJSON(Value { { "id", "x" } });
    ASSERT_TRUE(onlyId);
    ApprovalRequest expected;
    expected.id = "x";
    expected.expiresAt = 115;
    EXPECT_EQ(*onlyId, expected);

    struct Case {
        char const* json;
        char const* field;
        Value expected;
    };
    Case const cases[] = {
        { R"({"id":"x","createdAt":1000})", "expiresAt", 1115.0 },
        { R"({"id":"x","createdAt":1000,"expiresAt":"2000"})", "expiresAt", 2000.0 },
        { R"({"id":"x","createdAt":"soon","expiresAt":true})", "expiresAt", 115.0 },
        { R"({"id":"x","truncated":true})", "truncated", true },
        { R"({"id":"x","truncated":1})", "truncated", true },
        { R"({"id":"x","truncated":3.2})", "truncated", true },
        { R"({"id":"x","truncated":-1.5})", "truncated", true },
        { R"({"id":"x","truncated":false})", "truncated", false },
        { R"({"id":"x","truncated":0})", "truncated", false },
        { R"({"id":"x","truncated":0.9})", "truncated", false },
        { R"({"id":"x","truncated":"true"})", "truncated", false },
        { R"({"id":"x","truncated":null})", "truncated", false },
        { R"({"id":"x","truncatedLines":12.9})", "truncatedLines", 12 },
        { R"({"id":"x","truncatedLines":"7"})", "truncatedLines", 7 },
        { R"({"id":"x","truncatedLines":true})", "truncatedLines", 0 },
        { R"({"id":"x","hookPid":" 99 "})", "hookPid", 99 },
        { R"({"id":"x","tool":5})", "tool", "5" },
        { R"({"id":"x","tool":null})", "tool", "" },
        { R"({"id":"x","cwd":["/a"],"sessionId":{"a":1}})", "cwd", "" },
        { R"({"id":"x","cwd":["/a"],"sessionId":{"a":1}})", "sessionId", "" },
    };
    for (auto const& c : cases) {
        auto request = ApprovalRequest::fromJSON(JSON::parse(c.json));
        ASSERT_TRUE(request) << c.json;
        Value encoded = request->jsonObject();
        EXPECT_TRUE(JSON::isEqual(&encoded[c.field], &c.expected)) << c.json << " gave " << encoded[c.field];
    }
}

TEST(ApprovalRequest, AcceptsOnlyIdsThatCanNameAFile)
{
    std::string const longest = std::string(31, 'a') + "-_" + std::string(31, 'Z');
    struct Case {
        char const* json;
        bool accepted;
    };
    std::string const longestJSON = R"({"id":")" + longest + R"("})";
    std::string const tooLongJSON = R"({"id":")" + longest + R"(0"})";
    Case const cases[] = {
        { longestJSON.c_str(), true },
        { R"({"id":7})", true },
        { R"({"id":"AZaz09-_"})", true },
        { tooLongJSON.c_str(), false },
        { R"({})", false },
        { R"({"id":""})", false },
        { R"({"id":"a.b"})", false },
        { R"({"id":"../x"})", false },
        { R"({"id":"a/b"})", false },
        { R"({"id":"a b"})", false },
        { R"({"id":"a\r\n"})", false },
        { R"({"id":"caf\u00e9"})", false },
        { R"({"id":true})", false },
        { R"({"id":null})", false },
        { R"(["x"])", false },
        { R"("x")", false },
    };
    for (auto const& c : cases)
        EXPECT_EQ(ApprovalRequest::fromJSON(JSON::parse(c.json)).has_value(), c.accepted) << c.json;
    EXPECT_EQ(ApprovalRequest::fromJSON(JSON::parse(R"({"id":7})"))->id, "7");
}

TEST(ApprovalRequest, DisplayNames)
{
    struct Case {
        std::string text;
        std::string project;
        std::string target;
    };
    Case const cases[] = {
        { "", "", "" },
        { "/", "", "/" },
        { "//", "", "/" },
        { "/Users/me/proj/", "proj", "proj" },
        { "/Users/me/proj", "proj", "proj" },
        { "/Users/me/proj//", "proj", "proj" },
        { "proj", "proj", "proj" },
        { "/etc/hosts", "hosts", "hosts" },
        { "npm test", "npm test", "npm test" },
        { "src/main.c", "main.c", "src/main.c" },
    };
    for (auto const& c : cases) {
        ApprovalRequest request;
        request.cwd = c.text;
        request.target = c.text;
        EXPECT_EQ(request.projectName(), c.project) << c.text;
        EXPECT_EQ(request.targetDisplayName(), c.target) << c.text;
    }
}
