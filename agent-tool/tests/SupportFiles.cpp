#include "SupportFiles.hpp"

#include <algorithm>
#include <fstream>
#include <sstream>

namespace SupportFiles {

std::vector<std::string> lines(std::filesystem::path const& file)
{
    std::vector<std::string> result;
    std::ifstream stream(file);
    for (std::string line; std::getline(stream, line);)
        result.push_back(line);
    return result;
}

std::vector<nlohmann::json> events(std::filesystem::path const& supportDirectory)
{
    std::vector<nlohmann::json> result;
    for (auto const& line : lines(supportDirectory / "events.jsonl")) {
        auto value = nlohmann::json::parse(line, nullptr, false);
        result.push_back(value.is_object() ? value : nlohmann::json());
    }
    return result;
}

std::vector<std::string> logMessages(std::filesystem::path const& supportDirectory)
{
    std::vector<std::string> result;
    for (auto const& line : lines(supportDirectory / "agent.log")) {
        auto end = line.find("] ");
        result.push_back(end == std::string::npos ? line : line.substr(end + 2));
    }
    return result;
}

std::vector<std::string> fileNames(std::filesystem::path const& folder)
{
    std::vector<std::string> result;
    std::error_code error;
    for (auto const& entry : std::filesystem::directory_iterator(folder, error))
        result.push_back(entry.path().filename().string());
    std::sort(result.begin(), result.end());
    return result;
}

void writeAtomically(std::filesystem::path const& file, std::string_view bytes)
{
    auto temporary = file.parent_path() / ("." + file.filename().string() + ".tmp");
    {
        std::ofstream stream(temporary, std::ios::binary);
        stream << bytes;
    }
    std::filesystem::rename(temporary, file);
}

}
