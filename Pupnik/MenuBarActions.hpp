#pragma once

#include "app-core/Clip.hpp"
#include "app-core/Language.hpp"
#include "app-core/MenuModel.hpp"
#include "app-core/Skin.hpp"

#include <optional>

namespace Pupnik {

// What the tray menu asks of the application: a fresh model before each opening, and one
// operation per menu choice. The application delegate is the one implementation.
class MenuBarActions {
public:
    virtual ~MenuBarActions() = default;

    virtual PupnikCore::MenuModel makeMenuModel() = 0;
    virtual void toggleVisible() = 0;
    virtual void togglePinned() = 0;
    virtual void toggleTop() = 0;
    virtual void toggleDiscreet() = 0;
    virtual void toggleSounds() = 0;
    virtual void previewSound() = 0;
    virtual void setHeight(double points) = 0;
    virtual void setSkin(PupnikCore::Skin skin) = 0;
    // Nothing follows the system's languages.
    virtual void setLanguage(std::optional<PupnikCore::Language> language) = 0;
    // A clip plays for a while; nothing stops the demo at once.
    virtual void demo(std::optional<PupnikCore::Clip> clip) = 0;
    virtual void toggleLogin() = 0;
    virtual void connect() = 0;
    virtual void disconnect() = 0;
    virtual void updateHooks() = 0;
    virtual void toggleCodex() = 0;
    virtual void toggleProcess() = 0;
    virtual void toggleSync() = 0;
    virtual void feedback() = 0;
    virtual void about() = 0;
    virtual void quit() = 0;
};

}
