#pragma once

#include "PawletKit/ApprovalDecision.hpp"
#include "PawletKit/ApprovalRequest.hpp"
#include "PawletKit/Date.hpp"
#include "PawletKit/Paths.hpp"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace PawletKit {

// The file mailbox through which the agent tool posts permission requests and the application
// answers them: "<id>.json" per request, "<id>.reply" per answer, both written under a hidden
// temporary name and renamed into place. No locks and no cache: any number of stores in any number
// of processes may work on one folder at once. Nothing here throws.
class ApprovalStore final {
public:
    static constexpr std::string_view requestExtension = "json";
    static constexpr std::string_view replyExtension = "reply";
    static constexpr double staleAfterSeconds = 130.0;
    // Bounds on what is read back. The agent tool takes at most 4 MiB of hook input, so no request it
    // writes comes near; a reply is one word.
    static constexpr size_t maxRequestBytes = 32 * 1024 * 1024;
    static constexpr size_t maxReplyBytes = 64 * 1024;

    explicit ApprovalStore(std::filesystem::path dir);
    // The "approvals" folder of the support directory.
    explicit ApprovalStore(Paths const& supportDir);

    std::filesystem::path const& dir() const { return m_dir; }

    // A lower-case version 4 UUID; always a valid id.
    static std::string newId();

    // Nothing for an id that isn't valid, so no caller can be led outside the folder.
    std::optional<std::filesystem::path> requestURL(std::string_view id) const;
    std::optional<std::filesystem::path> replyURL(std::string_view id) const;

    // Creates the folder (mode 0700) when missing and resets its mode; true when it exists afterwards.
    bool ensureDirectory() const;

    bool write(ApprovalRequest const& request) const;
    std::optional<ApprovalRequest> request(std::string_view id) const;
    // Newest first; of equal times the smaller id first. Unreadable files are skipped.
    std::vector<ApprovalRequest> pendingRequests() const;
    std::set<std::string> pendingSessionIds() const;

    bool writeReply(std::string_view id, ApprovalDecision decision) const;
    std::optional<ApprovalDecision> readReply(std::string_view id) const;
    // Deletes the request and its reply; failures are ignored.
    void remove(std::string_view id) const;

    // True only when signal 0 to the pid fails with ESRCH; pids outside 1 ... 2^31 - 1 are never gone.
    static bool hookIsGone(int64_t pid);
    // Removes requests that are too old, past their expiry or whose hook process is gone (returning
    // their ids, newest first), then replies without a request (not returned).
    std::vector<std::string> sweep(Date now) const;
    // Empties the folder, temporary files included; the folder stays.
    void removeAll() const;

private:
    bool writeAtomically(std::string_view bytes, std::filesystem::path const& target) const;
    std::vector<std::string> entryNames() const;

    std::filesystem::path m_dir;
};

}
