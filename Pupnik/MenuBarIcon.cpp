#include "Pupnik/MenuBarIcon.hpp"

#include <QPixmap>

namespace Pupnik {

QIcon MenuBarIcon::icon() const
{
    QIcon icon;
    icon.addPixmap(QPixmap::fromImage(normal));
    icon.addPixmap(QPixmap::fromImage(doubled));
    return icon;
}

}
