#pragma once

#include <optional>

namespace PawletKit {

// The engine's tuning. Times are seconds on the scale of event timestamps, percentages 0 to 100,
// weights in activity units.
struct EngineConfig {
    // A session whose turn is not over is busy while its last activity is younger than this.
    double busyWindow { 15 };
    // ...and, with tool calls still open, while it is younger than this.
    double inflightToolWindow { 600 };
    // Time constant of the exponential decay of a session's activity.
    double tau { 20 };
    // The tool-call rate that gives anchorIntensity; together they fix the scale k.
    double anchorToolCallsPerMinute { 12 };
    double anchorIntensity { 0.45 };
    std::optional<double> kOverride;
    // Highest intensities that still give a stroll and a walk.
    double strollMax { 0.22 };
    double walkMax { 0.6 };
    // Intensity added per busy session beyond the first, and its cap.
    double concurrencyBonus { 0.15 };
    double concurrencyBonusCap { 0.3 };
    // With nothing busy the pet idles this long after the latest event, then sleeps.
    double sleepAfter { 600 };
    double happyDuration { 8 };
    // A hunger whose end is noticed later than this after its time ends without a happy spell.
    double happyGrace { 600 };
    double waitingTimeout { 1800 };
    // How long a hunger without a known window reset lasts.
    double hungerFallback { 18000 };
    double hungryAtPercent { 97 };
    double hungryClearBelowPercent { 92 };
    // Beyond this since its last real hook event a session is no longer known, nor its reading preferred.
    double quotaStaleAfter { 600 };
    double sessionForgetAfter { 7200 };
    double maxFutureSkew { 3600 };
    double maxStaleSkew { 3600 };
    double weightPreToolUse { 1 };
    double weightPostToolUse { 1 };
    double weightPostToolUseFailure { 1 };
    double weightUserPromptSubmit { 0.5 };
    double weightSubagentStart { 1.5 };
    // Status-line token growth worth one activity unit, and the most one status line may add.
    double statuslineTokensPerUnit { 2000 };
    double statuslineWeightCap { 2 };

    // The values above, as the application runs with them.
    static EngineConfig const& defaults();

    // The activity sum at which intensity reaches 1 − 1/e; chosen so that a steady anchor rate of tool
    // calls gives anchorIntensity.
    double k() const;
};

}
