#include "app-core/CloudErrorText.hpp"

#include <array>
#include <utility>

namespace PupnikCore::CloudErrorText {

namespace {

constexpr std::array<std::pair<int, std::string_view>, 22> codeNames { {
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
} };

}

std::string codeName(int code)
{
    for (auto const& [value, name] : codeNames)
        if (value == code)
            return std::string(name);
    return "code" + std::to_string(code);
}

std::string accountStatusName(Platform::CloudAccountStatus status)
{
    switch (status) {
    case Platform::CloudAccountStatus::couldNotDetermine:
        return "couldNotDetermine";
    case Platform::CloudAccountStatus::available:
        return "available";
    case Platform::CloudAccountStatus::restricted:
        return "restricted";
    case Platform::CloudAccountStatus::noAccount:
        return "noAccount";
    case Platform::CloudAccountStatus::temporarilyUnavailable:
        return "temporarilyUnavailable";
    }
    return "unknown(" + std::to_string(static_cast<int>(status)) + ")";
}

std::string_view domainName(Platform::CloudError::Domain domain)
{
    switch (domain) {
    case Platform::CloudError::Domain::cloud:
        return "CKError";
    case Platform::CloudError::Domain::system:
        return "system";
    case Platform::CloudError::Domain::decoding:
        return "decoding";
    }
    return "unknown";
}

std::string describe(Platform::CloudError const& error)
{
    if (error.isCloud())
        return "CKError." + codeName(error.code) + "(" + std::to_string(error.code) + "): " + error.description;
    return std::string(domainName(error.domain)) + "(" + std::to_string(error.code) + "): " + error.description;
}

std::string shortMessage(Platform::CloudError const& error)
{
    if (error.isCloud())
        return codeName(error.code) + ": " + error.description;
    return error.description;
}

}
