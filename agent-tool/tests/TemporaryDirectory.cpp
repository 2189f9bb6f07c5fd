#include "TemporaryDirectory.hpp"

#include <cstdlib>
#include <stdexcept>
#include <string>

TemporaryDirectory::TemporaryDirectory()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "pupnik-hook-test-XXXXXX").string();
    if (!::mkdtemp(pattern.data()))
        throw std::runtime_error("mkdtemp failed");
    m_path = pattern;
}

TemporaryDirectory::~TemporaryDirectory()
{
    std::error_code error;
    std::filesystem::permissions(m_path, std::filesystem::perms::owner_all, error);
    std::filesystem::remove_all(m_path, error);
}
