#include "app-core/Focus/GhosttyDecision.hpp"

namespace PupnikCore {

std::string GhosttyDecision::description() const
{
    struct Describer {
        std::string operator()(ActivateOnly const&) const { return "activateOnly"; }
        std::string operator()(Raise const& raise) const { return "raise(" + std::to_string(raise.index) + ", " + raise.reason + ")"; }
        std::string operator()(Probe const& probe) const
        {
            std::string list;
            for (int64_t index : probe.candidates)
                list += (list.empty() ? "" : ", ") + std::to_string(index);
            return "probe(" + probe.tty + ", [" + list + "])";
        }
    };
    return std::visit(Describer {}, m_payload);
}

}
