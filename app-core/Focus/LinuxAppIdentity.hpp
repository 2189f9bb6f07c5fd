#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace PupnikCore {

// What the window system tells about an application on Linux: the two halves of its windows'
// WM_CLASS and its process's executable name. The focus rules key applications by the identifiers
// of their desktop bundles; this maps one onto the other.
struct LinuxAppIdentity {
    // WM_CLASS: the instance name (res_name) and the class name (res_class).
    std::optional<std::string> wmInstance;
    std::optional<std::string> wmClass;
    std::optional<std::string> executableName;

    // One known application: the identifier the rules use, a display name, and what it reports on Linux.
    struct KnownApp {
        std::string_view bundleId;
        std::string_view displayName;
        // Compared with either half of WM_CLASS ignoring ASCII case.
        std::span<std::string_view const> wmClasses;
        std::span<std::string_view const> executables;
    };
    static std::span<KnownApp const> knownApps();

    // The first known application whose names hold the class, else the instance, else the executable.
    std::optional<KnownApp> knownApp() const;
    // A known application's identifier; any other application keeps its own name (class, instance, or
    // executable, the first present), so rules that look into names, like the one for codex's desktop
    // application, still see it. Nothing when nothing is known.
    std::optional<std::string> bundleIdentifier() const;
    std::optional<std::string> displayName() const;

    bool operator==(LinuxAppIdentity const&) const = default;
};

}
