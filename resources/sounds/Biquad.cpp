#include "resources/sounds/Biquad.hpp"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace PupnikSounds {

namespace {

struct Angle {
    double cosine;
    double alpha;
};

Angle angle(double sampleRate, double frequency, double q)
{
    // Keep the design stable whatever a glide asks for.
    double const f = std::clamp(frequency, 1.0, sampleRate * 0.49);
    double const w = 2 * std::numbers::pi * f / sampleRate;
    return { std::cos(w), std::sin(w) / (2 * std::max(q, 0.05)) };
}

}

Biquad::Biquad(double b0, double b1, double b2, double a0, double a1, double a2)
    : m_b0(b0 / a0)
    , m_b1(b1 / a0)
    , m_b2(b2 / a0)
    , m_a1(a1 / a0)
    , m_a2(a2 / a0)
{
}

Biquad Biquad::lowPass(double sampleRate, double frequency, double q)
{
    auto [c, alpha] = angle(sampleRate, frequency, q);
    return Biquad((1 - c) / 2, 1 - c, (1 - c) / 2, 1 + alpha, -2 * c, 1 - alpha);
}

Biquad Biquad::highPass(double sampleRate, double frequency, double q)
{
    auto [c, alpha] = angle(sampleRate, frequency, q);
    return Biquad((1 + c) / 2, -(1 + c), (1 + c) / 2, 1 + alpha, -2 * c, 1 - alpha);
}

Biquad Biquad::bandPass(double sampleRate, double frequency, double q)
{
    auto [c, alpha] = angle(sampleRate, frequency, q);
    return Biquad(alpha, 0, -alpha, 1 + alpha, -2 * c, 1 - alpha);
}

Biquad Biquad::notch(double sampleRate, double frequency, double q)
{
    auto [c, alpha] = angle(sampleRate, frequency, q);
    return Biquad(1, -2 * c, 1, 1 + alpha, -2 * c, 1 - alpha);
}

Biquad Biquad::fromCoefficients(double b0, double b1, double b2, double a0, double a1, double a2)
{
    return Biquad(b0, b1, b2, a0, a1, a2);
}

void Biquad::retune(Biquad const& design)
{
    m_b0 = design.m_b0;
    m_b1 = design.m_b1;
    m_b2 = design.m_b2;
    m_a1 = design.m_a1;
    m_a2 = design.m_a2;
}

double Biquad::process(double input)
{
    double const output = m_b0 * input + m_b1 * m_x1 + m_b2 * m_x2 - m_a1 * m_y1 - m_a2 * m_y2;
    m_x2 = m_x1;
    m_x1 = input;
    m_y2 = m_y1;
    m_y1 = output;
    return output;
}

}
