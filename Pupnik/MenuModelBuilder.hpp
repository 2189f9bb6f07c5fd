#pragma once

#include "PawletKit/ApprovalRequest.hpp"
#include "Pupnik/EngineDriver.hpp"
#include "Pupnik/MenuModelInputs.hpp"
#include "app-core/MenuModel.hpp"

#include <optional>
#include <vector>

namespace Pupnik::MenuModelBuilder {

// A fresh model from the inputs: every connector check reads the agent's settings file again and
// the codex folder is looked at again; nothing is kept between calls.
PupnikCore::MenuModel makeMenuModel(MenuModelInputs const& inputs);

PupnikCore::ConnectionState connection(bool demo, bool hooksConnected, EngineDriver const* driver);

}
