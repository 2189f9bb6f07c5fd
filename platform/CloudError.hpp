#pragma once

#include <string>

namespace Platform {

// The numeric codes of the cloud service's own failures, as its callers switch on them.
namespace CloudErrorCode {
inline constexpr int internalError = 1;
inline constexpr int partialFailure = 2;
inline constexpr int networkUnavailable = 3;
inline constexpr int networkFailure = 4;
inline constexpr int badContainer = 5;
inline constexpr int serviceUnavailable = 6;
inline constexpr int requestRateLimited = 7;
inline constexpr int missingEntitlement = 8;
inline constexpr int notAuthenticated = 9;
inline constexpr int permissionFailure = 10;
inline constexpr int unknownItem = 11;
inline constexpr int invalidArguments = 12;
inline constexpr int serverRecordChanged = 14;
inline constexpr int serverRejectedRequest = 15;
inline constexpr int assetFileNotFound = 16;
inline constexpr int zoneBusy = 23;
inline constexpr int badDatabase = 24;
inline constexpr int quotaExceeded = 25;
inline constexpr int zoneNotFound = 26;
inline constexpr int limitExceeded = 27;
inline constexpr int userDeletedZone = 28;
inline constexpr int accountTemporarilyUnavailable = 36;
}

// A failed cloud operation. Cloud errors carry one of the codes above; system errors an errno from
// the store's files; decoding errors mean a stored record could not be read as one.
struct CloudError {
    enum class Domain {
        cloud,
        system,
        decoding,
    };

    Domain domain { Domain::cloud };
    int code { 0 };
    std::string description;

    static CloudError cloud(int code, std::string description) { return { Domain::cloud, code, std::move(description) }; }
    static CloudError system(int errorNumber, std::string description) { return { Domain::system, errorNumber, std::move(description) }; }
    static CloudError decoding(std::string description) { return { Domain::decoding, 0, std::move(description) }; }

    bool isCloud() const { return domain == Domain::cloud; }
    bool isCloud(int cloudCode) const { return isCloud() && code == cloudCode; }

    bool operator==(CloudError const&) const = default;
};

}
