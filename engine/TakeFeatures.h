// TakeFeatures.h - one spoken word, reduced to what the scorer compares.
//
// The word's frames (between the end points) are averaged in pairs, which
// halves the frame rate to about 14.5 ms (enough for the slowest spectral
// changes of speech and four times less DTW work), and squeezed linearly when
// the word would still exceed the frame limit. The log energy is made relative
// to the word's loudest frame, so that the microphone gain drops out. From
// these statics the scorer's vectors are built: the cepstra, the relative
// energy, and their first differences over +-2 frames (the dynamics), each
// group scaled by its weight.
#pragma once

#include "FeatureMatrix.h"
#include "SpeakerModel.h"

// A take's noise on the scale its templates keep their own: every
// filter-bank channel's noise level and their summed level relative to the
// word's loudest frame on the frame-energy scale, and the analysis' mask
// under the take's loudest cell on the same scale, dB.
struct STakeNoise {
    static constexpr int kMaxChannels = 40;   // as many as a word is rebuilt on
    // A channel at or under this level carries no noise: the matching
    // leaves its cells as they are, its masks included.
    static constexpr float kNoneDb = -1e9f;
    int nChannels = 0;                  // 0: no noise known
    float channelDb[kMaxChannels] = {};
    float totalDb = kNoneDb;
    float floorDb = kNoneDb;
};

class CTakeFeatures {
public:
    static constexpr int kMaxFrames = CSpeakerModel::kMaxTemplateFrames;
    static constexpr int kMaxDims = CSpeakerModel::kMaxDims;
    static constexpr int kMaxVectorDims = 2 * kMaxDims;
    static constexpr int kMaxChannels = STakeNoise::kMaxChannels;   // filter-bank channels a word is rebuilt on

    CTakeFeatures() { Reset(); }
    void Reset();

    // full: analysis features (cepstra then log energy per row); first..last:
    // the word's frames; frameLimit: most frames kept (<= kMaxFrames).
    // Returns the number of frames kept (0 when the range is empty or the
    // feature width exceeds kMaxDims).
    int Build(const CFeatureMatrix& full, int first, int last, int frameLimit);
    // Dequantises template `index` of `model`. Returns the frame count.
    int BuildFromTemplate(const CSpeakerModel& model, int index);
    // Quantises the statics into template `index` of `model` with the
    // model's scale. Returns 1 on success.
    int StoreAsTemplate(CSpeakerModel& model, int index) const;
    // Writes what the replay check keeps of this take (its pitch contour and
    // waveform prints) into known-take slot `slot` of `model`. Returns 1 on
    // success.
    int StoreKnownTake(CSpeakerModel& model, int slot) const;

    // Builds the weighted scorer vectors (statics, optional per-word cepstral
    // mean removal, dynamics) and the mean cepstrum.
    void ComputeVectors();
    // This word as neighbouring voices say it, one copy into each of
    // out[0..count-1] (none of them this word), moved channels[s] channels up
    // the mel scale (negative: down; the edge channels repeat): the log
    // filter energies are rebuilt once from the cepstra (orthonormal DCT over
    // `channelCount` channels, as in the analysis), moved for each copy and
    // transformed back; energy and pitch stay. A vocal tract a few per cent
    // shorter moves every formant up by about the same share, which on the mel
    // scale is nearly a shift. Returns 1 on success (0, with out untouched,
    // when channelCount cannot hold the cepstra or a move is not finite).
    int ShiftedCopies(const float* channels, int count, int channelCount, CTakeFeatures* const* out) const;

    // Keeps only channels firstChannel..lastChannel of the word's spectrum:
    // the log filter energies are rebuilt from the cepstra (as ShiftedCopies
    // does, over `channelCount` channels), the channels outside the range
    // dropped and the rest transformed again (orthonormal DCT over those
    // channels, as many cepstra as they hold, at most the ones there were);
    // energy and pitch stay. A take and a template reduced alike compare on
    // what a band-limited line lets through and nothing else. Returns 1 on
    // success (0 when the range holds fewer than three channels or
    // channelCount cannot hold the cepstra).
    int KeepChannels(int firstChannel, int lastChannel, int channelCount);

