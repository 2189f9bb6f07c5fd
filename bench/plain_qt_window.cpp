// The yardstick for what the pet window costs: a plain frameless Qt window of the pet's size,
// moved sideways at the walking pet's speed by a 60 Hz timer and repainted 24 times a second, the
// way a toolkit program would animate a small sprite.
//   plain_qt_window <seconds>
#include <QApplication>
#include <QPainter>
#include <QTimer>
#include <QWidget>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

class PlainWindow final : public QWidget {
public:
    PlainWindow()
        : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus)
    {
        setAttribute(Qt::WA_ShowWithoutActivating);
        resize(130, 96);
    }

    int frame = 0;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.fillRect(rect(), QColor(40, 40, 48));
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setBrush(QColor(220, 160, 90));
        painter.setPen(Qt::NoPen);
        double const swing = std::sin(frame * 0.5) * 8;
        painter.drawEllipse(QRectF(20, 30, 80, 40));
        painter.drawEllipse(QRectF(85, 15, 30, 30));
        painter.drawRect(QRectF(30 + swing, 65, 8, 25));
        painter.drawRect(QRectF(80 - swing, 65, 8, 25));
    }
};

}

int main(int argc, char** argv)
{
    double const seconds = argc == 2 ? std::atof(argv[1]) : 0;
    if (!(seconds > 0)) {
        std::fprintf(stderr, "usage: %s <seconds>\n", argv[0]);
        return 2;
    }
    QApplication application(argc, argv);
    PlainWindow window;
    double x = 100;
    double direction = 1;
    window.move(int(x), 600);
    window.show();

    QTimer move;
    move.setTimerType(Qt::PreciseTimer);
    QObject::connect(&move, &QTimer::timeout, [&] {
        x += direction * 45.0 / 60.0;
        if (x > 1000 || x < 100)
            direction = -direction;
        window.move(int(std::lround(x)), 600);
    });
    move.start(1000 / 60);

    QTimer paint;
    paint.setTimerType(Qt::PreciseTimer);
    QObject::connect(&paint, &QTimer::timeout, [&] {
        ++window.frame;
        window.update();
    });
    paint.start(1000 / 24);

    QTimer::singleShot(int(seconds * 1000), &application, &QApplication::quit);
    return application.exec();
}
