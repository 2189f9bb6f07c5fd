#pragma once

#include "platform/DefaultsStore.hpp"

#include <map>

namespace Platform {

// A defaults suite that lives as long as the object: for tests and for demo runs that must not
// touch the user's settings.
class MemoryDefaultsStore final : public DefaultsStore {
public:
    MemoryDefaultsStore() = default;
    explicit MemoryDefaultsStore(nlohmann::json const& dictionary);

    std::optional<nlohmann::json> object(std::string_view key) const override;
    void set(std::string_view key, nlohmann::json value) override;
    void remove(std::string_view key) override;

    nlohmann::json dictionary() const;

private:
    std::map<std::string, nlohmann::json, std::less<>> m_values;
};

}
