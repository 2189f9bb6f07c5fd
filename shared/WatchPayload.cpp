#include "shared/WatchPayload.hpp"

namespace PawletShared {

namespace {

// A snapshot is a few hundred bytes; a message part far larger is not one.
constexpr size_t maxSnapshotBytes = 1 << 20;

template<typename T>
T const* entry(WatchPayload::Message const& message, std::string_view key)
{
    auto found = message.find(key);
    return found == message.end() ? nullptr : std::get_if<T>(&found->second);
}

}

WatchPayload::Message WatchPayload::make(PetSnapshot const& snapshot, bool showDetails, Skin skin, std::optional<Language> language, bool demo)
{
    Message message {
        { "showDetails", showDetails },
        { "skin", std::string(rawValue(skin)) },
        { "language", language ? std::string(language->rawValue()) : std::string() },
        { "demo", demo },
    };
    try {
        std::string encoded = snapshot.encoded();
        message.emplace("snapshot", Data(encoded.begin(), encoded.end()));
    } catch (PetSnapshot::EncodingError const&) {
    }
    return message;
}

WatchPayload::Decoded WatchPayload::decode(Message const& message)
{
    Decoded decoded;
    if (auto const* data = entry<Data>(message, "snapshot"); data && data->size() <= maxSnapshotBytes) {
        try {
            decoded.snapshot = PetSnapshot::decode(std::string(data->begin(), data->end()));
        } catch (PetSnapshot::DecodingError const&) {
        }
    }
    if (auto const* flag = entry<bool>(message, "showDetails"))
        decoded.showDetails = *flag;
    if (auto const* text = entry<std::string>(message, "skin"))
        decoded.skin = skinFromRawValue(*text);
    if (auto const* flag = entry<bool>(message, "demo"))
        decoded.demo = *flag;
    if (auto const* text = entry<std::string>(message, "language")) {
        decoded.hasLanguage = true;
        decoded.language = Language::fromCode(*text);
    }
    return decoded;
}

}
