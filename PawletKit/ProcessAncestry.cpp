#include "PawletKit/ProcessAncestry.hpp"

namespace PawletKit::ProcessAncestry {

namespace {

bool isASCIIAlphanumeric(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

}

bool isValidTTYName(std::string_view name)
{
    if (name.size() > 32)
        return false;
    if (name.size() >= 4 && name.substr(0, 3) == "tty") {
        for (char c : name.substr(3))
            if (!isASCIIAlphanumeric(c))
                return false;
        return true;
    }
    // Linux pseudo-terminals: "pts/" and a number.
    if (name.size() >= 5 && name.substr(0, 4) == "pts/") {
        for (char c : name.substr(4))
            if (c < '0' || c > '9')
                return false;
        return true;
    }
    return false;
}

}
