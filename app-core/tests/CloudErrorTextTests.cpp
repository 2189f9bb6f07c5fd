#include "app-core/CloudErrorText.hpp"

#include <gtest/gtest.h>

using namespace PupnikCore;
using Platform::CloudAccountStatus;
using Platform::CloudError;

TEST(CloudErrorText, CodeNamesCoverTheNamedCodesAndSpellTheOthersAsNumbers)
{
    struct Case {
        int code;
        std::string_view name;
    } const cases[] = {
        { 1, "internalError" },
        { 2, "partialFailure" },
        { 3, "networkUnavailable" },
        { 4, "networkFailure" },
        { 5, "badContainer" },
        { 6, "serviceUnavailable" },
        { 7, "requestRateLimited" },
        { 8, "missingEntitlement" },
        { 9, "notAuthenticated" },
        { 10, "permissionFailure" },
        { 11, "unknownItem" },
        { 12, "invalidArguments" },
        { 14, "serverRecordChanged" },
        { 15, "serverRejectedRequest" },
        { 16, "assetFileNotFound" },
        { 23, "zoneBusy" },
        { 24, "badDatabase" },
        { 25, "quotaExceeded" },
        { 26, "zoneNotFound" },
        { 27, "limitExceeded" },
        { 28, "userDeletedZone" },
        { 36, "accountTemporarilyUnavailable" },
        { 0, "code0" },
        { 13, "code13" },
        { 17, "code17" },
        { 22, "code22" },
        { 29, "code29" },
        { 35, "code35" },
        { 37, "code37" },
        { -1, "code-1" },
    };
    for (auto const& test : cases)
        EXPECT_EQ(CloudErrorText::codeName(test.code), test.name) << test.code;
}

TEST(CloudErrorText, AccountStatusNamesIncludeValuesNotKnownYet)
{
    struct Case {
        int status;
        std::string_view name;
    } const cases[] = {
        { 0, "couldNotDetermine" },
        { 1, "available" },
        { 2, "restricted" },
        { 3, "noAccount" },
        { 4, "temporarilyUnavailable" },
        { 5, "unknown(5)" },
        { -3, "unknown(-3)" },
    };
    for (auto const& test : cases)
        EXPECT_EQ(CloudErrorText::accountStatusName(static_cast<CloudAccountStatus>(test.status)), test.name) << test.status;
}

TEST(CloudErrorText, FullAndShortTextsOfTheServicesAndOtherErrors)
{
    struct Case {
        CloudError error;
        std::string_view full;
        std::string_view shortText;
    } const cases[] = {
        { CloudError::cloud(9, "No iCloud account"), "CKError.notAuthenticated(9): No iCloud account", "notAuthenticated: No iCloud account" },
        { CloudError::cloud(20, "odd"), "CKError.code20(20): odd", "code20: odd" },
        { CloudError::system(13, "Permission denied"), "system(13): Permission denied", "Permission denied" },
        { CloudError::decoding("not a record"), "decoding(0): not a record", "not a record" },
    };
    for (auto const& test : cases) {
        EXPECT_EQ(CloudErrorText::describe(test.error), test.full);
        EXPECT_EQ(CloudErrorText::shortMessage(test.error), test.shortText);
    }
}
