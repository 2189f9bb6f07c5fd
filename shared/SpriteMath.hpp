#pragma once

#include <cstdint>
#include <string>

namespace PawletShared::SpriteMath {

// The frame of a clip of count frames shown after elapsed seconds at fps frames per second times
// rate. 0 for an empty clip, a negative time, and any input that is not a finite positive number;
// a product too large to count in also gives 0 rather than an undefined conversion.
int64_t frameIndex(int64_t count, double elapsed, double fps, double rate);

// "%02d.png": 05.png, 100.png.
std::string fileName(int64_t index);

// Seconds between frames, never more than cap; cap when fps or rate is not above 0.
double interval(double fps, double rate, double cap);

}
