// The yardstick for what the pet window costs: a plain frameless Qt window of the pet's size that
// does the walking pet's work, the way a toolkit program would animate a small sprite: one 24 Hz
// timer that moves it sideways at the pet's speed and repaints it.
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

    QTimer frame;
    frame.setTimerType(Qt::PreciseTimer);
    QObject::connect(&frame, &QTimer::timeout, [&] {
        x += direction * 45.0 / 24.0;
        if (x > 1000 || x < 100)
            direction = -direction;
        window.move(int(std::lround(x)), 600);
        ++window.frame;
        window.update();
    });
    frame.start(1000 / 24);

    QTimer::singleShot(int(seconds * 1000), &application, &QApplication::quit);
    return application.exec();
}
