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
//     u16 known takes K (<= kMaxKnownTakes), u16 next ring slot
//       (slots 0 .. T-1: the enrolment takes; then a ring of accepted takes)
//     K x { u16 frames; u16 median pitch (0.1 Hz, 0: none voiced); i8 pitch[frames];
//           u8 printed (0 or 1); printed x u8 print[kWaveformPrintBytes] }
//       pitch: the pitch contour, kPitchContourSteps per semitone from the
//       median pitch, kUnvoiced where a frame is not voiced;
//       print: CWaveformPrint's signs around the take's loudest frame
//     f32 typical waveform similarity between the enrolment takes' prints
//       (0: fewer than two enrolment takes with a print)
//     f32 enrolment snr: the mean over the enrolment takes of the word's peak
//       over the take's noise floor, dB (0: unknown)
//     u8 noise move known (0 or 1), f32 noise move, f32 near impostors'
//       noise move, f32 the noisy copies' mean snr, dB (all 0 when unknown):
//       how far the enrolment takes' scores, and theirs moved to the near
//       voices, moved against the other takes with noise added
//       (CSpeakerScorer::MeasureCopyMove, CNoisyCopy)
//     u8 weighted (0 or 1); when 1: u8 weight code[dims]
//       (CDimensionWeights::WeightOfCode), f32 weightedEnrolMean[kScoreParts],
//       f32 weightedAdaptedMean[kScoreParts]: the per-dimension weights and
//       the typical distances taken with them (CSpeakerScorer::TakePath)
//     u8 enrolment noise channels N (0 or the analysis' channels),
//       f32 enrolNoiseDb[N]
//     u8 matched margin known (0 or 1), f32 matched margin (0 when unknown):
//       where the enrolment takes' noisy copies land against the matched
//       threshold (CSpeakerScorer::MeasureMatchedMargin)
// Older files are still read: version 10 (without the matched margin, read
// as unknown), version 9 (without the enrolment noise, read as unknown),
// version 8 (without the weights, read as
// unweighted), version 7 (without the noise move, read as
// unknown), version 6 (without the enrolment snr, read as
// unknown), version 5 (a cepstral fingerprint before each
// pitch contour, skipped; then one waveform print of each enrolment take)
// and version 4 (the same without waveform prints), as models whose known
// takes have their pitch contours and the version 5 prints.
// Every count and length is checked against its limit and against the bytes
// left before it is used; anything that does not add up makes Parse fail.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class CSpeakerModel {
public:
    // 11: the enrolment takes' matched margin; 10: the enrolment takes' own channel noise; 9: per-dimension weights; 8: the enrolment takes' move in noise; 7: the enrolment takes' snr; 6:
    // pitch contours and waveform prints of the enrolment and accepted
    // takes, no cepstral fingerprint; 5: a
    // fingerprint, its pitch contour and a print of each enrolment take; 4:
    // without the prints (10, 9, 8, 7, 6, 5 and 4 still read); 3: a fingerprint without a
    // pitch contour; 2: with one among the cepstra.
    static constexpr int kVersion = 11;
    static constexpr int kOldestReadVersion = 4;
    static constexpr int kHeaderSize = 24;
    static constexpr int kMaxFileSize = 20655;     // the voice dictionary's model block
    static constexpr int kMaxDims = 21;            // up to 20 cepstra + energy
    static constexpr int kMaxTemplates = 5;
    // Templates 0 .. kFixedTemplates - 1 are always the enrolment takes;
    // adaptation replaces the others in turn (the accepted take's template).
    static constexpr int kFixedTemplates = 3;
    static constexpr int kMaxTemplateFrames = 128;
    static constexpr int kTemplateBudget = 11000;  // bytes of template data at most
    static constexpr int kScoreParts = 4;
    static constexpr int kMaxContourFrames = 56;    // the middle of a longer word
    static constexpr int kMaxKnownTakes = 13;       // the enrolment takes, then a ring of accepted takes
    static constexpr float kPitchContourSteps = 16.0f;    // per semitone: 0.36 % each, +-7.9 semitones
    static constexpr signed char kUnvoiced = -128;
    static constexpr int kWaveformPrintBytes = 128;
    static constexpr int kMaxNoiseChannels = 40;    // the analysis' filter-bank channels at most
    static constexpr float kNoNoiseDb = -1e9f;      // a channel none of the enrolment takes carried noise in
    static constexpr int kFixedPayload = 7 * 2 + kMaxDims * 4 + kScoreParts * 3 * 4 + 4 + 2 * 2 + 4 + 4 + 1 + 4 + 4 +
                                         4 + 1 + kMaxDims + kScoreParts * 2 * 4 + 1 + kMaxNoiseChannels * 4 + 1 + 4;
    static constexpr int kKnownTakeBytes = 2 + 2 + kMaxContourFrames + 1 + kWaveformPrintBytes;
    static_assert(kHeaderSize + kFixedPayload + kMaxTemplates * 4 + kTemplateBudget +
                      kMaxKnownTakes * kKnownTakeBytes <= kMaxFileSize,
                  "model must fit the voice dictionary's block");

    CSpeakerModel() { Reset(); }
    // Sets every field to the empty model.
    void Reset();

    // Largest frames per template that keeps the templates within their budget.
    static int TemplateFrameLimit(int dims);
    // The template the next adaptation replaces: the ones past the fixed
    // templates in turn, kFixedTemplates + nAdaptations % (nTemplates -
    // kFixedTemplates); -1 when there is none past them.
    int NextAdaptedTemplate() const;
    // Template t is still the enrolment take whose known-take slot t holds
    // its pitch contour: no adaptation's turn (NextAdaptedTemplate) has
    // reached it yet.
    bool HoldsEnrolmentTake(int t) const;

    // Serialises into `out`. Returns 1, or 0 when a field is out of the limits
    // Parse holds a file to: what it writes, Parse reads back.
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
    int nKnownTakes;
    int nNextRingSlot;
    int contourFrames[kMaxKnownTakes];
    float contourMedianPitch[kMaxKnownTakes];         // Hz, 0: none voiced
    signed char contourPitch[kMaxKnownTakes][kMaxContourFrames];
    bool printed[kMaxKnownTakes];                     // the take has a waveform print
    unsigned char prints[kMaxKnownTakes][kWaveformPrintBytes];
    float printTypical;                               // (0, 1], or 0 when no two enrolment takes have prints
    float enrolSnrDb;                                 // the enrolment takes' mean snr, dB, or 0 when unknown
    static constexpr float kMaxSnrDb = 200.0f;
    bool bNoiseMove;                                  // noiseMove was measured (never before version 8)
    float noiseMove;                                  // score units, within +-kMaxNoiseMove
    float noiseImpostorMove;                          // the same for the takes moved to the near voices
    float noiseCopySnrDb;                             // the noisy copies' mean snr, dB
    static constexpr float kMaxNoiseMove = 100.0f;
    bool bWeighted;                                   // the weights below were learnt (never before version 9)
    unsigned char weightCodes[kMaxDims];              // CDimensionWeights' codes, one per dimension
    float weightedEnrolMean[kScoreParts];             // the typical distances with the weights
    float weightedAdaptedMean[kScoreParts];           // the same, drifting with the takes scored with them
    // The enrolment takes' own channel noise (never before version 10): per
    // analysis channel the mean over the takes that carried noise there of
    // the take's noise relative to its word's loudest frame, dB, or
    // kNoNoiseDb where none did. A login's noise is read against it to tell
    // a take recorded as the enrolment was from one with noise added over
    // that room's: the templates' quietest frames rebuilt from the cepstra
    // are too smooth to tell them apart, the analysed floors are not.
    int nEnrolNoiseChannels;                          // nChannels when known, else 0
    float enrolNoiseDb[kMaxNoiseChannels];
    // Where this model's own takes land on the matched path (never before
    // version 11): the median over the enrolment takes of a noisy copy's
    // matched score, its template left out, less the matched threshold's
    // snr terms. A model whose own noisy takes land high holds its noisy
    // logins high too, and its matched threshold follows it.
    bool bMatchedMargin;
    float matchedMargin;                              // score units, within +-kMaxMatchedMargin
    static constexpr float kMaxMatchedMargin = 100.0f;
};
