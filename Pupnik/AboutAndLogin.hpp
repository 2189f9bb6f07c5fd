#pragma once

#include "Pupnik/AlertPresenter.hpp"
#include "Pupnik/BuildInfo.hpp"
#include "Pupnik/LaunchAtLogin.hpp"

#include <QUrl>

#include <functional>
#include <string_view>

namespace Pupnik {

// Three small actions of the menu: start at login on or off, a feedback mail, the About box. Each
// returns once its alert, if any, is dismissed. The presenter must outlive them. Main thread only.
class AboutAndLogin final {
public:
    static constexpr std::string_view feedbackAddress = "feedback@pupnik.app";
    // Opens a URL with the user's application for it; QDesktopServices unless a test gives another.
    using URLOpener = std::function<void(QUrl const&)>;

    AboutAndLogin(LaunchAtLogin login, BuildInfo build, AlertPresenter& alerts, URLOpener openURL = {});

    void toggleLogin();
    void feedback();
    void about();

    // "mailto:" + the address, with the subject "Pupnik 反馈" percent-encoded as UTF-8.
    static std::string feedbackURL();
    LaunchAtLogin const& launchAtLogin() const { return m_login; }

private:
    LaunchAtLogin m_login;
    BuildInfo m_build;
    AlertPresenter& m_alerts;
    URLOpener m_openURL;
};

}
