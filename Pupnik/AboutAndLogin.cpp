#include "Pupnik/AboutAndLogin.hpp"

#include "app-core/Localized.hpp"

#include <QDesktopServices>

namespace Pupnik {

using PupnikCore::localized;
using PupnikCore::localizedFormat;

AboutAndLogin::AboutAndLogin(LaunchAtLogin login, BuildInfo build, AlertPresenter& alerts, URLOpener openURL)
    : m_login(std::move(login))
    , m_build(std::move(build))
    , m_alerts(alerts)
    , m_openURL(openURL ? std::move(openURL) : [](QUrl const& url) { QDesktopServices::openUrl(url); })
{
}

void AboutAndLogin::toggleLogin()
{
    if (!m_login.isAvailable()) {
        m_alerts.run(Alert::notice(localized("login.fail.title"), localized("login.fail.needsBundle"), Alert::Style::warning));
        return;
    }
    try {
        m_login.toggle();
    } catch (std::exception const& error) {
        m_alerts.run(Alert::error(localized("login.fail.title"), error));
    }
}

std::string AboutAndLogin::feedbackURL() { return "mailto:" + std::string(feedbackAddress) + "?subject=Pupnik%20%E5%8F%8D%E9%A6%88"; }

void AboutAndLogin::feedback()
{
    QUrl url(QString::fromStdString(feedbackURL()), QUrl::StrictMode);
    if (url.isValid())
        m_openURL(url);
}

void AboutAndLogin::about()
{
    auto title = localizedFormat("about.version", { m_build.version, m_build.build });
    auto text = localized("about.privacy") + "\n\n" + localized("about.feedback") + "\n" + localized("about.closing");
    m_alerts.run(Alert::notice(std::move(title), std::move(text), Alert::Style::informational));
}

}
