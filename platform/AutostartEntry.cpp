#include "platform/AutostartEntry.hpp"

#include "PawletKit/AtomicFile.hpp"
#include "PawletKit/Paths.hpp"
#include "PawletKit/UserFile.hpp"
#include "platform/ConfigHome.hpp"

#include <algorithm>
#include <cerrno>
#include <system_error>

namespace Platform {

namespace {

std::string_view trimmed(std::string_view text)
{
    auto const blanks = " \t\r";
    auto first = text.find_first_not_of(blanks);
    if (first == std::string_view::npos)
        return {};
    auto last = text.find_last_not_of(blanks);
    return text.substr(first, last - first + 1);
}

// Whether the entry's own group switches it off; other groups and comments do not count.
bool switchesItselfOff(std::string_view text)
{
    bool inMainGroup = false;
    while (!text.empty()) {
        auto end = text.find('\n');
        auto line = trimmed(text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view {} : text.substr(end + 1);
        if (line.empty() || line.front() == '#')
            continue;
        if (line.front() == '[') {
            inMainGroup = line == "[Desktop Entry]";
            continue;
        }
        auto equals = line.find('=');
        if (!inMainGroup || equals == std::string_view::npos)
            continue;
        auto key = trimmed(line.substr(0, equals));
        auto value = trimmed(line.substr(equals + 1));
        if ((key == "Hidden" && value == "true") || (key == "X-GNOME-Autostart-enabled" && value == "false"))
            return true;
    }
    return false;
}

}

AutostartEntry::AutostartEntry(std::filesystem::path file)
    : m_file(std::move(file))
{
}

std::filesystem::path AutostartEntry::defaultFile(PawletKit::Environment const& environment)
{
    return configHome(environment) / "autostart" / fileName;
}

AutostartEntry::Status AutostartEntry::status() const
{
    auto reading = PawletKit::UserFile::read(m_file, maxFileBytes);
    if (reading.outcome != PawletKit::UserFile::Reading::Outcome::read)
        return Status::absent;
    return switchesItselfOff(reading.bytes) ? Status::disabled : Status::enabled;
}

void AutostartEntry::enable(std::filesystem::path const& program) const
{
    auto text = contents(program);
    if (!text)
        throw std::system_error(EINVAL, std::generic_category(), "autostart: " + program.string() + " cannot be started from a desktop entry");
    PawletKit::Paths::ensureDirectory(m_file.parent_path());
    PawletKit::AtomicFile::write(m_file, *text, 0644);
}

void AutostartEntry::disable() const
{
    std::error_code error;
    std::filesystem::remove(m_file, error);
    if (error)
        throw std::system_error(error, "autostart: remove " + m_file.string());
}

std::optional<std::string> AutostartEntry::contents(std::filesystem::path const& program)
{
    auto exec = execValue(program);
    if (!exec)
        return std::nullopt;
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=Pupnik\n"
           "Exec="
        + *exec
        + "\n"
          "Terminal=false\n"
          "X-GNOME-Autostart-enabled=true\n";
}

std::optional<std::string> AutostartEntry::execValue(std::filesystem::path const& program)
{
    auto const& path = program.native();
    if (!program.is_absolute())
        return std::nullopt;
    // Quoted only when it holds a character the Exec key reserves: xdg-open on a desktop it does not
    // know takes quotes for part of the program's name.
    if (path.find_first_of(reservedInExec) == std::string::npos && path.find('%') == std::string::npos
        && std::none_of(path.begin(), path.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; }))
        return path;
    // Quoting rules of the Exec key: inside double quotes, '"', '`', '$' and '\' take a backslash.
    // The value as a whole is then a string value, whose escaping is undone first, so every one of
    // those backslashes is written twice. A '%' would have to be doubled, and GLib then looks for
    // the program under the doubled name and drops the entry: such a path is refused.
    std::string quoted = "\"";
    for (char c : path) {
        auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F || c == '%')
            return std::nullopt;
        if (c == '"' || c == '`' || c == '$')
            quoted += "\\\\";
        if (c == '\\')
            quoted += "\\\\\\";
        quoted += c;
    }
    quoted += '"';
    return quoted;
}

}
