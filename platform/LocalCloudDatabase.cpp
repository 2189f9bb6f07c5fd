#include "platform/LocalCloudDatabase.hpp"

#include "PawletKit/AtomicFile.hpp"
#include "PawletKit/FileDescriptor.hpp"
#include "PawletKit/JSON.hpp"
#include "PawletKit/RegularFile.hpp"
#include "PawletKit/UUID.hpp"
#include "platform/Base64.hpp"

#include <cerrno>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <sys/file.h>
#include <system_error>
#include <thread>
#include <unistd.h>

namespace Platform {

namespace {

using nlohmann::json;

char const* const kindKeys[] = { "bytes", "string", "number", "date" };

json encodeValue(CloudValue const& value)
{
    switch (value.kind()) {
    case CloudValue::Kind::bytes:
        return json { { "bytes", Base64::encode(*value.asBytes()) } };
    case CloudValue::Kind::string:
        return json { { "string", *value.asString() } };
    case CloudValue::Kind::number:
        return json { { "number", *value.asNumber() } };
    case CloudValue::Kind::date:
        return json { { "date", value.asDate()->secondsSince1970 } };
    }
    return json();
}

std::optional<double> finiteNumber(json const& value)
{
    if (!value.is_number())
        return std::nullopt;
    double number = value.get<double>();
    if (!std::isfinite(number))
        return std::nullopt;
    return number;
}

std::optional<CloudValue> decodeValue(json const& value)
{
    if (!value.is_object() || value.size() != 1)
        return std::nullopt;
    auto member = value.begin();
    std::string const& kind = member.key();
    json const& payload = member.value();
    if (kind == kindKeys[0] && payload.is_string()) {
        auto bytes = Base64::decode(payload.get_ref<std::string const&>());
        return bytes ? std::optional(CloudValue::bytes(std::move(*bytes))) : std::nullopt;
    }
    if (kind == kindKeys[1] && payload.is_string())
        return CloudValue::string(payload.get<std::string>());
    if (kind == kindKeys[2]) {
        auto number = finiteNumber(payload);
        return number ? std::optional(CloudValue::number(*number)) : std::nullopt;
    }
    if (kind == kindKeys[3]) {
        auto seconds = finiteNumber(payload);
        return seconds ? std::optional(CloudValue::date(PawletKit::Date::fromSeconds(*seconds))) : std::nullopt;
    }
    return std::nullopt;
}

bool folderExists(std::filesystem::path const& folder)
{
    std::error_code error;
    return std::filesystem::is_directory(folder, error);
}

// Looks for the folder on a thread of its own and reports each time it appears or goes away; the
// destructor wakes the thread and waits for it, so no report follows.
class FolderWatch final : public Observation {
public:
    FolderWatch(std::filesystem::path folder, double interval, std::function<void()> onChange)
        : m_folder(std::move(folder))
        , m_interval(std::chrono::duration_cast<std::chrono::steady_clock::duration>(std::chrono::duration<double>(interval)))
        , m_onChange(std::move(onChange))
        , m_present(folderExists(m_folder))
        , m_thread([this] { run(); })
    {
    }

    ~FolderWatch() override
    {
        {
            std::lock_guard lock(m_mutex);
            m_stopping = true;
        }
        m_wake.notify_all();
        m_thread.join();
    }

private:
    void run()
    {
        std::unique_lock lock(m_mutex);
        while (!m_wake.wait_for(lock, m_interval, [this] { return m_stopping; })) {
            lock.unlock();
            bool const present = folderExists(m_folder);
            if (present != m_present) {
                m_present = present;
                m_onChange();
            }
            lock.lock();
        }
    }

