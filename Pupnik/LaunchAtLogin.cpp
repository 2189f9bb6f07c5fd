#include "Pupnik/LaunchAtLogin.hpp"

#include <cerrno>
#include <system_error>

namespace Pupnik {

LaunchAtLogin::LaunchAtLogin(std::optional<Platform::InstallLayout> layout, Platform::AutostartEntry entry)
    : m_layout(std::move(layout))
    , m_entry(std::move(entry))
{
}

LaunchAtLogin LaunchAtLogin::forRunningProgram(PawletKit::Environment const& environment)
{
    return LaunchAtLogin(Platform::InstallLayout::ofRunningProgram(), Platform::AutostartEntry(Platform::AutostartEntry::defaultFile(environment)));
}

bool LaunchAtLogin::isAvailable() const { return m_layout && m_layout->isInstallation(); }

bool LaunchAtLogin::isEnabled() const { return m_entry.status() == Platform::AutostartEntry::Status::enabled; }

void LaunchAtLogin::toggle() const
{
    if (!isAvailable())
        throw std::system_error(ENOENT, std::generic_category(), "autostart: not an installed copy");
    if (isEnabled())
        m_entry.disable();
    else
        m_entry.enable(m_layout->executable());
}

}
