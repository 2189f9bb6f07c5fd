#pragma once

#include <cstdint>

namespace PupnikSounds {

// White noise from a fixed seed, so every build makes the same files.
class Noise final {
public:
    explicit Noise(uint64_t seed);
    // Uniform in [-1, 1).
    double next();

private:
    uint64_t m_state;
};

}
