#include "platform/InstanceSocket.hpp"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>

namespace Platform {

std::filesystem::path InstanceSocket::folder(PawletKit::Environment const& environment, uid_t uid)
{
    auto runtime = environment.find(std::string(runtimeVariable));
    if (runtime != environment.end() && !runtime->second.empty() && runtime->second.front() == '/'
        && runtime->second.find('\0') == std::string::npos)
        return std::filesystem::path(runtime->second).lexically_normal() / "pupnik";
    return std::filesystem::path("/tmp") / ("pupnik-" + std::to_string(uid));
}

std::string InstanceSocket::socketName(std::filesystem::path const& supportFolder)
{
    auto text = supportFolder.lexically_normal().string();
    while (text.size() > 1 && text.back() == '/')
        text.pop_back();
    // FNV-1a: stable across runs and builds, which the standard library's hash need not be.
    uint64_t hash = 14695981039346656037ull;
    for (unsigned char byte : text) {
        hash ^= byte;
        hash *= 1099511628211ull;
    }
    char name[32];
    std::snprintf(name, sizeof name, "%016llx.socket", static_cast<unsigned long long>(hash));
    return name;
}

std::optional<std::string> InstanceSocket::folderProblem(FolderFacts const& facts, uid_t uid)
{
    if (!facts.exists)
        return "it does not exist";
    if (!facts.isDirectory)
        return "it is not a directory";
    if (facts.owner != uid)
        return "it belongs to user " + std::to_string(facts.owner);
    if ((facts.mode & 077) != 0) {
        char mode[8];
        std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(facts.mode & 07777));
        return std::string("others may enter it (mode ") + mode + ")";
    }
    return std::nullopt;
}

InstanceSocket::FolderFacts InstanceSocket::inspect(std::filesystem::path const& folder)
{
    struct stat status { };
    if (::lstat(folder.c_str(), &status) != 0)
        return {};
    return { true, S_ISDIR(status.st_mode), status.st_uid, status.st_mode };
}

InstanceSocket::Location InstanceSocket::locate(PawletKit::Environment const& environment, uid_t uid,
    std::filesystem::path const& supportFolder, bool create)
{
    auto const where = folder(environment, uid);
    auto const path = where / socketName(supportFolder);
    if (path.native().size() > maxPathBytes)
        return { std::nullopt, "the socket path " + path.string() + " is too long" };
    // mkdir never follows a link at the last component and fails on anything already there.
    if (create && ::mkdir(where.c_str(), 0700) != 0 && errno != EEXIST)
        return { std::nullopt, "cannot create " + where.string() + ": " + std::strerror(errno) };
    if (auto problem = folderProblem(inspect(where), uid))
        return { std::nullopt, where.string() + " cannot hold the socket: " + *problem };
    return { path, {} };
}

}
