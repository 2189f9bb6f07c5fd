// Draws the pet: writes the sprite directory the build stages, or contact sheets to look at.
//
//   pupnik-sprites <sprite directory>
//   pupnik-sprites --contact-sheet <folder> [cell height in pixels, 72 by default] [clip or all] [--collar]
//   pupnik-sprites --icon <PNG file>

#include "AppIcon.hpp"
#include "ContactSheet.hpp"
#include "SpriteDirectoryWriter.hpp"

#include <chrono>
#include <cstdio>
#include <exception>
#include <string>
#include <string_view>
#include <thread>

namespace {

int usage()
{
    std::fprintf(stderr, "usage: pupnik-sprites <sprite directory>\n"
                         "       pupnik-sprites --contact-sheet <folder> [cell height] [clip or all] [--collar]\n"
                         "       pupnik-sprites --icon <PNG file>\n");
    return 2;
}

}

int main(int argc, char** argv)
{
    unsigned const threads = std::max(1u, std::thread::hardware_concurrency());
    auto const started = std::chrono::steady_clock::now();
    try {
        if (argc >= 3 && std::string_view(argv[1]) == "--contact-sheet") {
            int const cellHeight = argc >= 4 ? std::stoi(argv[3]) : 72;
            if (cellHeight < 8 || cellHeight > 400)
                return usage();
            std::string_view const clip = argc >= 5 ? argv[4] : "";
            bool const withCollar = argc >= 6 && std::string_view(argv[5]) == "--collar";
            SpriteArt::ContactSheet::writeAll(argv[2], cellHeight, clip == "all" ? "" : clip, withCollar, threads);
        } else if (argc == 3 && std::string_view(argv[1]) == "--icon") {
            SpriteArt::AppIcon::write(argv[2]);
        } else if (argc == 2 && argv[1][0] != '-') {
            SpriteArt::SpriteDirectoryWriter::write(argv[1], threads);
        } else {
            return usage();
        }
    } catch (std::exception const& error) {
        std::fprintf(stderr, "pupnik-sprites: %s\n", error.what());
        return 1;
    }
    double const seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::printf("pupnik-sprites: done in %.2f s on %u threads\n", seconds, threads);
    return 0;
}