    // Keeps the take's noise to set against what its templates keep of
    // theirs, and for them to meet: the analysis' channel noise levels (dB,
    // `channels` values) and its loudest cell (dB), moved onto the
    // frame-energy scale by filterBankOffsetDb (how far the filter bank's
    // summed energy lies over the frame's log energy) and made relative to
    // the word's loudest frame. Call after Build.
    void SetNoise(const float* channelNoiseDb, int channels, float peakCellDb, float filterBankOffsetDb);
    // The word as it would sound under `noise`: each frame's log filter
    // energies are rebuilt from the cepstra (as KeepChannels does), placed
    // so that their summed energy is the frame's, the channel's noise energy
    // added and the analysis' masks applied (the channel's noise + its
    // margin, and the take's mask under its loudest cell), then transformed
    // back; the frame energy becomes the larger of its own and the noise's,
    // relative to the word's loudest frame again. A channel whose noise is
    // at or under STakeNoise::kNoneDb is left as it was (no noise, no mask).
    // A template and a take so compared carry the same noise, instead of
    // the take's noise counting against its own speaker. Returns 1 on
    // success (0 when the noise has another channel count or channelCount
    // cannot hold the cepstra).
    int MeetNoise(const STakeNoise& noise, int channelCount);
    // This becomes `word` given `noise` (MeetNoise), without a copy of the
    // word's frames it does not hold or of the vectors MeetNoise makes
    // anew: the templates meet every matched take's noise. Returns as
    // MeetNoise does (on 0 this holds `word` as it was).
    int MeetNoiseOf(const CTakeFeatures& word, const STakeNoise& noise, int channelCount);
    // The log filter energies of the word's quietest frame (its lowest frame
    // energy), rebuilt from the cepstra and placed so that their summed
    // energy is that frame's: relative to the word's loudest frame, on the
    // scale STakeNoise uses. What a template keeps of its recording's noise
    // (the analysis' masks had raised each cell to at least the channel's
    // noise + kNoiseMaskDb and the loudest cell - kMaskRangeDb). Returns 1
    // on success (0 when channelCount cannot hold the cepstra).
    int QuietestFrameChannelsDb(int channelCount, float* out) const;
    const STakeNoise& Noise() const { return m_noise; }

    // Median pitch of the word's voiced frames, Hz (0: unknown).
    void SetPitch(float hz) { m_fPitchHz = hz; }
    // The pitch of every word frame (one per pair of analysis frames from
    // the word's first, Hz, 0: unvoiced), as the voicing analysis found it;
    // `count` values, the rest unvoiced. Ignored for a squeezed word, whose
    // frames are no longer pairs.
    void SetPitchTrack(const float* hz, int count);
    // The replay check's pitch contour (CSpeakerModel's units, one value per
    // word frame, at most maxFrames: the middle of a longer word) around its
    // median pitch (medianHz, to 0.1 Hz; 0 when no frame is voiced). Returns
    // the frame count.
    int PitchContour(signed char* out, int maxFrames, float& medianHz) const;
    float Pitch() const { return m_fPitchHz; }
    // The word's waveform print (CWaveformPrint), kept with the take so that
    // training and adaptation store it; nullptr clears it, and so does Build.
    void SetWaveformPrint(const unsigned char* print);
    const unsigned char* WaveformPrint() const { return m_bWaveformPrint ? m_waveformPrint : nullptr; }

    int Frames() const { return m_nFrames; }
    int Dims() const { return m_nDims; }
    int VectorDims() const { return 2 * m_nDims; }
    const float* Statics() const { return &m_statics[0][0]; }
    const float* Vectors() const { return &m_vectors[0][0]; }
    const float* MeanCepstrum() const { return m_meanCepstrum; }

private:
    // Frame `frame`'s log filter energies rebuilt from its cepstra (no
    // common level), channelCount values; the full bank's table prepared.
    void RebuildChannels(int frame, int channelCount, float* logMel) const;
    // One frame's cepstra (statics, cepstra only) of its log filter
    // energies logMel moved `channels` channels; the full bank's table
    // prepared.
    void MoveFrame(const float* logMel, float channels, int channelCount, float* statics) const;
    // Everything of `word` but its vectors and the rows past its frames.
    void CopyStaticsOf(const CTakeFeatures& word);

    int m_nFrames;
    int m_nDims;                                  // cepstra + 1 (energy last)
    float m_statics[kMaxFrames][kMaxDims];        // row stride kMaxDims
    float m_vectors[kMaxFrames][kMaxVectorDims];  // packed, stride VectorDims()
    float m_meanCepstrum[kMaxDims];
    float m_fPitchHz;
    bool m_bSqueezed;                             // frames are not pairs of analysis frames
    float m_pitchTrack[kMaxFrames];               // Hz per frame, 0: unvoiced
    bool m_bWaveformPrint;
    unsigned char m_waveformPrint[CSpeakerModel::kWaveformPrintBytes];
    float m_fPeakEnergyDb;                        // the loudest frame's log energy before Build made it 0
    STakeNoise m_noise;
};
