#include "Pupnik/Alert.hpp"

#include "app-core/ClaudeConnector.hpp"
#include "app-core/Localized.hpp"

namespace Pupnik {

Alert Alert::notice(std::string title, std::string text, Style style)
{
    return Alert { std::move(title), std::move(text), style, { PupnikCore::localized("ok") } };
}

Alert Alert::error(std::string title, std::exception const& error)
{
    return notice(std::move(title), describe(error), Style::critical);
}

std::string Alert::describe(std::exception const& error)
{
    if (auto failure = dynamic_cast<PupnikCore::ClaudeConnector::Failure const*>(&error)) {
        std::vector<PawletShared::TemplateArgument> arguments(failure->strings().begin(), failure->strings().end());
        return PupnikCore::localizedFormat(failure->localizationKey(), arguments);
    }
    return error.what();
}

}
