// Follows the pet record of a local record store as a companion display does, and prints each
// snapshot it receives: "snapshot <gait>/<mood> busy=<sessions> updatedAt=<ISO 8601>". It asks for
// the record four times a second and ends after the given number of seconds or when killed.
#include "platform/LocalCloudDatabase.hpp"
#include "platform/ManualScheduler.hpp"
#include "platform/MemoryDefaultsStore.hpp"
#include "shared/CloudKitTransport.hpp"

#include <charconv>
#include <chrono>
#include <iostream>
#include <string_view>
#include <thread>

int main(int argc, char** argv)
{
    double seconds = 0;
    std::string_view const limit = argc == 3 ? argv[2] : "";
    if (argc != 3 || std::from_chars(limit.data(), limit.data() + limit.size(), seconds).ec != std::errc() || seconds <= 0) {
        std::cerr << "usage: pupnik-test-record-reader <store folder> <seconds>\n";
        return 2;
    }
    auto database = std::make_shared<Platform::LocalCloudDatabase>(argv[1]);
    Platform::MemoryDefaultsStore defaults;
    Platform::ManualScheduler mainThread;
    PawletShared::CloudKitTransport transport(database, defaults, mainThread);
    transport.onSnapshot = [](PawletShared::PetSnapshot const& snapshot) {
        std::cout << "snapshot " << PawletShared::rawValue(snapshot.gait) << "/" << PawletShared::rawValue(snapshot.mood)
                  << " busy=" << snapshot.totalCount() << " updatedAt=" << snapshot.updatedAt.iso8601() << std::endl;
    };
    transport.start();
    constexpr double step = 0.25;
    for (double passed = 0; passed < seconds; passed += step) {
        std::this_thread::sleep_for(std::chrono::milliseconds(250));
        transport.refresh();
        mainThread.advance(step);
    }
    transport.stop();
    return 0;
}
