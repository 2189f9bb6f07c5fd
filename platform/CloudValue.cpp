#include "platform/CloudValue.hpp"

namespace Platform {

std::optional<std::string> CloudValue::asBytes() const
{
    if (m_kind != Kind::bytes)
        return std::nullopt;
    return m_text;
}

std::optional<std::string> CloudValue::asString() const
{
    if (m_kind != Kind::string)
        return std::nullopt;
    return m_text;
}

std::optional<double> CloudValue::asNumber() const
{
    if (m_kind != Kind::number)
        return std::nullopt;
    return m_number;
}

std::optional<PawletKit::Date> CloudValue::asDate() const
{
    if (m_kind != Kind::date)
        return std::nullopt;
    return PawletKit::Date::fromSeconds(m_number);
}

}
