#pragma once

#include "PawletKit/Date.hpp"

#include <optional>
#include <string>

namespace Platform {

// One field value of a cloud record: raw bytes, text, a number or an instant.
class CloudValue final {
public:
    enum class Kind {
        bytes,
        string,
        number,
        date,
    };

    static CloudValue bytes(std::string data) { return CloudValue(Kind::bytes, std::move(data), 0); }
    static CloudValue string(std::string text) { return CloudValue(Kind::string, std::move(text), 0); }
    static CloudValue number(double value) { return CloudValue(Kind::number, {}, value); }
    static CloudValue date(PawletKit::Date value) { return CloudValue(Kind::date, {}, value.secondsSince1970); }

    Kind kind() const { return m_kind; }
    // Each accessor gives nothing for a value of another kind.
    std::optional<std::string> asBytes() const;
    std::optional<std::string> asString() const;
    std::optional<double> asNumber() const;
    std::optional<PawletKit::Date> asDate() const;

    bool operator==(CloudValue const&) const = default;

private:
    CloudValue(Kind kind, std::string text, double number)
        : m_kind(kind)
        , m_text(std::move(text))
        , m_number(number)
    {
    }

    Kind m_kind;
    std::string m_text;
    double m_number;
};

}
