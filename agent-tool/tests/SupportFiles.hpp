#pragma once

#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>
#include <vector>

// Reading back what the tool left in a support directory.
namespace SupportFiles {

// Every line of events.jsonl; a line that is not a JSON object comes back as a JSON null.
std::vector<nlohmann::json> events(std::filesystem::path const& supportDirectory);
std::vector<std::string> lines(std::filesystem::path const& file);
// The log's messages, without the time and process id that begin each line.
std::vector<std::string> logMessages(std::filesystem::path const& supportDirectory);
std::vector<std::string> fileNames(std::filesystem::path const& folder);
// Writes through a temporary name and a rename, as the application does.
void writeAtomically(std::filesystem::path const& file, std::string_view bytes);

}
