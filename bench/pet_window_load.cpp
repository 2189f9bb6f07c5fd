// Shows the pet on the current display with the real window, timer and sprites, playing one clip
// at a playback rate (1 unless given; a sleeping pet plays idle at 0.5) until the given number of
// seconds has passed, so a script can read what it costs from /proc.
//   pet_window_load <sprites folder> <clip> <seconds> [rate]
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
    if (argc != 4 && argc != 5) {
        std::fprintf(stderr, "usage: %s <sprites folder> <clip> <seconds> [rate]\n", argv[0]);
        return 2;
    }
    auto const clip = PupnikCore::clipFromRawValue(argv[2]);
    double const seconds = std::atof(argv[3]);
    double const rate = argc == 5 ? std::atof(argv[4]) : 1.0;
    if (!clip || !(seconds > 0) || !(rate > 0 && rate <= 4)) {
        std::fprintf(stderr, "pet_window_load: unknown clip, bad duration or bad rate\n");
        return 2;
    }
    QApplication application(argc, argv);
    Platform::QtScreens screens;
    Platform::QtScheduler scheduler(nullptr);
    Platform::SystemClock clock;
    Platform::MemoryDefaultsStore defaults;
    SpriteStore sprites { std::filesystem::path(argv[1]) };
    PetController pet(sprites, {}, defaults, std::nullopt, std::make_unique<PetPanel>(), { screens, scheduler, clock });
    pet.apply({ *clip, rate });
    QTimer::singleShot(int(seconds * 1000), &application, &QApplication::quit);
    return application.exec();
}
