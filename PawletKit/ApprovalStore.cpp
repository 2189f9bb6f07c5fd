#include "PawletKit/ApprovalStore.hpp"

#include "PawletKit/AtomicFile.hpp"
#include "PawletKit/CharacterSets.hpp"
#include "PawletKit/RegularFile.hpp"
#include "PawletKit/Text.hpp"
#include "PawletKit/UUID.hpp"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <sys/stat.h>
#include <unistd.h>

namespace PawletKit {

namespace fs = std::filesystem;

namespace {

bool endsWith(std::string_view text, std::string_view suffix)
{
    return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

std::string fileName(std::string_view id, std::string_view extension)
{
    std::string name(id);
    name += '.';
    name += extension;
    return name;
}

void unlinkIgnoringFailure(fs::path const& path)
{
    ::unlink(path.c_str());
}

}

ApprovalStore::ApprovalStore(fs::path dir)
    : m_dir(std::move(dir))
{
}

ApprovalStore::ApprovalStore(Paths const& supportDir)
    : m_dir(supportDir.approvalsDirectory())
{
}

std::string ApprovalStore::newId()
{
    return UUID::randomV4();
}

std::optional<fs::path> ApprovalStore::requestURL(std::string_view id) const
{
    if (!ApprovalRequest::isValidId(id))
        return std::nullopt;
    return m_dir / fileName(id, requestExtension);
}

std::optional<fs::path> ApprovalStore::replyURL(std::string_view id) const
{
    if (!ApprovalRequest::isValidId(id))
        return std::nullopt;
    return m_dir / fileName(id, replyExtension);
}

bool ApprovalStore::ensureDirectory() const
{
    struct stat info { };
    if (::stat(m_dir.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        try {
            Paths::ensureDirectory(m_dir);
        } catch (std::exception const&) {
            return false;
        }
    }
    ::chmod(m_dir.c_str(), 0700);
    return true;
}

bool ApprovalStore::writeAtomically(std::string_view bytes, fs::path const& target) const
{
    if (!ensureDirectory())
        return false;
    try {
        AtomicFile::write(target, bytes, 0600);
        return true;
    } catch (std::exception const&) {
        return false;
    }
}

bool ApprovalStore::write(ApprovalRequest const& request) const
{
    auto target = requestURL(request.id);
    if (!target)
        return false;
    auto bytes = JSON::serialize(request.jsonObject());
    if (!bytes)
        return false;
    return writeAtomically(*bytes, *target);
}

std::optional<ApprovalRequest> ApprovalStore::request(std::string_view id) const
{
    auto path = requestURL(id);
    if (!path)
        return std::nullopt;
    auto bytes = RegularFile::read(*path, maxRequestBytes);
    if (!bytes)
        return std::nullopt;
    JSON::Value json;
    try {
        json = JSON::parse(*bytes);
    } catch (JSON::Value::exception const&) {
        return std::nullopt;
    }
    return ApprovalRequest::fromJSON(json);
}

std::vector<std::string> ApprovalStore::entryNames() const
{
    std::vector<std::string> names;
    std::error_code error;
    fs::directory_iterator it(m_dir, error);
    if (error)
        return names;
    for (; it != fs::directory_iterator(); it.increment(error)) {
        if (error)
            break;
        names.push_back(it->path().filename().string());
    }
    return names;
}

std::vector<ApprovalRequest> ApprovalStore::pendingRequests() const
{
    std::string const suffix = "." + std::string(requestExtension);
    std::vector<ApprovalRequest> requests;
    for (auto const& name : entryNames()) {
        if (name.starts_with('.') || !endsWith(name, suffix))
            continue;
        if (auto request = this->request(std::string_view(name).substr(0, name.size() - suffix.size())))
            requests.push_back(std::move(*request));
    }
    std::stable_sort(requests.begin(), requests.end(), [](ApprovalRequest const& a, ApprovalRequest const& b) {
        if (a.createdAt != b.createdAt)
            return a.createdAt > b.createdAt;
        return a.id < b.id;
    });
    return requests;
}

std::set<std::string> ApprovalStore::pendingSessionIds() const
{
    std::set<std::string> ids;
    for (auto const& request : pendingRequests())
        if (!request.sessionId.empty())
            ids.insert(request.sessionId);
    return ids;
}

bool ApprovalStore::writeReply(std::string_view id, ApprovalDecision decision) const
{
    auto target = replyURL(id);
    if (!target)
        return false;
    return writeAtomically(decision.rawValue(), *target);
}

std::optional<ApprovalDecision> ApprovalStore::readReply(std::string_view id) const
{
    auto path = replyURL(id);
    if (!path)
        return std::nullopt;
    auto bytes = RegularFile::read(*path, maxReplyBytes);
    if (!bytes)
        return std::nullopt;
    std::string const text = Text::replacingInvalidUTF8(*bytes);
    return ApprovalDecision::fromRawValue(CharacterSets::trimmingWhitespaceAndNewlines(text));
}

void ApprovalStore::remove(std::string_view id) const
{
    if (auto path = requestURL(id))
        unlinkIgnoringFailure(*path);
    if (auto path = replyURL(id))
        unlinkIgnoringFailure(*path);
}

bool ApprovalStore::hookIsGone(int64_t pid)
{
    if (pid < 1 || pid > 2147483647)
        return false;
    return ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
}

std::vector<std::string> ApprovalStore::sweep(Date now) const
{
    double const t = now.secondsSince1970;
    std::vector<std::string> removed;
    for (auto const& request : pendingRequests()) {
        bool stale = (request.createdAt > 0 && t - request.createdAt > staleAfterSeconds)
            || (request.expiresAt > 0 && request.expiresAt < t);
        if (!stale)
            stale = hookIsGone(request.hookPid);
        if (!stale)
            continue;
        remove(request.id);
        removed.push_back(request.id);
    }

    // Names come from the listing, so they stand for entries of this folder whatever they hold.
    std::string const replySuffix = "." + std::string(replyExtension);
    for (auto const& name : entryNames()) {
        if (name.starts_with('.') || !endsWith(name, replySuffix))
            continue;
        std::string const id = name.substr(0, name.size() - replySuffix.size());
        struct stat info { };
        if (::stat((m_dir / fileName(id, requestExtension)).c_str(), &info) == 0)
            continue;
        unlinkIgnoringFailure(m_dir / name);
    }
    return removed;
}

void ApprovalStore::removeAll() const
{
    for (auto const& name : entryNames()) {
        std::error_code error;
        fs::remove_all(m_dir / name, error);
    }
}

}
