#include "PawletKit/JSON.hpp"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>

using namespace PawletKit;
using JSON::Value;

TEST(JSON, DoubleReadsNumbersAndNumericTextOnly)
{
    struct Case {
        Value value;
        std::optional<double> expected;
    };
    Case const cases[] = {
        { Value(" 12 "), 12 },
        { Value("\t12"), 12 },
        { Value("12\n"), std::nullopt },
        { Value("\n12"), std::nullopt },
        { Value("1e3"), 1000 },
        { Value("0x10"), 16 },
        { Value("nan"), std::nullopt },
        { Value("inf"), std::nullopt },
        { Value(""), std::nullopt },
        { Value("12abc"), std::nullopt },
        { Value(true), std::nullopt },
        { Value(nullptr), std::nullopt },
        { Value::array({ 1 }), std::nullopt },
        { Value(2.5), 2.5 },
        { Value(7), 7 },
    };
    for (auto const& c : cases)
        EXPECT_EQ(JSON::toDouble(&c.value), c.expected) << c.value.dump();
    EXPECT_EQ(JSON::toDouble(nullptr), std::nullopt);
}

TEST(JSON, IntTruncatesAndSaturates)
{
    struct Case {
        Value value;
        std::optional<int64_t> expected;
    };
    Case const cases[] = {
        { Value(12.9), 12 },
        { Value(-12.9), -12 },
        { Value(1e19), std::numeric_limits<int64_t>::max() },
        { Value(-1e19), std::numeric_limits<int64_t>::min() },
        { Value("7"), 7 },
        { Value(9007199254740993LL), 9007199254740993LL },
        { Value(false), std::nullopt },
    };
    for (auto const& c : cases)
        EXPECT_EQ(JSON::toInt(&c.value), c.expected) << c.value.dump();
}

TEST(JSON, StringReadsTextAndNumbers)
{
    struct Case {
        Value value;
        std::optional<std::string> expected;
    };
    Case const cases[] = {
        { Value("a/b"), "a/b" },
        { Value(42), "42" },
        { Value(42.0), "42" },
        { Value(1.5), "1.5" },
        { Value(true), std::nullopt },
        { Value(nullptr), std::nullopt },
        { Value::object(), std::nullopt },
    };
    for (auto const& c : cases)
        EXPECT_EQ(JSON::toString(&c.value), c.expected) << c.value.dump();
}

TEST(JSON, Timestamp)
{
    struct Case {
        Value value;
        std::optional<double> expected;
    };
    Case const cases[] = {
        { Value(1.7e9), 1.7e9 },
        { Value(1.7e12), 1.7e9 },
        { Value(1e12), 1e12 },
        { Value("1700000000000"), 1.7e9 },
        { Value(0), std::nullopt },
        { Value(-5), std::nullopt },
        { Value("2023-11-14T22:13:20Z"), 1700000000 },
        { Value("2023-11-14T22:13:20.25Z"), 1700000000.25 },
        { Value("2023-11-14T23:13:20+01:00"), 1700000000 },
        { Value("yesterday"), std::nullopt },
        { Value(true), std::nullopt },
    };
    for (auto const& c : cases)
        EXPECT_EQ(JSON::timestamp(&c.value), c.expected) << c.value.dump();
}

TEST(JSON, LookupStopsAtNonObjectsAndNull)
{
    Value root = Value::parse(R"({"a":{"b":[1],"c":"x","d":null,"e":{"f":3}}})");
    EXPECT_EQ(JSON::lookup(&root, { "a", "e", "f" })->get<int>(), 3);
    EXPECT_EQ(JSON::lookup(&root, { "a", "b", "0" }), nullptr);
    EXPECT_EQ(JSON::lookup(&root, { "a", "c", "x" }), nullptr);
    EXPECT_EQ(JSON::lookup(&root, { "a", "d" }), nullptr);
    EXPECT_EQ(JSON::lookup(&root, { "missing" }), nullptr);
    EXPECT_EQ(JSON::lookup(&root, std::initializer_list<std::string_view> {}), &root);
    Value null;
    EXPECT_EQ(JSON::lookup(&null, std::initializer_list<std::string_view> {}), nullptr);
}

TEST(JSON, SerializeRefusesWhatIsNotADocument)
{
    EXPECT_EQ(JSON::serialize(Value("bare")), std::nullopt);
    EXPECT_EQ(JSON::serialize(Value { { "x", std::nan("") } }), std::nullopt);
    EXPECT_EQ(JSON::serialize(Value { { "x", Value::array({ std::numeric_limits<double>::infinity() }) } }), std::nullopt);
    EXPECT_EQ(JSON::serialize(Value { { "x", std::string("\xff\xfe") } }), std::nullopt);
    EXPECT_EQ(JSON::serialize(Value { { "b", 1 }, { "a", "x/y" } }), R"({"a":"x/y","b":1})");
    EXPECT_EQ(JSON::serialize(Value { { "é", "ü" } }), "{\"é\":\"ü\"}");
    auto pretty = JSON::serialize(Value { { "a", 1 } }, true);
    ASSERT_TRUE(pretty);
    EXPECT_NE(pretty->find('\n'), std::string::npos);
}

TEST(JSON, IsEqual)
{
    Value one(1), oneDouble(1.0), yes(true), null;
    Value a = Value::parse(R"({"x":1,"y":[1,"a"]})");
    Value b = Value::parse(R"({"y":[1.0,"a"],"x":1})");
    EXPECT_FALSE(JSON::isEqual(&yes, &one));
    EXPECT_TRUE(JSON::isEqual(&one, &oneDouble));
    EXPECT_TRUE(JSON::isEqual(&a, &b));
    EXPECT_FALSE(JSON::isEqual(&null, nullptr));
    EXPECT_TRUE(JSON::isEqual(nullptr, nullptr));
    EXPECT_TRUE(JSON::isEqual(&null, &null));
}

TEST(JSON, ParseAllowsFragmentsAndSurvivesDeepNesting)
{
    EXPECT_EQ(JSON::parse("\"s\""), Value("s"));
    EXPECT_EQ(JSON::parse("null"), Value());
    EXPECT_THROW(JSON::parse("{"), nlohmann::json::exception);
    std::string deep(1 << 20, '[');
    EXPECT_THROW(JSON::parse(deep), nlohmann::json::exception);
    // Deep values would overflow the stack when copied or compared later, so they are refused here.
    std::string closed = std::string(100000, '[') + std::string(100000, ']');
    EXPECT_THROW(JSON::parse(closed), nlohmann::json::exception);
    std::string limit = std::string(JSON::maxNestingDepth, '[') + std::string(JSON::maxNestingDepth, ']');
    EXPECT_NO_THROW(JSON::parse(limit));
    EXPECT_THROW(JSON::parse("[" + limit + "]"), nlohmann::json::exception);
    std::string bracketsInText = "[\"" + std::string(10000, '{') + "\\\"[\"]";
    EXPECT_EQ(JSON::parse(bracketsInText)[0].get<std::string>().size(), 10002u);
}
