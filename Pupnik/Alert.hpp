#pragma once

#include <exception>
#include <string>
#include <vector>

namespace Pupnik {

// One modal alert: a title, a text, its style and its buttons in order. The answer to an alert is
// 1000 for the first button, 1001 for the second and 1002 for the third.
struct Alert {
    enum class Style {
        informational,
        warning,
        critical,
    };

    static constexpr int firstButton = 1000;
    static constexpr int secondButton = 1001;
    static constexpr int thirdButton = 1002;

    std::string title;
    std::string text;
    Style style { Style::informational };
    std::vector<std::string> buttons;

    // An alert with the one localised "ok" button.
    static Alert notice(std::string title, std::string text, Style style);
    // The application's error alert: critical, the caller's title, the error's text and "ok". The
    // connector's failures read as their localised texts; any other error as its own description.
    static Alert error(std::string title, std::exception const& error);
    static std::string describe(std::exception const& error);

    bool operator==(Alert const&) const = default;
};

}
