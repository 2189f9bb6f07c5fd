#include "Pupnik/SettingsActions.hpp"

#include "platform/Log.hpp"

namespace Pupnik {

using PupnikCore::SettingsToggle;

SettingsActions::SettingsActions(Hooks hooks)
    : m_hooks(std::move(hooks))
{
}

std::optional<bool> SettingsActions::toggle(SettingsToggle toggle)
{
    PupnikCore::PetSettings* settings = m_hooks.liveSettings ? m_hooks.liveSettings() : nullptr;
    if (!settings)
        return std::nullopt;
    bool& field = PupnikCore::settingsField(*settings, toggle);
    field = !field;
    bool const value = field;
    if (m_hooks.persist)
        m_hooks.persist();
    auto tell = [value](std::function<void(bool)> const& follower) {
        if (follower)
            follower(value);
    };
    switch (toggle) {
    case SettingsToggle::codex:
        tell(m_hooks.setCodexEnabled);
        break;
    case SettingsToggle::process:
        tell(m_hooks.setProcessEnabled);
        break;
    case SettingsToggle::sync:
        tell(m_hooks.setSyncEnabled);
        break;
    case SettingsToggle::pinned:
        break;
    case SettingsToggle::sounds:
        if (!value && m_hooks.stopSounds)
            m_hooks.stopSounds();
        Platform::Log::line(soundLogLine(value, m_hooks.defaults ? m_hooks.defaults() : nullptr));
        break;
    case SettingsToggle::discreet:
        if (m_hooks.reapplyState)
            m_hooks.reapplyState();
        break;
    }
    return value;
}

std::string SettingsActions::previewSound()
{
    std::string const outcome = m_hooks.playSound ? m_hooks.playSound(PupnikCore::PetSound::woof, true) : "skipped(no-player)";
    Platform::Log::line("sound: preview " + outcome);
    return outcome;
}

std::string SettingsActions::soundLogLine(bool on, Platform::DefaultsStore const* defaults)
{
    // A missing value reads as false, as a defaults Boolean does.
    std::string saved = "false";
    if (defaults)
        if (auto const value = defaults->boolean(PupnikCore::PetSettings::Key::sounds))
            saved = *value ? "true" : "false";
    return std::string("sound: 声音 now ") + (on ? "on" : "off") + " (pet.sounds=" + saved + ")";
}

}
