// Shows the pet on the current display with the real window, timer and sprites, playing one clip
// until the given number of seconds has passed, so a script can read what it costs from /proc.
//   pet_window_load <sprites folder> <clip> <seconds>
#include "Pupnik/PetController.hpp"
#include "Pupnik/PetWindow/PetPanel.hpp"
#include "platform/Clock.hpp"
#include "platform/Desktop/QtScheduler.hpp"
#include "platform/Desktop/QtScreens.hpp"
#include "platform/MemoryDefaultsStore.hpp"

#include <QApplication>
#include <QTimer>
#include <cstdio>
#include <cstdlib>

using namespace Pupnik;

int main(int argc, char** argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s <sprites folder> <clip> <seconds>\n", argv[0]);
        return 2;
    }
    auto const clip = PupnikCore::clipFromRawValue(argv[2]);
    double const seconds = std::atof(argv[3]);
    if (!clip || !(seconds > 0)) {
        std::fprintf(stderr, "pet_window_load: unknown clip or bad duration\n");
        return 2;
    }
    QApplication application(argc, argv);
    Platform::QtScreens screens;
    Platform::QtScheduler scheduler(nullptr);
    Platform::SystemClock clock;
    Platform::MemoryDefaultsStore defaults;
    SpriteStore sprites { std::filesystem::path(argv[1]) };
    PetController pet(sprites, {}, defaults, std::nullopt, std::make_unique<PetPanel>(), { screens, scheduler, clock });
    pet.apply({ *clip, 1.0 });
    QTimer::singleShot(int(seconds * 1000), &application, &QApplication::quit);
    return application.exec();
}
