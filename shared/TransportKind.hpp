#pragma once

namespace PawletShared {

enum class TransportKind {
    demo,
    cloud,
    idle,
};

}
