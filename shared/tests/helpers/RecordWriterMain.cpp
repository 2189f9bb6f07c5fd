// Saves pet records into a local record store as the application's publisher does, on command:
// "save <n>" saves numbered snapshot n and answers "saved <n>"; "flood <count>" saves numbered
// snapshots 1000 and 1001 by turns count times and answers "flooded"; end of input ends the program.
#include "SampleSnapshots.hpp"
#include "platform/LocalCloudDatabase.hpp"
#include "shared/CloudKitTransport.hpp"

#include <iostream>
#include <string>

namespace {

bool save(Platform::LocalCloudDatabase& database, int64_t n)
{
    bool saved = false;
    database.save(PawletShared::CloudKitTransport::record(SampleSnapshots::numbered(n)), Platform::CloudSavePolicy::changedKeys,
        [&](Platform::CloudSaveOutcome outcome) {
            saved = outcome.succeeded();
            if (!saved)
                std::cout << "failed " << (outcome.recordError ? outcome.recordError->description : std::string("?")) << std::endl;
        });
    return saved;
}

}

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::cerr << "usage: pupnik-test-record-writer <store folder>\n";
        return 2;
    }
    Platform::LocalCloudDatabase database(argv[1]);
    std::string command;
    int64_t number = 0;
    while (std::cin >> command >> number) {
        if (command == "save") {
            if (save(database, number))
                std::cout << "saved " << number << std::endl;
        } else if (command == "flood") {
            bool ok = true;
            for (int64_t i = 0; i < number && ok; ++i)
                ok = save(database, 1000 + i % 2);
            if (ok)
                std::cout << "flooded" << std::endl;
        } else {
            std::cout << "unknown " << command << std::endl;
        }
    }
    return 0;
}
