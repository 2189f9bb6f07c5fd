#pragma once

#include "PawletKit/Paths.hpp"
#include "platform/CloudDatabase.hpp"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace Platform {

// A cloud database kept on this machine: one JSON file per record, "<record name>.json" in the
// container's folder, so that other programs of the same user can follow what the application
// publishes. Files are replaced atomically (mode 0600) and saves of several processes are
// serialised by a lock file, so a reader sees the old record or the new one, never a mix. The
// account is always available and subscriptions are accepted without effect: followers poll.
// Completions run on the calling thread before the call returns. The folder appearing or going away
// counts as a change of account: a watch thread looks for it every accountPollInterval seconds.
class LocalCloudDatabase final : public CloudDatabase {
public:
    static constexpr size_t maxRecordFileBytes = 4 * 1024 * 1024;

    // Container identifiers and record names become file names: letters, digits, ".", "-" and "_",
    // 1 to 255 characters, not beginning with ".".
    static bool isValidName(std::string_view name);
    // <support directory>/cloud/<container>; nothing when the identifier cannot name a folder.
    static std::optional<std::filesystem::path> folderFor(PawletKit::Paths const& paths, std::string_view containerIdentifier);

    static constexpr double defaultAccountPollInterval = 2.0;

    explicit LocalCloudDatabase(std::filesystem::path folder, double accountPollInterval = defaultAccountPollInterval);

    std::filesystem::path const& folder() const { return m_folder; }
    std::optional<std::filesystem::path> fileFor(std::string_view recordName) const;

    void accountStatus(AccountStatusCompletion completion) override;
    void fetch(std::string const& recordName, FetchCompletion completion) override;
    void save(CloudRecord record, CloudSavePolicy policy, SaveCompletion completion) override;
    void saveSubscription(CloudSubscription subscription, SubscriptionCompletion completion) override;
    std::unique_ptr<Observation> observeAccountChanges(std::function<void()> onChange) override;

    // The record file's form: {"changeTag", "fields": {key: {"bytes"|"string"|"number"|"date": value}},
    // "modifiedAt", "recordName", "recordType"}, bytes in Base64, dates as seconds since 1970.
    // Nothing when a value cannot be written (a number that is not finite, text that is not UTF-8).
    static std::optional<std::string> encodeRecordFile(CloudRecord const& record);
    // Nothing for anything but a whole, well-formed record file.
    static std::optional<CloudRecord> decodeRecordFile(std::string_view bytes);

private:
    std::optional<CloudError> read(std::string const& recordName, std::optional<CloudRecord>& record) const;
    CloudSaveOutcome store(CloudRecord record, CloudSavePolicy policy) const;

    std::filesystem::path m_folder;
    double m_accountPollInterval;
};

}
