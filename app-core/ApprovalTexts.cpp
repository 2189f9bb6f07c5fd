#include "app-core/ApprovalTexts.hpp"

#include "app-core/Localized.hpp"

#include <cstdint>

namespace PupnikCore::ApprovalTexts {

std::string heading(size_t count) { return localizedFormat("approval.many", { static_cast<int64_t>(count) }); }

std::string rowTitle(PawletKit::ApprovalRequest const& request, bool isCurrent)
{
    std::string title(isCurrent ? currentRowMarker : " ");
    title.append("  ").append(request.tool).append("  ");
    std::string const target = request.targetDisplayName();
    title.append(target.empty() ? request.projectName() : target);
    return title;
}

std::string targetLine(PawletKit::ApprovalRequest const& request)
{
    std::string line = request.targetDisplayName();
    std::string const project = request.projectName();
    if (!line.empty() && !project.empty())
        line.append(targetSeparator);
    return line.append(project);
}

std::optional<std::string> truncationNote(PawletKit::ApprovalRequest const& request)
{
    if (!request.truncated)
        return std::nullopt;
    if (request.truncatedLines < 1)
        return localized("approval.truncated.short");
    return localizedFormat("approval.truncated", { request.truncatedLines });
}

}
