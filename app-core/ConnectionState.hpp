#pragma once

#include <string_view>

namespace PupnikCore {

// How far the hook tool has got: only chooses the hint the status line shows before any session.
enum class ConnectionState {
    notConnected,
    connectedNoEvents,
    connected,
};

// The case name, as status reports write it.
std::string_view rawValue(ConnectionState);

}
