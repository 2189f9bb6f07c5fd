#pragma once

#include "PawletKit/Date.hpp"
#include "platform/CloudValue.hpp"

#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace Platform {

// A record of a cloud database's default zone: its type, its name (unique in the zone) and its
// fields. The database sets the change tag and the modification time when it saves the record.
struct CloudRecord {
    std::string recordType;
    std::string recordName;
    std::map<std::string, CloudValue, std::less<>> fields;
    std::optional<std::string> changeTag;
    std::optional<PawletKit::Date> modifiedAt;

    CloudValue const* field(std::string_view key) const;
    void setField(std::string_view key, CloudValue value);

    bool operator==(CloudRecord const&) const = default;
};

}
