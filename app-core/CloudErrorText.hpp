#pragma once

#include "platform/CloudAccountStatus.hpp"
#include "platform/CloudError.hpp"

#include <string>
#include <string_view>

namespace PupnikCore::CloudErrorText {

// "internalError", "notAuthenticated", ...; "code" + the number for a code without a name.
std::string codeName(int code);
// "available", "noAccount", ...; "unknown(<value>)" for a value the service may add later.
std::string accountStatusName(Platform::CloudAccountStatus status);
// The full text for the log: "CKError.<name>(<code>): <description>" for the service's own errors,
// "<domain>(<code>): <description>" for the others.
std::string describe(Platform::CloudError const& error);
// The text behind the menu's error line: "<name>: <description>" for the service's own errors,
// the description alone for the others.
std::string shortMessage(Platform::CloudError const& error);
std::string_view domainName(Platform::CloudError::Domain domain);

}
