#pragma once

#include "Pupnik/MenuBarController.hpp"
#include "app-core/Language.hpp"
#include "app-core/Localizer.hpp"
#include "app-core/MenuModel.hpp"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace Pupnik {

// A language chosen in the menu, carried to everything that shows text. Steps whose hook is absent
// are skipped.
struct LanguageChange {
    // The pet stores the code (nothing follows the system) in its settings and saves them.
    std::function<void(std::optional<std::string> code)> storeChoice;
    PupnikCore::Localizer* localizer { nullptr };
    // The system's preferred languages when absent.
    std::optional<std::vector<std::string>> preferredLanguages;
    MenuBarController* menuBar { nullptr };
    std::function<PupnikCore::MenuModel()> makeMenuModel;
    std::function<void()> refreshPetTooltip;
    // Whether or not the window is shown, so it opens in the new language later.
    std::function<void()> relocalizeOnboarding;
    // The approval popover may be open while the language changes.
    std::function<void()> relocalizeApprovalPopover;

    void apply(std::optional<PupnikCore::Language> language) const;
};

}
