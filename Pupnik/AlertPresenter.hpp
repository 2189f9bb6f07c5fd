#pragma once

#include "Pupnik/Alert.hpp"

namespace Pupnik {

// Shows an alert modally and answers with the button chosen (Alert::firstButton and on). The
// application shows message boxes; tests script the answers.
class AlertPresenter {
public:
    virtual ~AlertPresenter() = default;
    virtual int run(Alert const& alert) = 0;
};

}
