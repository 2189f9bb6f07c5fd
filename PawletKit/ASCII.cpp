#include "PawletKit/ASCII.hpp"

namespace PawletKit::ASCII {

namespace {

char lowercased(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

}

std::string lowercased(std::string_view text)
{
    std::string result(text);
    for (char& c : result)
        c = lowercased(c);
    return result;
}

bool equalIgnoringCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (lowercased(a[i]) != lowercased(b[i]))
            return false;
    return true;
}

}
