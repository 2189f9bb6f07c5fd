#include "app-core/CloudErrorText.hpp"

#include <array>
#include <utility>

namespace PupnikCore::CloudErrorText {

namespace {

// Spelt as the codes are named, so each name is its constant's own.
constexpr std::array<std::pair<int, std::string_view>, 22> codeNames { {
    { Platform::CloudErrorCode::internalError, "internalError" },
    { Platform::CloudErrorCode::partialFailure, "partialFailure" },
    { Platform::CloudErrorCode::networkUnavailable, "networkUnavailable" },
    { Platform::CloudErrorCode::networkFailure, "networkFailure" },
    { Platform::CloudErrorCode::badContainer, "badContainer" },
    { Platform::CloudErrorCode::serviceUnavailable, "serviceUnavailable" },
    { Platform::CloudErrorCode::requestRateLimited, "requestRateLimited" },
    { Platform::CloudErrorCode::missingEntitlement, "missingEntitlement" },
    { Platform::CloudErrorCode::notAuthenticated, "notAuthenticated" },
    { Platform::CloudErrorCode::permissionFailure, "permissionFailure" },
    { Platform::CloudErrorCode::unknownItem, "unknownItem" },
    { Platform::CloudErrorCode::invalidArguments, "invalidArguments" },
    { Platform::CloudErrorCode::serverRecordChanged, "serverRecordChanged" },
    { Platform::CloudErrorCode::serverRejectedRequest, "serverRejectedRequest" },
    { Platform::CloudErrorCode::assetFileNotFound, "assetFileNotFound" },
    { Platform::CloudErrorCode::zoneBusy, "zoneBusy" },
    { Platform::CloudErrorCode::badDatabase, "badDatabase" },
    { Platform::CloudErrorCode::quotaExceeded, "quotaExceeded" },
    { Platform::CloudErrorCode::zoneNotFound, "zoneNotFound" },
    { Platform::CloudErrorCode::limitExceeded, "limitExceeded" },
    { Platform::CloudErrorCode::userDeletedZone, "userDeletedZone" },
    { Platform::CloudErrorCode::accountTemporarilyUnavailable, "accountTemporarilyUnavailable" },
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
