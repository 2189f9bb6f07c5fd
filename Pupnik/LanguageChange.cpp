#include "Pupnik/LanguageChange.hpp"

#include "app-core/PreferredLanguages.hpp"

namespace Pupnik {

void LanguageChange::apply(std::optional<PupnikCore::Language> language) const
{
    if (storeChoice)
        storeChoice(language ? std::optional<std::string>(std::string(language->rawValue())) : std::nullopt);
    PupnikCore::Localizer& shared = localizer ? *localizer : PupnikCore::Localizer::shared();
    shared.setChoice(language, preferredLanguages ? *preferredLanguages : PupnikCore::PreferredLanguages::ofSystem());
    if (menuBar) {
        menuBar->rebuildMenu();
        menuBar->updateTooltip();
        if (makeMenuModel)
            menuBar->update(makeMenuModel());
    }
    if (refreshPetTooltip)
        refreshPetTooltip();
    if (relocalizeOnboarding)
        relocalizeOnboarding();
    if (relocalizeApprovalPopover)
        relocalizeApprovalPopover();
}

}
