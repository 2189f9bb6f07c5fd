#pragma once

#include <filesystem>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace PupnikCore::Entitlements {

// An installation lists the cloud containers it may use in share/pupnik/entitlements.json, a JSON
// object holding the container identifiers under this key (an array of strings, or one string).
inline constexpr std::string_view entitlementKey = "com.apple.developer.icloud-container-identifiers";
inline constexpr std::string_view containerIdentifier = "iCloud.com.ardlow.tailbase";
inline constexpr std::string_view fileName = "entitlements.json";
inline constexpr size_t maxFileBytes = 64 * 1024;

// An array of strings is that list, one string a list of itself; anything else an empty list.
std::vector<std::string> containersFromValue(nlohmann::json const* value);
// The listing of one entitlements file; empty when it is missing, empty or malformed.
std::vector<std::string> containersInFile(std::filesystem::path const& file);

// The containers granted to the running installation; empty when it cannot be found.
std::vector<std::string> iCloudContainers();
bool hasContainer(std::string_view identifier);

// The containers granted to the installation around an executable (in <prefix>/bin or
// <prefix>/libexec/pupnik); nothing when there is no such executable.
std::optional<std::vector<std::string>> iCloudContainers(std::filesystem::path const& executable);
bool hasContainer(std::string_view identifier, std::filesystem::path const& executable);

}
