#include "Pupnik/ScriptedAlertPresenter.hpp"

namespace Pupnik {

ScriptedAlertPresenter::ScriptedAlertPresenter(std::deque<int> answers)
    : m_answers(std::move(answers))
{
}

int ScriptedAlertPresenter::run(Alert const& alert)
{
    m_shown.push_back(alert);
    if (m_answers.empty())
        return Alert::firstButton;
    int answer = m_answers.front();
    m_answers.pop_front();
    return answer;
}

std::vector<std::string> ScriptedAlertPresenter::titles() const
{
    std::vector<std::string> titles;
    for (auto const& alert : m_shown)
        titles.push_back(alert.title);
    return titles;
}

}
