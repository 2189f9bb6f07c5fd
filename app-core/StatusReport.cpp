#include "app-core/StatusReport.hpp"

#include "PawletKit/Gait.hpp"
#include "PawletKit/Mood.hpp"
#include "app-core/ConnectionState.hpp"
#include "app-core/DebugText.hpp"
#include "app-core/QuotaSummary.hpp"
#include "app-core/StatusText.hpp"

namespace PupnikCore {

std::vector<std::string> StatusReport::lines(Localizer const& localizer, Platform::TimeZone const& zone) const
{
    using namespace DebugText;
    auto const& state = model.state;
    auto const& settings = model.settings;
    std::optional<std::string_view> waitingApp;
    if (model.waitingAppName)
        waitingApp = *model.waitingAppName;

    std::vector<std::string> lines;
    lines.push_back("Hummo Pawlet " + now.iso8601() + " pid " + std::to_string(pid) + " launched=" + boolean(launched));
    lines.push_back("language=" + language + " choice=" + languageChoice.value_or("system") + " override=" + languageOverride.value_or("-"));
    lines.push_back("statusLine: " + escaped(StatusText::headline(state, model.connection, now, localizer, zone, waitingApp)));
    auto const header = StatusText::tooltipLines(state, model.connection, model.demoClip.has_value(), settings.discreet, now, localizer, zone, waitingApp);
    for (size_t i = 0; i < header.size(); ++i)
        lines.push_back("header[" + std::to_string(i) + "]: " + escaped(header[i]));
    lines.push_back("state: gait=" + std::string(PawletKit::rawValue(state.gait)) + " mood=" + std::string(PawletKit::rawValue(state.mood))
        + " busy=" + std::to_string(state.busySessions) + " known=" + std::to_string(state.knownSessions) + " waiting="
        + std::to_string(state.waitingSessions) + " sources=" + dictionary(state.sourceCounts));

    std::string quotas;
    for (auto const& [source, quota] : state.quotaBySource)
        quotas += (quotas.empty() ? "" : " ") + quotaSummary(source, quota);
    lines.push_back("quotaBySource: " + (quotas.empty() ? std::string("none") : escaped(quotas)) + " activeSources=" + list(state.orderedSources()));
    for (auto const& bar : StatusText::quotaBars(state, settings.discreet, localizer))
        lines.push_back("quota bar: " + escaped(bar.source) + " " + DebugText::twoDecimals(bar.fraction) + " " + inQuotes(bar.text));

    lines.push_back("sound: enabled=" + boolean(settings.sounds) + " systemOutputSilent=" + boolean(systemOutputSilent));
    lines.push_back("settings: discreet=" + boolean(settings.discreet) + " visible=" + boolean(settings.visible) + " skin="
        + std::string(rawValue(settings.skin)) + " codex=" + boolean(settings.sourceCodex) + " process=" + boolean(settings.sourceProcess)
        + " sync=" + boolean(settings.syncToDevices));
    lines.push_back("connection=" + std::string(rawValue(model.connection)) + " installed=" + boolean(model.installed)
        + " demoClip=" + (model.demoClip ? std::string(rawValue(*model.demoClip)) : "-"));
    lines.push_back("cloud: state=" + (cloud ? syncStatus(*cloud) : std::string("no publisher (PUPNIK_NO_CLOUD)"))
        + " line=" + escaped(SyncStatus::menuText(cloud, settings.syncToDevices, now, localizer, zone)));

    if (!driver) {
        lines.push_back("driver: none (demo mode or still launching)");
    } else {
        lines.push_back("events: claude=" + std::to_string(driver->claudeEvents) + " codex=" + std::to_string(driver->codexEvents)
            + " process=" + std::to_string(driver->processEvents));
        lines.push_back("codex: available=" + boolean(driver->codexAvailable) + " enabled=" + boolean(driver->codexEnabled)
            + " dir=" + escaped(driver->codexDirectory));
        lines.push_back("codex: " + escaped(driver->codexStatus));
        for (auto const& path : driver->codexTracked)
            lines.push_back("codex tracked: " + escaped(path));
    }

    for (auto const& target : waiting)
        lines.push_back("waiting: " + waitingFields(target, false));
    lines.push_back("approvals: pending=" + std::to_string(approvals.size()) + " popover=" + boolean(popoverShown));
    for (auto const& request : approvals)
        lines.push_back("approval: id=" + escaped(request.id) + " tool=" + escaped(request.tool) + " sid=" + escaped(request.sessionId)
            + " cwd=" + escaped(request.projectName()) + " truncated=" + boolean(request.truncated));
    lines.push_back("hooks: upgradeNeeded=" + boolean(hooksUpgradeNeeded));
    return lines;
}

std::string StatusReport::text(Localizer const& localizer, Platform::TimeZone const& zone) const
{
    std::string text;
    for (auto const& line : lines(localizer, zone))
        text += line + "\n";
    return text;
}

}
