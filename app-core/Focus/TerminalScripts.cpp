#include "app-core/Focus/TerminalScripts.hpp"

#include "app-core/Focus/KnownApps.hpp"

#include "PawletKit/ProcInfo.hpp"

namespace PupnikCore::TerminalScripts {

namespace {

std::optional<std::string> assembled(std::string_view bundleId, std::string_view loopHead, std::string_view tty, std::string_view loopTail)
{
    if (!PawletKit::ProcInfo::isValidTTYName(tty))
        return std::nullopt;
    std::string text = "tell application id \"";
    text += bundleId;
    text += loopHead;
    text += tty;
    text += loopTail;
    return text;
}

}

std::optional<std::string> terminal(std::string_view tty)
{
    return assembled(KnownApps::appleTerminal,
        "\"\n\trepeat with w in windows\n\t\trepeat with t in tabs of w\n\t\t\tif tty of t is \"/dev/", tty,
        "\" then\n\t\t\t\tset selected tab of w to t\n\t\t\t\tset index of w to 1\n\t\t\t\treturn true\n\t\t\tend if\n"
        "\t\tend repeat\n\tend repeat\n\treturn false\nend tell");
}

std::optional<std::string> iterm2(std::string_view tty)
{
    return assembled(KnownApps::iterm2,
        "\"\n\trepeat with w in windows\n\t\trepeat with t in tabs of w\n\t\t\trepeat with s in sessions of t\n"
        "\t\t\t\tif tty of s is \"/dev/",
        tty,
        "\" then\n\t\t\t\t\ttell t to select\n\t\t\t\t\ttell w to select\n\t\t\t\t\treturn true\n\t\t\t\tend if\n"
        "\t\t\tend repeat\n\t\tend repeat\n\tend repeat\n\treturn false\nend tell");
}

std::optional<std::string> script(std::optional<std::string_view> bundleId, std::string_view tty)
{
    if (bundleId == KnownApps::appleTerminal)
        return terminal(tty);
    if (bundleId == KnownApps::iterm2)
        return iterm2(tty);
    return std::nullopt;
}

}
