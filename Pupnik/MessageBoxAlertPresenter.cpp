#include "Pupnik/MessageBoxAlertPresenter.hpp"

#include "app-core/Localized.hpp"

#include <QLabel>
#include <QMessageBox>
#include <QPushButton>

namespace Pupnik {

namespace {

QMessageBox::Icon iconFor(Alert::Style style)
{
    switch (style) {
    case Alert::Style::informational:
        return QMessageBox::Information;
    case Alert::Style::warning:
        return QMessageBox::Warning;
    case Alert::Style::critical:
        return QMessageBox::Critical;
    }
    return QMessageBox::NoIcon;
}

QMessageBox::ButtonRole roleOf(size_t index, size_t count)
{
    if (index == 0)
        return QMessageBox::AcceptRole;
    return index + 1 == count ? QMessageBox::RejectRole : QMessageBox::ActionRole;
}

}

int MessageBoxAlertPresenter::run(Alert const& alert)
{
    QMessageBox box;
    box.setWindowTitle(QString::fromStdString(PupnikCore::localized("app.name")));
    box.setWindowFlag(Qt::WindowStaysOnTopHint);
    box.setIcon(iconFor(alert.style));
    // Texts carry paths and error messages: never read them as markup.
    box.setTextFormat(Qt::PlainText);
    box.setText(QString::fromStdString(alert.title));
    box.setInformativeText(QString::fromStdString(alert.text));
    if (auto informative = box.findChild<QLabel*>("qt_msgbox_informativelabel"))
        informative->setTextFormat(Qt::PlainText);
    // The title leads, as it does in an alert; the box itself sets it in the body's font.
    if (auto title = box.findChild<QLabel*>("qt_msgbox_label")) {
        auto font = title->font();
        font.setBold(true);
        title->setFont(font);
    }

    auto titles = alert.buttons.empty() ? std::vector<std::string> { PupnikCore::localized("ok") } : alert.buttons;
    std::vector<QPushButton*> buttons;
    for (size_t index = 0; index < titles.size(); ++index)
        buttons.push_back(box.addButton(QString::fromStdString(titles[index]), roleOf(index, titles.size())));
    box.setDefaultButton(buttons.front());
    box.setEscapeButton(buttons.back());

    box.show();
    box.raise();
    box.activateWindow();
    box.exec();

    for (size_t index = 0; index < buttons.size(); ++index) {
        if (box.clickedButton() == buttons[index])
            return Alert::firstButton + int(index);
    }
    return Alert::firstButton + int(buttons.size()) - 1;
}

}
