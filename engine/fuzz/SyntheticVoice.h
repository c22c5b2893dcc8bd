// SyntheticVoice.h - a voiced word over room noise, for the fuzz targets'
// takes and seeds: random samples almost never pass the end points and the
// take check, so training, verification and adaptation would go unreached.
#pragma once

#include <cmath>
#include <cstdint>
#include <vector>

struct SSyntheticVoice {
    double pitchHz = 120.0;
    int start = 5000;          // first sample of the word
    int length = 6000;         // samples
    double peak = 3000.0;      // the word's amplitude, LSB
    double glideHz = 0.0;      // how far the first formant moves over the word
    // How far the pitch moves over the word, semitones: the word's melody,
    // without which every take would have the same flat pitch contour and
    // the replay check would refuse each as a copy of the last.
    double melodySemitones = 0.0;
    uint32_t noiseSeed = 1;
    // The room: its noise's amplitude (times about 9 LSB RMS) and, when
    // over 0, the corner of a one-pole low-pass that colours it, Hz, so
    // that a take can be given a room other than its enrolment's.
    double noiseGain = 1.0;
    double noiseCornerHz = 0.0;
    // The whole take (word and room) through a telephone line's low-pass,
    // so that nothing of the room is left above the line's band.
    bool throughLine = false;
};

namespace synthetic_voice {

// Second-order low-pass section (direct form I).
class CLowPass {
public:
    CLowPass(double cornerHz, double q, double rate)
    {
        const double w = 2.0 * 3.14159265358979323846 * cornerHz / rate;
        const double alpha = std::sin(w) / (2.0 * q), c = std::cos(w), a0 = 1.0 + alpha;
        m_b0 = m_b2 = (1.0 - c) / 2.0 / a0;
        m_b1 = (1.0 - c) / a0;
        m_a1 = -2.0 * c / a0;
        m_a2 = (1.0 - alpha) / a0;
    }
    double Step(double x)
    {
        const double y = m_b0 * x + m_b1 * m_x1 + m_b2 * m_x2 - m_a1 * m_y1 - m_a2 * m_y2;
        m_x2 = m_x1; m_x1 = x;
        m_y2 = m_y1; m_y1 = y;
        return y;
    }

private:
    double m_b0, m_b1, m_b2, m_a1, m_a2;
    double m_x1 = 0, m_x2 = 0, m_y1 = 0, m_y2 = 0;
};

} // namespace synthetic_voice

// Fills `take` with `samples` samples at 11025 Hz: glottal pulses at the
// voice's pitch, gliding by its melody, through two formants that glide apart, under a sine
// envelope, over the room's noise (white, about 9 LSB RMS, unless the voice
// says otherwise).
inline void MakeSyntheticTake(const SSyntheticVoice& voice, int samples, std::vector<short>& take)
{
    using synthetic_voice::CLowPass;
    take.assign(static_cast<size_t>(samples), 0);
    const double pi = 3.14159265358979323846, rate = 11025.0;
    // An eighth-order Butterworth at the line's top (3400 Hz): a quarter of
    // an octave above it the room is 20 dB down.
    CLowPass line[4] = {{3400.0, 0.5098, rate}, {3400.0, 0.6013, rate}, {3400.0, 0.9000, rate},
                        {3400.0, 2.5629, rate}};
    double y1 = 0, y2 = 0, z1 = 0, z2 = 0, next = 0.0;
    uint32_t noise = voice.noiseSeed | 1;
    const double r = std::exp(-pi * 100.0 / rate);
    const double roomPole = voice.noiseCornerHz > 0.0 ? std::exp(-2.0 * pi * voice.noiseCornerHz / rate) : 0.0;
    double room = 0.0;
    for (int i = 0; i < samples; ++i) {
        double v = 0.0;
        if (i >= voice.start && i < voice.start + voice.length) {
            const int k = i - voice.start;
            const double f1 = 600.0 + voice.glideHz * k / voice.length;
            const double f2 = 1500.0 - 2.0 * voice.glideHz * k / voice.length;
            const double x = k >= next ? 1.0 : 0.0;
            if (x > 0.0)
                next += rate / (voice.pitchHz * std::exp2(voice.melodySemitones * k / voice.length / 12.0));
            const double y = x + 2.0 * r * std::cos(2.0 * pi * f1 / rate) * y1 - r * r * y2;
            y2 = y1; y1 = y;
            const double z = y + 2.0 * r * std::cos(2.0 * pi * f2 / rate) * z1 - r * r * z2;
            z2 = z1; z1 = z;
            v = voice.peak * z * std::sin(pi * k / voice.length);
        }
        noise = noise * 1664525u + 1013904223u;
        room = (1.0 - roomPole) * static_cast<double>(static_cast<int>(noise >> 24) - 128) / 8.0 + roomPole * room;
        v += voice.noiseGain * room;
        if (voice.throughLine)
            for (CLowPass& section : line) v = section.Step(v);
        take[static_cast<size_t>(i)] = static_cast<short>(std::fmax(-32768.0, std::fmin(32767.0, v)));
    }
}
