// What companion displays read from outside: a watch message, launch options and language codes.
// Whatever the bytes, decoding never fails, and what decodes survives a second trip.
#include "shared/DecodingError.hpp"
#include "shared/DemoAgents.hpp"
#include "shared/Language.hpp"
#include "shared/LaunchOptions.hpp"
#include "shared/StatusDot.hpp"
#include "shared/WatchPayload.hpp"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

using namespace PawletShared;

extern "C" int LLVMFuzzerTestOneInput(uint8_t const* data, size_t size)
{
    std::string text(reinterpret_cast<char const*>(data), size);
    WatchPayload::Message message {
        { "snapshot", WatchPayload::Data(data, data + size) },
        { "language", text },
        { "skin", text },
        { "showDetails", size % 2 == 0 },
    };
    auto decoded = WatchPayload::decode(message);
    if (!decoded.hasLanguage || decoded.demo)
        std::abort();
    if (decoded.snapshot) {
        auto again = WatchPayload::decode(WatchPayload::make(*decoded.snapshot, true, decoded.skin.value_or(Skin::soft), decoded.language, false));
        if (!again.snapshot || again.language != decoded.language)
            std::abort();
        auto third = WatchPayload::decode(WatchPayload::make(*again.snapshot, true, Skin::soft, std::nullopt, false));
        if (!third.snapshot || !(*third.snapshot == *again.snapshot))
            std::abort();
    }

    auto environment = PawletKit::Environment { { "PUPNIK_FREEZE_FRAME", text }, { "PUPNIK_LANG", text }, { "PUPNIK_DEMO_AGENTS", text } };
    if (auto frame = LaunchOptions::parseFreezeFrame(LaunchOptions::value("PUPNIK_FREEZE_FRAME", environment)))
        if (LaunchOptions::parseFreezeFrame(std::to_string(*frame)) != frame)
            std::abort();
    if (auto language = LaunchOptions::language(environment))
        if (Language::fromCode(language->rawValue()) != language)
            std::abort();
    (void)Language::matching(text);
    (void)LaunchOptions::demoAgents(environment);

    auto json = nlohmann::json::parse(text, nullptr, false);
    if (!json.is_discarded()) {
        try {
            auto dot = StatusDot::decode(json);
            if (!(StatusDot::decode(dot.jsonObject()) == dot))
                std::abort();
        } catch (DecodingError const&) {
        }
    }
    return 0;
}
