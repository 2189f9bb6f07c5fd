#include "app-core/ApprovalSummary.hpp"

#include "app-core/Localized.hpp"

#include <string>

namespace PupnikCore::ApprovalSummary {

SummaryLine::Tone tone(std::string_view line)
{
    if (line.starts_with("---") || line.starts_with("+++"))
        return SummaryLine::Tone::secondary;
    if (line.starts_with('+'))
        return SummaryLine::Tone::added;
    if (line.starts_with('-'))
        return SummaryLine::Tone::removed;
    if (line.starts_with("@@"))
        return SummaryLine::Tone::secondary;
    return SummaryLine::Tone::plain;
}

std::vector<SummaryLine> lines(std::string_view summary)
{
    if (summary.empty())
        return { SummaryLine { localized("approval.noSummary"), SummaryLine::Tone::plain } };
    std::vector<SummaryLine> result;
    size_t start = 0;
    while (true) {
        size_t const end = summary.find('\n', start);
        std::string_view const line = summary.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
        result.push_back(SummaryLine { std::string(line), tone(line) });
        if (end == std::string_view::npos)
            break;
        start = end + 1;
    }
    return result;
}

}
