#include "Pupnik/MenuModelBuilder.hpp"

#include "PawletKit/CodexRolloutTailer.hpp"
#include "app-core/ClipSelector.hpp"

namespace Pupnik::MenuModelBuilder {

using PupnikCore::ConnectionState;

namespace {

bool codexAvailable(MenuModelInputs const& inputs)
{
    if (inputs.driver)
        return inputs.driver->codex().isAvailable();
    std::optional<std::filesystem::path> folder;
    if (inputs.options)
        folder = inputs.options->codexSessionsDir;
    PawletKit::CodexRolloutTailer const probe(folder.value_or(PawletKit::CodexRolloutTailer::defaultBaseDir()));
    return probe.isAvailable();
}

}

ConnectionState connection(bool demo, bool hooksConnected, EngineDriver const* driver)
{
    if (demo)
        return ConnectionState::connected;
    if (!hooksConnected)
        return ConnectionState::notConnected;
    if (!driver || driver->eventsSeen() <= 0)
        return ConnectionState::connectedNoEvents;
    return ConnectionState::connected;
}

PupnikCore::MenuModel makeMenuModel(MenuModelInputs const& inputs)
{
    PupnikCore::MenuModel model;
    model.state = inputs.demoClip ? PupnikCore::ClipSelector::demoState(*inputs.demoClip) : inputs.lastState;
    if (model.state.mood == PawletKit::Mood::poop && inputs.waitingAppName)
        model.waitingAppName = inputs.waitingAppName();
    model.connection = connection(inputs.demoClip.has_value(), inputs.connector && inputs.connector->isConnected(), inputs.driver);
    model.demoClip = inputs.demoClip;
    if (inputs.petSettings)
        model.settings = *inputs.petSettings;
    else if (inputs.defaults)
        model.settings = PupnikCore::PetSettings::load(*inputs.defaults);
    model.installed = inputs.connector && inputs.connector->isConnected();
    model.needsHookUpgrade = inputs.connector && inputs.connector->needsHookUpgrade();
    model.codexAvailable = codexAvailable(inputs);
    if (inputs.syncStatus)
        model.syncStatus = inputs.syncStatus();
    return model;
}

}
