// What WezTerm's and kitty's tools print is read as the terminal jumper would: never a crash, and an
// answer only for a pane or window that the listing really holds.
#include "app-core/Focus/KittyCLI.hpp"
#include "app-core/Focus/ToolListing.hpp"
#include "app-core/Focus/WezTermCLI.hpp"

#include "PawletKit/JSON.hpp"

#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string_view>
#include <vector>

using namespace PupnikCore;
using PawletKit::JSON::Value;

namespace {

std::optional<Value> parsed(std::string_view bytes)
{
    try {
        return PawletKit::JSON::parse(bytes);
    } catch (...) {
        return std::nullopt;
    }
}

bool holdsPane(Value const& listing, std::string_view tty, int64_t id)
{
    for (auto const& pane : listing) {
        auto const* name = PawletKit::JSON::member(&pane, "tty_name");
        if (!name || !name->is_string())
            continue;
        std::string_view device = name->get_ref<std::string const&>();
        if ((device == tty || (device.starts_with("/dev/") && device.substr(5) == tty))
            && PawletKit::JSON::toInt(PawletKit::JSON::member(&pane, "pane_id")) == id)
            return true;
    }
    return false;
}

bool holdsWindow(Value const& listing, int64_t id)
{
    for (auto const& osWindow : listing)
        if (auto const* tabs = ToolListing::objectArray(&osWindow, "tabs"))
            for (auto const& tab : *tabs)
                if (auto const* windows = ToolListing::objectArray(&tab, "windows"))
                    for (auto const& window : *windows)
                        if (PawletKit::JSON::toInt(PawletKit::JSON::member(&window, "id")) == id)
                            return true;
    return false;
}

}

extern "C" int LLVMFuzzerTestOneInput(uint8_t const* data, size_t size)
{
    std::string_view bytes(reinterpret_cast<char const*>(data), size);
    std::optional<Value> listing;
    bool parsedOnce = false;
    auto listingValue = [&]() -> Value const& {
        if (!parsedOnce) {
            listing = parsed(bytes);
            parsedOnce = true;
        }
        if (!listing || !listing->is_array())
            std::abort();
        return *listing;
    };

    for (std::string_view tty : { "pts/3", "pts/4", "ttys007", "tty1" }) {
        auto pane = WezTermCLI::paneID(bytes, tty);
        if (pane && (*pane < 0 || !holdsPane(listingValue(), tty, *pane)))
            std::abort();
    }

    std::vector<int32_t> const pids { 0, 4188, 7010, 812 };
    for (std::optional<std::string_view> cwd : { std::optional<std::string_view>(), std::optional<std::string_view>("/home/me/project"),
             std::optional<std::string_view>("/tmp") }) {
        auto window = KittyCLI::windowID(bytes, pids, cwd);
        if (window && (*window < 0 || !holdsWindow(listingValue(), *window)))
            std::abort();
    }
    return 0;
}
