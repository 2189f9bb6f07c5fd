#include "platform/CloudRecord.hpp"

namespace Platform {

CloudValue const* CloudRecord::field(std::string_view key) const
{
    auto found = fields.find(key);
    return found == fields.end() ? nullptr : &found->second;
}

void CloudRecord::setField(std::string_view key, CloudValue value)
{
    fields.insert_or_assign(std::string(key), std::move(value));
}

}
