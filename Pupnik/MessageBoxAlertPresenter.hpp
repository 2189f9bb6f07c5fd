#pragma once

#include "Pupnik/AlertPresenter.hpp"

namespace Pupnik {

// Alerts as QMessageBox dialogs, in front of every other window. The first button is the default
// (Return); with more than one button the last answers Escape and the close box, as a cancel does.
class MessageBoxAlertPresenter final : public AlertPresenter {
public:
    int run(Alert const& alert) override;
};

}
