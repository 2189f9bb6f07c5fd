#pragma once

#include "PawletKit/ApprovalDecision.hpp"
#include "PawletKit/Environment.hpp"
#include "PawletKit/Paths.hpp"
#include "PawletKit/SessionTarget.hpp"
#include "app-core/Clip.hpp"
#include "app-core/Language.hpp"
#include "app-core/Skin.hpp"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace Pupnik {

// The application's whole configuration from the environment, read once at start. Reading never
// fails: an unset, empty or malformed variable gives its field's default.
struct LaunchOptions {
    std::optional<PupnikCore::Clip> demoClip;
    std::optional<PupnikCore::Skin> demoSkin;
    bool skipOnboarding { false };
    std::optional<std::filesystem::path> spritesDir;
    std::filesystem::path claudeSettingsURL;
    std::optional<std::string> defaultsSuite;
    std::optional<std::filesystem::path> debugFrameFile;
    std::optional<PupnikCore::Language> language;
    std::optional<std::filesystem::path> snapshotDir;
    std::vector<std::string> debugMenuKeys;
    std::optional<std::filesystem::path> codexSessionsDir;
    bool noCloud { false };
    std::optional<double> debugCloudStatusAfter;
    bool noModals { false };
    std::optional<double> debugFocusOnLaunch;
    std::optional<PawletKit::SessionTarget> debugWaitingTarget;
    bool debugOpenApprovalOnLaunch { false };
    std::optional<PawletKit::ApprovalDecision> debugApprove;
    PawletKit::Paths paths;

    // `now` stamps the debug waiting target; the working directory resolves relative paths.
    LaunchOptions(PawletKit::Environment const& environment, PawletKit::Date now, std::filesystem::path const& workingDirectory);
    static LaunchOptions fromProcess();

    // The reading rules, one per kind of variable.
    static std::optional<std::filesystem::path> path(std::string_view value, PawletKit::Environment const& environment,
        std::filesystem::path const& workingDirectory);
    static bool flag(std::string_view value);
    // A finite decimal number of 0 or more taking the whole text; "nan", "inf" and hexadecimal
    // forms are no numbers.
    static std::optional<double> number(std::string_view value);
    static std::optional<double> delayOrFlag(std::string_view value);
    static std::vector<std::string> list(std::string_view value);
    static std::optional<PawletKit::ApprovalDecision> decision(std::string_view value);
    static std::optional<PupnikCore::Language> languageNamed(std::string_view value);
};

}
