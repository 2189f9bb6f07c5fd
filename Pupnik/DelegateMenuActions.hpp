#pragma once

#include "Pupnik/MenuBarActions.hpp"

#include <QPointer>

namespace Pupnik {

class AppDelegate;

// The tray menu's road to the application delegate. The menu holds its actions weakly while the
// delegate is a Qt object; this small object, owned by the delegate, bridges the two and does
// nothing once the delegate is gone.
class DelegateMenuActions final : public MenuBarActions {
public:
    explicit DelegateMenuActions(AppDelegate* delegate);

    PupnikCore::MenuModel makeMenuModel() override;
    void toggleVisible() override;
    void togglePinned() override;
    void toggleTop() override;
    void toggleDiscreet() override;
    void toggleSounds() override;
    void previewSound() override;
    void setHeight(double points) override;
    void setSkin(PupnikCore::Skin skin) override;
    void setLanguage(std::optional<PupnikCore::Language> language) override;
    void demo(std::optional<PupnikCore::Clip> clip) override;
    void toggleLogin() override;
    void connect() override;
    void disconnect() override;
    void updateHooks() override;
    void toggleCodex() override;
    void toggleProcess() override;
    void toggleSync() override;
    void feedback() override;
    void about() override;
    void quit() override;

private:
    QPointer<AppDelegate> m_delegate;
};

}
