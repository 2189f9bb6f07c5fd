#include "platform/MemoryDefaultsStore.hpp"

namespace Platform {

MemoryDefaultsStore::MemoryDefaultsStore(nlohmann::json const& dictionary)
{
    if (!dictionary.is_object())
        return;
    for (auto const& [key, value] : dictionary.items()) {
        if (!value.is_null())
            m_values.emplace(key, value);
    }
}

std::optional<nlohmann::json> MemoryDefaultsStore::object(std::string_view key) const
{
    auto found = m_values.find(key);
    if (found == m_values.end())
        return std::nullopt;
    return found->second;
}

void MemoryDefaultsStore::set(std::string_view key, nlohmann::json value)
{
    if (value.is_null()) {
        remove(key);
        return;
    }
    m_values.insert_or_assign(std::string(key), std::move(value));
}

void MemoryDefaultsStore::remove(std::string_view key)
{
    if (auto found = m_values.find(key); found != m_values.end())
        m_values.erase(found);
}

nlohmann::json MemoryDefaultsStore::dictionary() const
{
    nlohmann::json result = nlohmann::json::object();
    for (auto const& [key, value] : m_values)
        result[key] = value;
    return result;
}

}
