#include "resources/sounds/Noise.hpp"

namespace PupnikSounds {

Noise::Noise(uint64_t seed)
    // xorshift must never hold zero.
    : m_state(seed ? seed : 0x9e3779b97f4a7c15ull)
{
}

double Noise::next()
{
    // xorshift64*: plenty for audio, and the same on every machine.
    m_state ^= m_state >> 12;
    m_state ^= m_state << 25;
    m_state ^= m_state >> 27;
    uint64_t const bits = m_state * 0x2545f4914f6cdd1dull;
    return double(bits >> 11) / double(1ull << 52) - 1.0;
}

}
