#pragma once

#include "app-core/Localizer.hpp"
#include "platform/FixedOffsetTimeZone.hpp"

// Fixed English and Greek texts for the status and sync lines, so that what the tests expect does
// not move when a translation is polished. The Greek bar part puts its arguments the other way
// round, as a translator may.
namespace StatusTextTables {

inline PupnikCore::Localizer::Tables tables()
{
    using PupnikCore::Language;
    return {
        { Language::en,
            {
                { "state.happy", "Happy" },
                { "state.poop.many", "%lld agents are waiting for you" },
                { "state.poop.app", "Waiting for you in %@" },
                { "state.poop.one", "An agent is waiting for you" },
                { "hint.notConnected", "Not connected yet: choose Agents ▸ Connect Claude Code" },
                { "hint.waiting", "Connected: waiting for the first agent event" },
                { "state.sleep", "Sleeping" },
                { "state.idle", "Resting" },
                { "state.stroll", "Strolling" },
                { "state.walk", "Walking" },
                { "state.run", "Running" },
                { "busy.suffix", " · sessions: %lld" },
                { "busy.source", " · %@ %lld" },
                { "source.claude", "Claude" },
                { "source.codex", "Codex" },
                { "source.process", "Other" },
                { "state.hungry.generic", "Hungry: usage limit reached" },
                { "state.hungry.window", "Hungry: the %@ limit is used up" },
                { "quota.fiveHour", "5-hour" },
                { "quota.sevenDay", "7-day" },
                { "state.hungry.resume", ", back at %@" },
                { "quota.part", "%@ %lld%%" },
                { "quota.line", "Usage: %@" },
                { "quota.sep", " · " },
                { "quota.bar.part", "%lld%% %@" },
                { "quota.bar.fiveHour", "5h" },
                { "quota.bar.sevenDay", "7d" },
                { "app.name", "Pupnik" },
                { "demo.prefix", "Demo: " },
                { "sync.status.off", "Sync is off" },
                { "sync.status.noEntitlement", "Sync is not available in this build" },
                { "sync.status.error", "Sync error: %@" },
                { "sync.status.synced", "Synced at %@" },
                { "sync.status.pending", "Waiting to sync…" },
                { "sync.status.noAccount", "Sync needs a signed-in account" },
            } },
        { Language::el,
            {
                { "state.happy", "Χαρούμενο" },
                { "state.poop.many", "%lld πράκτορες σας περιμένουν" },
                { "state.poop.app", "Σας περιμένει στο %@" },
                { "state.poop.one", "Ένας πράκτορας σας περιμένει" },
                { "hint.notConnected", "Δεν έχει συνδεθεί ακόμη: επιλέξτε Πράκτορες ▸ Σύνδεση Claude Code" },
                { "hint.waiting", "Συνδέθηκε: αναμονή για το πρώτο συμβάν πράκτορα" },
                { "state.sleep", "Κοιμάται" },
                { "state.idle", "Ξεκουράζεται" },
                { "state.stroll", "Κάνει βόλτα" },
                { "state.walk", "Περπατά" },
                { "state.run", "Τρέχει" },
                { "busy.suffix", " · συνεδρίες: %lld" },
                { "busy.source", " · %@ %lld" },
                { "source.claude", "Claude" },
                { "source.codex", "Codex" },
                { "source.process", "Άλλοι" },
                { "state.hungry.generic", "Πεινάει: εξαντλήθηκε το όριο χρήσης" },
                { "state.hungry.window", "Πεινάει: το %@ όριο εξαντλήθηκε" },
                { "quota.fiveHour", "5ωρο" },
                { "quota.sevenDay", "7ήμερο" },
                { "state.hungry.resume", ", ανανεώνεται στις %@" },
                { "quota.part", "%@ %lld%%" },
                { "quota.line", "Χρήση: %@" },
                { "quota.sep", " · " },
                { "quota.bar.part", "%2$@ %1$lld%%" },
                { "quota.bar.fiveHour", "5ώ" },
                { "quota.bar.sevenDay", "7ημ" },
                { "app.name", "Pupnik" },
                { "demo.prefix", "Επίδειξη: " },
                { "sync.status.off", "Ο συγχρονισμός είναι ανενεργός" },
                { "sync.status.noEntitlement", "Ο συγχρονισμός δεν είναι διαθέσιμος σε αυτή τη δόμηση" },
                { "sync.status.error", "Σφάλμα συγχρονισμού: %@" },
                { "sync.status.synced", "Συγχρονίστηκε: %@" },
                { "sync.status.pending", "Αναμονή για συγχρονισμό…" },
                { "sync.status.noAccount", "Ο συγχρονισμός απαιτεί συνδεδεμένο λογαριασμό" },
            } },
    };
}

inline PupnikCore::Localizer const& english()
{
    static PupnikCore::Localizer const localizer(PupnikCore::Language::en, tables());
    return localizer;
}

inline PupnikCore::Localizer const& greek()
{
    static PupnikCore::Localizer const localizer(PupnikCore::Language::el, tables());
    return localizer;
}

// Five and a half hours ahead of UTC, so that a text in UTC would show.
inline Platform::FixedOffsetTimeZone const zone(5 * 3600 + 30 * 60);

}
