// FeatureExtractor.h - mel-frequency cepstra and frame energies of a take.
//
// A take is cut into frames of `frameLength` samples every `shift` samples.
// Each frame is pre-emphasised, Hamming-windowed and transformed; its power
// spectrum is pooled by a triangular mel filter bank, and the cosine transform
// of the log filter energies gives the cepstra c1 .. cN. A frame's row holds
// c1 .. cN followed by the frame's log energy in dB (the windowed, pre-
// emphasised frame). Separately, the raw mean-square level of every frame in
// dB (no pre-emphasis, no window) is kept for the end-point detector.
//
// Noise masking: before the cosine transform every filter energy is raised
// to at least its channel's noise level (the mean over the take's quietest
// frames) plus a margin. Cells where only noise speaks then hold the same
// value in every take, instead of the random level of that take's noise, so
// the cepstra of a word hardly change with the room's noise.
#pragma once

#include "Fft.h"
#include "FeatureMatrix.h"

#include <vector>

class CFeatureExtractor {
public:
    // sampleRate: 6000 .. 48000 Hz; frameLength: 64 .. 1024 samples;
    // shift: 1 .. frameLength; cepstra: 4 .. 24; channels: cepstra+1 .. 40;
    // maxSamples: longest take that Compute will see.
    // Returns 1 when the set is usable (tables and buffers built), else 0.
    int Init(int sampleRate, int frameLength, int shift, int cepstra, int channels, int maxSamples);
    // Sets every field back to the state before Init.
    void Reset();

    int Dims() const { return m_nCepstra + 1; }
    int Cepstra() const { return m_nCepstra; }
    int MaxFrames() const { return m_nMaxFrames; }
    int FrameShift() const { return m_nShift; }
    int FrameLength() const { return m_nFrameLength; }
    int SampleRate() const { return m_nSampleRate; }

    // Number of whole frames in `count` samples (0 when count < frameLength).
    int FrameCount(int count) const;

    // samples/count: the take (count clamped to maxSamples of Init).
    // features: receives FrameCount rows of Dims() values.
    // levelDb: receives one raw frame level (dB re 1 LSB^2) per frame; must hold
    //          MaxFrames() values.
    // Returns the number of frames, 0 when not initialised or too short.
    int Compute(const short* samples, int count, CFeatureMatrix& features, float* levelDb);

    // The last Compute's frames as heard against the take's own noise: the
    // mean over the channels of each filter energy's ratio to that channel's
    // noise level, in dB (about 0 dB where only the noise speaks). Speech
    // that fills a few channels stands out of it even where its broadband
    // level hardly rises over a noise spread across all of them (a soft
    // voice in white noise). MaxFrames() values, FrameCount valid.
    const float* SpectralSnrDb() const { return m_spectralSnrDb.data(); }

    // The level (dB) of a band in the first `frames` frames of the last
    // Compute: the summed filter energies of the channels centred within
    // loHz..hiHz, before the noise mask (which would raise the quiet frames
    // to it). Returns the frames written (0 when no channel lies in the
    // band).
    int BandLevelsDb(float loHz, float hiHz, int frames, float* out) const;

    // How far the last Compute's noise floor lies, in the channels above
    // `last`, under its level in the band's top three channels (dB, the
    // mean over each set): a microphone's or a room's noise reaches the top
    // of the filter bank, a band-limited line carries none of it beyond its
    // band. 0 when no channel lies above `last`.
    float NoiseDropAboveDb(int last) const;
    // The channels centred within loHz..hiHz: first..last. Returns 0 when
    // none is.
    int ChannelsWithin(float loHz, float hiHz, int& first, int& last) const;

    // Basis of the cosine transform from log filter energies to cepstra:
    // the weight of channel m (0-based) in cepstrum c_k (k >= 1) for
    // `channels` channels. Orthonormal, so that cepstra keep the dB unit and
    // the transform back is the same basis.
    static double CosineBasis(int k, int m, int channels);

    // Filter energies are raised to at least their channel's noise level
    // plus this margin before the cosine transform, dB.
    static constexpr float kNoiseMaskDb = 6.0f;
    // ... and to at least the take's loudest cell less this range, dB.
    static constexpr float kMaskRangeDb = 34.0f;
    // The last Compute's loudest filter energy (before the mask), dB.
    float PeakCellDb() const { return m_fPeakCellDb; }
    // The last Compute's noise level of every channel (the mean filter
    // energy of the take's quietest frames), dB; Init's channel count values.
    const float* ChannelNoiseDb() const { return m_noiseDb.data(); }
    // How far the filter bank's summed energy lies over the frame's log
    // energy (features' last column), dB: the median over the frames of
    // first..last within kLoudRangeDb of the loudest of them, in the last
    // Compute. It turns a level on the frame-energy scale (as templates keep
    // it) into the filter energies' scale. 0 when the range is empty.
    float FilterBankOverFrameEnergyDb(const CFeatureMatrix& features, int first, int last);

private:
    void BuildMelBank(int channels);
    void BuildCosineTable();
    void EstimateChannelNoise(const float* levelDb, int frames);
    void ComputeSpectralSnr(int frames);
    void AnalyseFrame(const short* samples, int f, CFeatureMatrix& features, float* levelDb);
    void MaskAndTransform(int f, CFeatureMatrix& features);

    int m_nSampleRate = 0;
    int m_nFrameLength = 0;
    int m_nShift = 0;
    int m_nCepstra = 0;
    int m_nChannels = 0;
    int m_nMaxSamples = 0;
    int m_nMaxFrames = 0;
    float m_fPeakCellDb = 0.0f;         // the last Compute's loudest filter energy, dB
    CFft m_fft;
    std::vector<float> m_window;        // Hamming, frameLength
    std::vector<float> m_frame;         // one pre-emphasised, windowed frame
    std::vector<float> m_power;         // fft/2 + 1 bins
    std::vector<float> m_melWeights;    // channels x (fft/2+1) triangle weights
    std::vector<int> m_melFirst;        // first non-zero bin of each channel
    std::vector<int> m_melLast;         // last non-zero bin of each channel
    std::vector<float> m_melCentreHz;   // centre of each channel
    std::vector<float> m_logMel;        // maxFrames x channels log filter energies, dB
    std::vector<float> m_melPower;      // maxFrames x channels filter energies, LSB^2 (as the log's argument)
    std::vector<float> m_noiseDb;       // channels: noise level per channel, dB
    std::vector<double> m_noisePower;   // channels: the same as power
    std::vector<float> m_spectralSnrDb; // maxFrames: mean filter-energy-to-noise ratio, dB
    std::vector<float> m_sortedLevels;  // maxFrames: scratch for the quiet-frame choice
    std::vector<float> m_cosTable;      // cepstra x channels DCT-II basis
};
