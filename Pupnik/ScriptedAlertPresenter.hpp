#pragma once

#include "Pupnik/AlertPresenter.hpp"

#include <deque>
#include <vector>

namespace Pupnik {

// Records every alert and answers from a script, in order; once the script runs out, every alert
// is answered with its first button.
class ScriptedAlertPresenter final : public AlertPresenter {
public:
    explicit ScriptedAlertPresenter(std::deque<int> answers = {});

    int run(Alert const& alert) override;

    std::vector<Alert> const& shown() const { return m_shown; }
    std::vector<std::string> titles() const;

private:
    std::deque<int> m_answers;
    std::vector<Alert> m_shown;
};

}
