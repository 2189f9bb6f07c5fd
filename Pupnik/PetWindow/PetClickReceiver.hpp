#pragma once

class QMouseEvent;

namespace Pupnik {

// Where clicks on the pet go, straight from the view that told them from drags.
class PetClickReceiver {
public:
    // A left press released where it began, soon enough to be a click.
    virtual void petClicked(QMouseEvent const& event) = 0;
    virtual void petRightClicked(QMouseEvent const& event) = 0;

protected:
    ~PetClickReceiver() = default;
};

}
