#include "platform/CloudDatabase.hpp"

namespace Platform {

namespace {

class NoObservation final : public Observation { };

}

std::unique_ptr<Observation> CloudDatabase::observeAccountChanges(std::function<void()>)
{
    return std::make_unique<NoObservation>();
}

}