    std::filesystem::path m_folder;
    std::chrono::steady_clock::duration m_interval;
    std::function<void()> m_onChange;
    bool m_present;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_stopping { false };
    std::thread m_thread;
};

// The exclusive lock every save of the container's records holds, across processes and threads.
class SaveLock final {
public:
    explicit SaveLock(std::filesystem::path const& folder)
        : m_file(::open((folder / ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600))
    {
        if (!m_file.isValid())
            throw std::system_error(errno, std::generic_category(), "open " + (folder / ".lock").string());
        while (::flock(m_file.get(), LOCK_EX) != 0) {
            if (errno != EINTR)
                throw std::system_error(errno, std::generic_category(), "lock " + (folder / ".lock").string());
        }
    }

private:
    // Closing the descriptor releases the lock.
    PawletKit::FileDescriptor m_file;
};

}

bool LocalCloudDatabase::isValidName(std::string_view name)
{
    if (name.empty() || name.size() > 255 || name.front() == '.')
        return false;
    for (char c : name) {
        bool allowed = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '-' || c == '_';
        if (!allowed)
            return false;
    }
    return true;
}

std::optional<std::filesystem::path> LocalCloudDatabase::folderFor(PawletKit::Paths const& paths, std::string_view containerIdentifier)
{
    if (!isValidName(containerIdentifier))
        return std::nullopt;
    return paths.base() / "cloud" / std::string(containerIdentifier);
}

LocalCloudDatabase::LocalCloudDatabase(std::filesystem::path folder, double accountPollInterval)
    : m_folder(std::move(folder))
    , m_accountPollInterval(std::isfinite(accountPollInterval) && accountPollInterval > 0.001 ? accountPollInterval : defaultAccountPollInterval)
{
}

std::optional<std::filesystem::path> LocalCloudDatabase::fileFor(std::string_view recordName) const
{
    if (!isValidName(recordName))
        return std::nullopt;
    return m_folder / (std::string(recordName) + ".json");
}

void LocalCloudDatabase::accountStatus(AccountStatusCompletion completion)
{
    completion(CloudAccountStatus::available, std::nullopt);
}

std::optional<CloudError> LocalCloudDatabase::read(std::string const& recordName, std::optional<CloudRecord>& record) const
{
    record.reset();
    auto file = fileFor(recordName);
    if (!file)
        return CloudError::cloud(CloudErrorCode::invalidArguments, "invalid record name \"" + recordName + "\"");
    std::error_code error;
    auto status = std::filesystem::symlink_status(*file, error);
    if (status.type() == std::filesystem::file_type::not_found)
        return CloudError::cloud(CloudErrorCode::unknownItem, "record \"" + recordName + "\" does not exist");
    auto bytes = PawletKit::RegularFile::read(*file, maxRecordFileBytes);
    if (!bytes) {
        if (!std::filesystem::exists(std::filesystem::symlink_status(*file, error)))
            return CloudError::cloud(CloudErrorCode::unknownItem, "record \"" + recordName + "\" does not exist");
        return CloudError::decoding(file->string() + " is not a readable record file");
    }
    auto decoded = decodeRecordFile(*bytes);
    if (!decoded || decoded->recordName != recordName)
        return CloudError::decoding(file->string() + " does not hold a valid record");
    record = std::move(decoded);
    return std::nullopt;
}

void LocalCloudDatabase::fetch(std::string const& recordName, FetchCompletion completion)
{
    std::optional<CloudRecord> record;
    auto error = read(recordName, record);
    completion(std::move(record), std::move(error));
}

CloudSaveOutcome LocalCloudDatabase::store(CloudRecord record, CloudSavePolicy policy) const
{
    auto failed = [](CloudError error) { return CloudSaveOutcome { std::move(error), std::nullopt, std::nullopt }; };
    auto file = fileFor(record.recordName);
    if (!file)
        return failed(CloudError::cloud(CloudErrorCode::invalidArguments, "invalid record name \"" + record.recordName + "\""));
    if (record.recordType.empty())
        return failed(CloudError::cloud(CloudErrorCode::invalidArguments, "a record needs a type"));
    try {
        PawletKit::Paths::ensureDirectory(m_folder);
        SaveLock lock(m_folder);
        std::optional<CloudRecord> stored;
        // A stored file that does not read as a record is replaced.
        (void)read(record.recordName, stored);
        if (stored && stored->recordType != record.recordType)
            return failed(CloudError::cloud(CloudErrorCode::invalidArguments,
                "record \"" + record.recordName + "\" is of type " + stored->recordType + ", not " + record.recordType));
        if (policy == CloudSavePolicy::ifServerRecordUnchanged && stored && stored->changeTag != record.changeTag)
            return failed(CloudError::cloud(CloudErrorCode::serverRecordChanged, "record \"" + record.recordName + "\" changed on the server"));
        if (policy == CloudSavePolicy::changedKeys && stored) {
            for (auto& [key, value] : record.fields)
                stored->fields.insert_or_assign(key, std::move(value));
            record.fields = std::move(stored->fields);
        }
        record.changeTag = PawletKit::UUID::randomV4();
        record.modifiedAt = PawletKit::Date::now();
        auto bytes = encodeRecordFile(record);
        if (!bytes)
            return failed(CloudError::cloud(CloudErrorCode::invalidArguments, "record \"" + record.recordName + "\" holds a value that cannot be stored"));
        PawletKit::AtomicFile::write(*file, *bytes, 0600);
        return CloudSaveOutcome { std::nullopt, record.changeTag, std::nullopt };
    } catch (std::system_error const& error) {
        return failed(CloudError::system(error.code().value(), error.what()));
    }
}

void LocalCloudDatabase::save(CloudRecord record, CloudSavePolicy policy, SaveCompletion completion)
{
    completion(store(std::move(record), policy));
}

void LocalCloudDatabase::saveSubscription(CloudSubscription, SubscriptionCompletion completion)
{
    completion(std::nullopt);
}

std::unique_ptr<Observation> LocalCloudDatabase::observeAccountChanges(std::function<void()> onChange)
{
    return std::make_unique<FolderWatch>(m_folder, m_accountPollInterval, std::move(onChange));
}

std::optional<std::string> LocalCloudDatabase::encodeRecordFile(CloudRecord const& record)
{
    json fields = json::object();
    for (auto const& [key, value] : record.fields)
        fields[key] = encodeValue(value);
    json object { { "recordType", record.recordType }, { "recordName", record.recordName }, { "fields", std::move(fields) } };
    if (record.changeTag)
        object["changeTag"] = *record.changeTag;
    if (record.modifiedAt)
        object["modifiedAt"] = record.modifiedAt->secondsSince1970;
    auto bytes = PawletKit::JSON::serialize(object);
    if (!bytes)
        return std::nullopt;
    return *bytes + "\n";
}

std::optional<CloudRecord> LocalCloudDatabase::decodeRecordFile(std::string_view bytes)
{
    json object;
    try {
        object = PawletKit::JSON::parse(bytes);
    } catch (json::exception const&) {
        return std::nullopt;
    }
    if (!object.is_object())
        return std::nullopt;
    auto type = object.find("recordType");
    auto name = object.find("recordName");
    if (type == object.end() || !type->is_string() || type->get_ref<std::string const&>().empty())
        return std::nullopt;
    if (name == object.end() || !name->is_string() || !isValidName(name->get_ref<std::string const&>()))
        return std::nullopt;
    CloudRecord record;
    record.recordType = type->get<std::string>();
    record.recordName = name->get<std::string>();
    if (auto fields = object.find("fields"); fields != object.end()) {
        if (!fields->is_object())
            return std::nullopt;
        for (auto const& [key, value] : fields->items()) {
            auto decoded = decodeValue(value);
            if (!decoded)
                return std::nullopt;
            record.fields.emplace(key, std::move(*decoded));
        }
    }
    if (auto tag = object.find("changeTag"); tag != object.end() && !tag->is_null()) {
        if (!tag->is_string())
            return std::nullopt;
        record.changeTag = tag->get<std::string>();
    }
    if (auto modified = object.find("modifiedAt"); modified != object.end() && !modified->is_null()) {
        auto seconds = finiteNumber(*modified);
        if (!seconds)
            return std::nullopt;
        record.modifiedAt = PawletKit::Date::fromSeconds(*seconds);
    }
    return record;
}

}
