#include "PawletKit/Paths.hpp"

#include "PawletKit/CharacterSets.hpp"

#include <cerrno>
#include <pwd.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

// Weak: a statically linked program (the agent tool) then does not pull in the C library's account
// lookup, which loads shared NSS modules at run time; there the lookup is skipped.
#pragma weak getpwuid

namespace PawletKit {

std::filesystem::path Paths::homeDirectory(Environment const& environment)
{
    if (auto it = environment.find("HOME"); it != environment.end() && !it->second.empty())
        return it->second;
    if (passwd const* entry = &getpwuid ? getpwuid(getuid()) : nullptr; entry && entry->pw_dir)
        return entry->pw_dir;
    return "/";
}

Paths::Paths(Environment const& environment)
{
    if (auto it = environment.find(std::string(supportDirVariable)); it != environment.end()) {
        if (auto value = std::string(CharacterSets::trimmingWhitespaceAndNewlines(it->second)); !value.empty()) {
            m_base = standardized(value);
            return;
        }
    }
    // XDG says a relative XDG_DATA_HOME is to be ignored.
    std::filesystem::path dataHome;
    if (auto it = environment.find("XDG_DATA_HOME"); it != environment.end() && !it->second.empty() && it->second.front() == '/')
        dataHome = it->second;
    else
        dataHome = homeDirectory(environment) / ".local" / "share";
    m_base = standardized(dataHome / "Pupnik");
}

Paths Paths::withBase(std::filesystem::path const& base)
{
    Paths paths;
    paths.m_base = standardized(base);
    return paths;
}

std::filesystem::path Paths::standardized(std::filesystem::path const& path)
{
    std::error_code error;
    auto absolute = std::filesystem::absolute(path, error);
    auto normal = (error ? path : absolute).lexically_normal();
    // "/a/b/" and "/a/b" name the same folder; keep one spelling so equality holds.
    auto text = normal.string();
    while (text.size() > 1 && text.back() == '/')
        text.pop_back();
    return text;
}

void Paths::ensureDirectory(std::filesystem::path const& path)
{
    struct stat info { };
    if (::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode))
        return;
    std::filesystem::path partial;
    for (auto const& component : path) {
        partial /= component;
        if (component.empty() || component == "/")
            continue;
        if (::mkdir(partial.c_str(), 0700) == 0)
            continue;
        int error = errno;
        if (error == EEXIST && ::stat(partial.c_str(), &info) == 0 && S_ISDIR(info.st_mode))
            continue;
        if (error == EEXIST)
            error = ENOTDIR;
        throw std::system_error(error, std::generic_category(), "mkdir " + partial.string());
    }
}

void Paths::ensureSupportDirectory() const
{
    ensureDirectory(m_base);
}

void Paths::ensureDirectories() const
{
    ensureDirectory(m_base);
    ensureDirectory(binDirectory());
}

}
