#include "app-core/ConnectionState.hpp"

namespace PupnikCore {

std::string_view rawValue(ConnectionState state)
{
    switch (state) {
    case ConnectionState::notConnected:
        return "notConnected";
    case ConnectionState::connectedNoEvents:
        return "connectedNoEvents";
    case ConnectionState::connected:
        return "connected";
    }
    return "notConnected";
}

}
