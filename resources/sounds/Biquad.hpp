#pragma once

namespace PupnikSounds {

// A second-order filter section (direct form I) with the usual audio cookbook designs. The design
// can be changed while running, which is how formants glide.
class Biquad final {
public:
    static Biquad lowPass(double sampleRate, double frequency, double q);
    static Biquad highPass(double sampleRate, double frequency, double q);
    // Peak gain 0 dB at the centre frequency.
    static Biquad bandPass(double sampleRate, double frequency, double q);
    // Silences the centre frequency; q sets how narrow the gap is.
    static Biquad notch(double sampleRate, double frequency, double q);
    // A designed filter given as b0..b2 over a0..a2.
    static Biquad fromCoefficients(double b0, double b1, double b2, double a0, double a1, double a2);

    // Takes another design's coefficients and keeps this filter's history.
    void retune(Biquad const& design);
    double process(double input);

private:
    Biquad(double b0, double b1, double b2, double a0, double a1, double a2);

    double m_b0, m_b1, m_b2, m_a1, m_a2;
    double m_x1 { 0 }, m_x2 { 0 }, m_y1 { 0 }, m_y2 { 0 };
};

}
