#include "Pupnik/DelegateMenuActions.hpp"

#include "Pupnik/AppDelegate.hpp"

namespace Pupnik {

DelegateMenuActions::DelegateMenuActions(AppDelegate* delegate)
    : m_delegate(delegate)
{
}

PupnikCore::MenuModel DelegateMenuActions::makeMenuModel()
{
    return m_delegate ? m_delegate->makeMenuModel() : PupnikCore::MenuModel {};
}

void DelegateMenuActions::toggleVisible()
{
    if (m_delegate)
        m_delegate->toggleVisible();
}

void DelegateMenuActions::togglePinned()
{
    if (m_delegate)
        m_delegate->togglePinned();
}

void DelegateMenuActions::toggleTop()
{
    if (m_delegate)
        m_delegate->toggleTop();
}

void DelegateMenuActions::toggleDiscreet()
{
    if (m_delegate)
        m_delegate->toggleDiscreet();
}

void DelegateMenuActions::toggleSounds()
{
    if (m_delegate)
        m_delegate->toggleSounds();
}

void DelegateMenuActions::previewSound()
{
    if (m_delegate)
        m_delegate->previewSound();
}

void DelegateMenuActions::toggleLogin()
{
    if (m_delegate)
        m_delegate->toggleLogin();
}

void DelegateMenuActions::connect()
{
    if (m_delegate)
        m_delegate->connect();
}

void DelegateMenuActions::disconnect()
{
    if (m_delegate)
        m_delegate->disconnect();
}

void DelegateMenuActions::updateHooks()
{
    if (m_delegate)
        m_delegate->updateHooks();
}

void DelegateMenuActions::toggleCodex()
{
    if (m_delegate)
        m_delegate->toggleCodex();
}

void DelegateMenuActions::toggleProcess()
{
    if (m_delegate)
        m_delegate->toggleProcess();
}

void DelegateMenuActions::toggleSync()
{
    if (m_delegate)
        m_delegate->toggleSync();
}

void DelegateMenuActions::feedback()
{
    if (m_delegate)
        m_delegate->feedback();
}

void DelegateMenuActions::about()
{
    if (m_delegate)
        m_delegate->about();
}

void DelegateMenuActions::quit()
{
    if (m_delegate)
        m_delegate->quit();
}

void DelegateMenuActions::setHeight(double points)
{
    if (m_delegate)
        m_delegate->setHeight(points);
}

void DelegateMenuActions::setSkin(PupnikCore::Skin skin)
{
    if (m_delegate)
        m_delegate->setSkin(skin);
}

void DelegateMenuActions::setLanguage(std::optional<PupnikCore::Language> language)
{
    if (m_delegate)
        m_delegate->setLanguage(language);
}

void DelegateMenuActions::demo(std::optional<PupnikCore::Clip> clip)
{
    if (m_delegate)
        m_delegate->demo(clip);
}

}
