// VoicingAnalyzer.h - how much of a stretch of samples is voiced speech.
//
// Voiced speech is periodic at the pitch of the voice. For each analysis frame
// the normalised autocorrelation is searched over the lags of a 60 - 400 Hz
// pitch; a frame whose best peak is high is voiced. Hiss, clicks and most
// machine noise have no such peak; a steady tone has one, but does not change
// over time, which the caller checks from the cepstra. The lag of the peak,
// refined by a parabola through its neighbours, gives the frame's pitch.
#pragma once

#include <vector>

class CVoicingAnalyzer {
public:
    // sampleRate: Hz; frameLength/shift: samples per frame and between frames.
    // Returns 1 on success.
    int Init(int sampleRate, int frameLength, int shift);
    void Reset();

    // samples/count: the take; firstFrame..lastFrame: frames to judge.
    // voicedFraction: receives the share (0..1) of those frames that are voiced;
    // pitchHz: the median pitch of the voiced frames (0 when none is voiced).
    void Analyse(const short* samples, int count, int firstFrame, int lastFrame, float& voicedFraction,
                 float& pitchHz);
    // The last Analyse's pitch of every judged frame (firstFrame, firstFrame +
    // 2, ...: one per pair of frames), Hz, 0 where unvoiced; TrackLength() values.
    const float* Track() const { return m_track.data(); }
    int TrackLength() const { return static_cast<int>(m_track.size()); }

private:
    int m_nSampleRate = 0;
    int m_nFrameLength = 0;
    int m_nShift = 0;
    int m_nMinLag = 0;
    int m_nMaxLag = 0;
    int m_nWindow = 0;   // samples correlated per judged frame
    std::vector<float> m_frame;
    std::vector<float> m_corr;      // normalised autocorrelation per lag
    std::vector<double> m_energy;   // running sum of squares of the window
    std::vector<float> m_pitches;   // one per voiced frame of the last call
    std::vector<float> m_track;     // one per judged frame of the last call, 0: unvoiced
};
