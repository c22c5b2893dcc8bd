// SpeakerModel.h - the speaker's model of one pass phrase and its file format.
//
// The model is what training leaves in "<dir>/work/<nick>.bin" and what
// verification reads back. It must fit the voice dictionary's model block, so
// features are stored as int8 with a per-dimension scale.
//
// File layout (all integers little-endian, floats IEEE-754 binary32 LE):
//   header, 24 bytes:
//     0  char[4]  magic "SVMD"
//     4  u16      format version (kVersion)
//     6  u16      header size (24)
//     8  u32      payload size in bytes
//     12 u32      CRC-32 of the payload
//     16 u32      reserved, 0
//     20 u32      reserved, 0
//   payload:
//     u16 sample rate, u16 frame length, u16 frame shift, u16 cepstra, u16 channels
//     u16 dims (= cepstra + 1), u16 template count T (1..kMaxTemplates)
//     f32 scale[dims]                       value = int8 * scale
//     T x { u16 frames; i8 data[frames * dims] }
//     u16 pitch[T]                          median pitch of each take, 0.1 Hz (0: unknown)
//     f32 enrolMean[kScoreParts], f32 enrolSpread[kScoreParts]   (from training)
//     f32 adaptedMean[kScoreParts]                               (drifts with use)
//     u32 adaptations
//     u16 fingerprint dims, u16 fingerprint count F (<= kMaxFingerprints), u16 next ring slot
//       (slots 0 .. T-1: the enrolment takes; then a ring of accepted takes)
//     f32 fingerprint scale
//     f32 typical fingerprint distance between the enrolment takes
//     F x { u16 frames; i8 data[frames * fingerprint dims]; u16 median pitch (0.1 Hz, 0: none);
//           i8 pitch[frames] }
//       pitch: the pitch contour, kPitchContourSteps per semitone from the
//       median pitch, kUnvoiced where a frame is not voiced
//     u16 waveform print count W (0 .. T: the enrolment takes; version 5 on)
//     f32 typical waveform similarity between the enrolment takes (W > 0 only)
//     W x u8 print[kWaveformPrintBytes]   (CWaveformPrint)
// A version 4 file (no waveform prints) is read as a model without them;
// its replay check then goes without the waveform cue.
// Every count and length is checked against its limit and against the bytes
// left before it is used; anything that does not add up makes Parse fail.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class CSpeakerModel {
public:
    // 5: waveform prints of the enrolment takes; 4: fingerprints with a pitch
    // contour of their own (still read); 3: without a pitch contour; 2: with
    // one among the cepstra.
    static constexpr int kVersion = 5;
    static constexpr int kOldestReadVersion = 4;
    static constexpr int kHeaderSize = 24;
    static constexpr int kMaxFileSize = 20655;     // the voice dictionary's model block
    static constexpr int kMaxDims = 21;            // up to 20 cepstra + energy
    static constexpr int kMaxTemplates = 5;
    static constexpr int kMaxTemplateFrames = 128;
    static constexpr int kTemplateBudget = 11000;  // bytes of template data at most
    static constexpr int kScoreParts = 4;
    static constexpr int kFingerprintDims = 11;   // c1..c10 less their mean, energy contour
    static constexpr int kMaxFingerprintFrames = 56;
    static constexpr int kMaxFingerprints = 13;    // then a ring of accepted takes
    static constexpr float kPitchContourSteps = 16.0f;    // per semitone: 0.36 % each, +-7.9 semitones
    static constexpr signed char kUnvoiced = -128;
    static constexpr int kWaveformPrintBytes = 128;
    static constexpr int kFixedPayload = 7 * 2 + kMaxDims * 4 + kScoreParts * 3 * 4 + 4 + 3 * 2 + 4 + 4;
    static_assert(kHeaderSize + kFixedPayload + kMaxTemplates * 4 + kTemplateBudget +
                      kMaxFingerprints * (4 + kMaxFingerprintFrames * (kFingerprintDims + 1)) + 2 +
                      4 + kMaxTemplates * kWaveformPrintBytes <= kMaxFileSize,
                  "model must fit the voice dictionary's block");

    CSpeakerModel() { Reset(); }
    // Sets every field to the empty model.
    void Reset();

    // Largest frames per template that keeps the templates within their budget.
    static int TemplateFrameLimit(int dims);

    // Serialises into `out`. Returns 1, or 0 when a field is out of its limits.
    int Serialize(std::vector<unsigned char>& out) const;
    // Parses `size` bytes. Returns 1 and replaces the content on success; on
    // any fault (magic, version, checksum, a length or a value out of range)
    // returns 0 and leaves the model empty.
    int Parse(const unsigned char* data, size_t size);

    // Reads the file. Returns 1 on success, 0 when missing, unreadable or bad.
    int Load(const std::string& path);
    // Writes the file through a temporary file in the same folder that is
    // flushed and then replaces the old file in one step, so that a reader
    // finds the old model or the new one. Returns 1 on success; on failure
    // the old file is as it was.
    int Save(const std::string& path) const;

    // --- content (public: the scorer and trainer fill and read it) ---
    int nSampleRate, nFrameLength, nShift, nCepstra, nChannels, nDims;
    int nTemplates;
    float scale[kMaxDims];
    int templateFrames[kMaxTemplates];
    signed char templates[kMaxTemplates][kMaxTemplateFrames * kMaxDims];
    float templatePitch[kMaxTemplates];
    float enrolMean[kScoreParts];
    float enrolSpread[kScoreParts];
    float adaptedMean[kScoreParts];
    uint32_t nAdaptations;
    int nFingerprints;
    int nNextRingSlot;
    float fingerprintScale;
    float fingerprintTypical;
    int fingerprintFrames[kMaxFingerprints];
    signed char fingerprints[kMaxFingerprints][kMaxFingerprintFrames * kFingerprintDims];
    float fingerprintMedianPitch[kMaxFingerprints];   // Hz, 0: none voiced
    signed char fingerprintPitch[kMaxFingerprints][kMaxFingerprintFrames];
    int nWaveformPrints;                              // 0 (older file) .. nTemplates
    float waveformTypical;                            // (0, 1] when there are prints
    unsigned char waveformPrints[kMaxTemplates][kWaveformPrintBytes];
};
