// SpeakerScorer.h - trains the pass-phrase model and scores takes against it.
//
// The model is the five enrolment takes themselves (quantised templates).
// A take is compared with them in four ways, each a distance (lower = more
// like the enrolled speaker):
//   0  DTW:  mean of the best three DTW distances to the templates, on the
//            weighted cepstra, energy and their dynamics - how the word is said;
//   1  mean: distance of the take's mean cepstrum from the templates' - the
//            long-term spectral envelope of the voice (vocal tract, timbre);
//   2  NN:   mean distance of each frame to its nearest template frame, and
//            of each template frame to its nearest frame of the take (each
//            mean without its farthest tenth) - the speaker's sounds,
//            regardless of their order;
//   3  pitch: distance of the take's median pitch from the templates' (log).
// Each distance is scaled by its spread over genuine trials and the four are
// fused with fixed weights, after a share of this speaker's typical value of
// each is taken off: training learns it by leaving each enrolment take out
// in turn and scoring it against the other four (kTypicalShare), so that a
// speaker whose takes lie close together is held to that, and one whose
// takes vary is not refused for it.
//
// The score then weighs that fused distance against the take's distance to
// neighbouring voices: the templates with their spectra moved half a
// channel and a channel up and down the mel scale (a vocal tract a few per
// cent shorter or longer). The speaker's own take is nearer the model than
// the neighbours; another voice that happens to come near the model is
// mostly as near them, and its score moves away. The reward is bounded: the
// distances to the model and to a neighbour differ by at most about the
// distance between the two, so no take far from the model can earn its way
// in.
#pragma once

#include "Dtw.h"
#include "SpeakerModel.h"
#include "TakeFeatures.h"

#include <limits>
#include <vector>

// Filter-bank channels first..last (inclusive).
struct SChannelRange {
    int nFirst;
    int nLast;
};

// How far a model's enrolment takes moved with noise added (training's
// CSpeakerScorer::MeasureCopyMove): the mean move in score units of the
// takes themselves and of the takes moved to the near voices, and the
// noisy copies' mean snr, dB.
struct SNoiseFigure {
    float fMove;
    float fImpostorMove;
    float fCopySnrDb;
};

class CSpeakerScorer {
public:
    static constexpr int kParts = CSpeakerModel::kScoreParts;

    // Returns 1 on success.
    int Init();
    void Reset();

    // Builds the model (templates, scale, normalisation, known takes) from
    // `count` enrolment takes (3 .. kMaxTemplates). The analysis fields of
    // `model` (rate, framing, cepstra, channels, dims) must be set by the
    // caller. Returns 1 on success, 0 when the takes do not make a model.
    int Train(const CTakeFeatures* takes, int count, CSpeakerModel& model);

    // Prepares the templates of `model` for scoring. Returns 1 on success.
    int Load(const CSpeakerModel& model);
    // Raw distances of `test` to the loaded templates, without the model's
    // weights, leaving template `exclude` out (-1: none). parts: receives
    // kParts values.
    void Distances(const CTakeFeatures& test, int exclude, float* parts);
    // The four ways a take is scored, each with a fusion and a threshold
    // base of its own: with the model's weights, on a line's band, and
    // every other take without the weights: clean in itself or not.
    enum class EScorePath { kWeighted, kUnweighted, kLine, kCleanUnweighted };
    // The path of a take, decided once and handed to Score and Threshold
    // alike, so that a take is always held to the threshold of the path it
    // was scored on.
    // throughLine: the take is compared on a line's band (Score's `band`);
    // its path is the line's at any level: the band has fewer dimensions
    // than the weights.
    // modelWeighted: its model has weights (CSpeakerModel::bWeighted); they
    // weigh a take clean in itself and recorded about as its enrolment
    // (enrolSnrDb, 0: unknown, never) was.
    // snrDb: the take's word peak over its noise floor. A take neither
    // weighted nor on a line's band that reads at least the weighted path's
    // level gate is clean in itself (only far under its enrolment's level)
    // and keeps the fusion of every take until the noisy ones got their own.
    static EScorePath TakePath(bool throughLine, bool modelWeighted, float snrDb, float enrolSnrDb);
    // Normalised, fused distance (lower = more like the speaker), each part
    // less its share of the speaker's typical distance (kParts values; the
    // model's adaptedMean, or the band's), with path's weights and shares.
    static float Fuse(const float* parts, const float* typical, EScorePath path);
    // The decision's score on path from the distances to the model (parts)
    // and to each neighbouring voice (voiceParts: kNeighbours x kParts, in
    // LastNeighbourPart's order): the fused distance, plus path's near gain x
    // how much nearer the take is to the model than to the near pair, plus
    // its far gain x the same for the far pair, each distance's share of
    // both terms scaled by path's gain of that distance.
    static float Combine(const float* parts, const float* voiceParts, const float* typical, EScorePath path);
    // The decision's score on the take's path (TakePath; lower = more like
    // the speaker): Combine's, plus CueTerm of the take's cues. parts:
    // receives the raw distances to the model (kParts values);
    // neighbourParts (optional): their means over the neighbouring voices. On the weighted path (only for a model with weights) the
    // distances take the model's per-dimension weights and are fused
    // against the typical distances taken with them.
    //
    // band (optional, the line's path only): a take that came through a
    // band-limited line (the engine tells it by its noise floor,
    // CFeatureExtractor::NoiseDropAboveDb) is compared on the channels
    // inside the band only, on both sides: the take, the templates and the
    // neighbouring voices reduced alike (CTakeFeatures::KeepChannels), and
    // the typical distances taken between the reduced templates (leave one
    // out, as training does, for every such take: the engine loads the
    // model afresh for each take), so that what the line removed counts
    // neither against the speaker nor for an impostor. Without a band, or
    // with one too narrow to keep, the take is compared on the whole bank,
    // still with the line's fusion.
    //
    // matchNoise (optional, the unweighted path only): the take's noise,
    // which the templates and neighbouring voices are given (the part of
    // it over what they keep of their own, NoiseOverOwn; CTakeFeatures::
    // MeetNoise) before the take is compared with them, the speaker's
    // typical distances shrunk as the noise brings the templates nearer
    // each other: a noisy take then meets its model under its own noise,
    // and the noise no longer counts against its own speaker. LastMatched
    // says whether it was done (a noise of another channel count cannot be).
    // overBound (a matched take only: the hold kMatchedOverBound): every
    // DTW distance of the matching, the typical distances' shrinking
    // included, counts each frame pair by the greater of its frames'
    // weights (FrameWeights, CDtw::PairWeightedDistance), and the cues
    // weigh as that hold's (CueTerm).
    float Score(const CTakeFeatures& test, const CSpeakerModel& model, EScorePath path, float* parts,
                float* neighbourParts = nullptr, const SChannelRange* band = nullptr,
                const STakeNoise* matchNoise = nullptr, bool overBound = false);
    // The last Score compared the take with the templates given its noise.
    bool LastMatched() const { return m_bLastMatched; }
    // The typical distances part (0 .. kParts - 1) of the last Score was
    // taken against: the model's (with or without its weights) or, for a
    // take on a line's band, the band's own.
    float LastTypical(int part) const { return m_lastTypical[part]; }
    // Distance part of neighbouring voice v (kNeighbourShift's order) in
    // the last Score, on the unit the score took it (0 when unscored).
    float LastNeighbourPart(int v, int part) const { return m_lastEachNeighbour[v * kParts + part]; }
    // The word's own cues beside the spectral distances, each against the
    // templates the last Score's DTW distance kept (0 when unscored). The
    // weighted path's score adds the first two (CueTerm); both are the same
    // to every neighbouring voice (a moved spectrum keeps the word's frames
    // and pitch), so they have no neighbours' term.
    //   kCueDuration: |ln(the take's word frames / the kept templates' mean
    //     word frames)|, how much faster or slower the word was said;
    //   kCueIntonation: the mean over the kept templates' enrolment takes
    //     of ContourShapeDistance between the take's pitch contour and
    //     theirs, semitones: the melody of the word, each contour relative
    //     to its own median (the pitch distance keeps the level);
    //     kNeutralIntonation when no kept template has kMinShapePairs
    //     frames voiced in both;
    //   kCueIntonationFolded: the same with each frame's difference folded
    //     to the nearest octave (ContourShapeDistance's foldOctaves), so that
    //     a frame where the pitch tracker took the octave below or above
    //     counts what is left of its difference, not 12 semitones (within
    //     what the contour holds: a frame is clamped at +-7.9 semitones from
    //     its median, so an octave error folds back only part of the way).
    //     No path weighs it (measured beside the others).
    // Three more, measured beside them and weighed by no path:
    //   kCueLoudness: how the word's energy rises and falls, the mean over
    //     the kept templates of LoudnessAlongPath: along the DTW path that
    //     lays the take over the template (the distance's own weights), the
    //     mean |difference| of the two energies, dB, each relative to its
    //     own word's peak and held at kLoudnessFloorDb under it (what lies
    //     deeper is the room's noise around the word, not the voice);
    //     kNeutralLoudness when no kept template has such a path;
    //   kCueIntonationPath: the melody as kCueIntonation compares it, but
    //     laid along the same DTW path instead of a linear time
    //     normalisation (ShapeAlongPath), over the kept templates that are
    //     still their enrolment takes (an adapted template's frames are not
    //     the contour's) with kMinShapePairs path pairs voiced in both;
    //     kNeutralIntonation when none has;
    //   kCueVoicedShare: |the take's share of voiced frames - the mean share
    //     of the kept templates' enrolment takes| (VoicedShare, over the
    //     stretch of the word the contours keep: the middle of a longer
    //     word); kNeutralVoicedShare when no kept template has a contour.
    // And one the weighted path's score adds past a free amount (CueTerm):
    //   kCueContourDistance: the take's pitch contour against every
    //     enrolment take's, not only the kept templates', by
    //     PitchContourDistance (the replay check's comparison: the level
    //     kept, the best offset), the nearest, semitones;
    //     kNeutralContourDistance when none can be compared.
    enum ECue {
        kCueDuration,
        kCueIntonation,
        kCueIntonationFolded,
        kCueLoudness,
        kCueIntonationPath,
        kCueVoicedShare,
        kCueContourDistance,
        kCues
    };
    float LastCue(int cue) const { return cue >= 0 && cue < kCues ? m_lastCues[cue] : 0.0f; }
    // How far a take's noise lies over what the loaded templates keep of
    // their own recordings' noise: the mean over the channels of max(0,
    // take's - templates'), dB, the templates' level of a channel being the
    // mean over the templates of their quietest frame's
    // (CTakeFeatures::QuietestFrameChannelsDb). 0 when either is unknown
    // (the threshold then holds the take to the stricter, held-noise form).
    float NoiseExcessDb(const STakeNoise& noise, int channelCount) const;
    // The loaded templates' own noise per channel, NoiseExcessDb's side of
    // the excess (the mean over the templates of their quietest frame's
    // channels). Returns 0 when unknown.
    int TemplatesOwnNoiseDb(int channelCount, double* own) const;
    // The part of a take's noise over the templates' own (TemplatesOwnNoiseDb),
    // channel by channel in power: 10 log10(10^(take/10) - 10^(own/10)) where
    // the take's lies higher, STakeNoise::kNoneDb where it does not (the
    // matching leaves such a channel as it is); the summed level over the
    // channels that carry some, the take's floor kept. Returns 0 when either
    // side is unknown.
    int NoiseOverOwn(const STakeNoise& noise, int channelCount, STakeNoise& over) const;
    // The enrolment takes' own channel noise (`noises`, one per take), kept
    // in the model (CSpeakerModel::enrolNoiseDb): per channel the mean over
    // the takes that carried noise there, a take of another channel count
    // not read. The mean rather than each take: one
    // reference to read a login against, steadier than any single take's
    // floor, and a fixed 4 bytes a channel. None when no take carried any.
    static void KeepEnrolNoise(const STakeNoise* noises, int count, CSpeakerModel& model);
    // How a take's noise is shaped against its model's enrolment noise: the
    // standard deviation over the channels both know of (take's - the
    // enrolment's), dB; a level shift alone leaves it at 0. 0 for a model
    // without enrolment noise. A take recorded as the enrolment was reads
    // near 0.3 dB whoever speaks; noise added over that room reshapes it.
    static float EnrolNoiseShapeDb(const STakeNoise& noise, const CSpeakerModel& model);
    // What path's score adds for a take's cues (kCues values, LastCue's):
    // each cue's weight on path x (the cue less its free amount, at least
    // 0) / its spread over genuine takes; 0 on a path whose cues weigh
    // nothing. Score's value is Combine's plus
    // this. overBound: a take matched over the bound (the unweighted path's
    // free amounts, its own weights).
    static float CueTerm(const float* cues, EScorePath path, bool overBound = false);
    // The mean absolute difference, semitones, of two pitch contours
    // (CSpeakerModel's units, each relative to its own median) over the
    // frames voiced in both, the two laid over each other by linear time
    // normalisation (position k of max(na, nb) in each); voicedPairs
    // receives how many frames counted. Returns 0 when none did.
    // foldOctaves: each frame's difference d counts as the smallest of |d|,
    // |d - 12| and |d + 12| semitones.
    static float ContourShapeDistance(const signed char* a, int na, const signed char* b, int nb, int& voicedPairs,
                                      bool foldOctaves = false);
    static constexpr int kMinShapePairs = 8;
    // ContourShapeDistance along a DTW path instead: the n frame pairs
    // (pathA[k], pathB[k]) of two words, contour a holding word a's frames
    // offsetA .. offsetA + na - 1 (the middle the contour keeps) and b
    // likewise; a pair counts when both frames are in their contours and
    // voiced. voicedPairs receives how many did. Returns 0 when none did.
    static float ShapeAlongPath(const signed char* a, int offsetA, int na, const signed char* b, int offsetB, int nb,
                                const int* pathA, const int* pathB, int n, int& voicedPairs);
    // The mean |difference| of two words' energies (the statics' last
    // dimension, dB under each word's peak, held at kLoudnessFloorDb) over
    // the n frame pairs of a DTW path between them; 0 when n < 1.
    static float LoudnessAlongPath(const CTakeFeatures& a, const CTakeFeatures& b, const int* pathA, const int* pathB,
                                   int n);
    // The share of a contour's frames that are voiced (0 when it has none).
    static float VoicedShare(const signed char* contour, int frames);
    static constexpr float kLoudnessFloorDb = -30.0f;
    // A take whose melody cannot be compared is held as far as another
    // voice's typically lies (the tuning speakers' clean impostor trials:
    // median 3.4 semitones, genuine 2.4): any nearer, and a take with its
    // voicing hidden would gain by it.
    static constexpr float kNeutralIntonation = 3.5f;   // semitones
    // The same for the loudness and the voiced share, left unmeasured only
    // for a take no kept template's path reaches (lengths too far apart) or
    // a model without contours: held further than another voice's typical
    // value (the tuning speakers' clean impostor trials: medians 4.3 dB
    // and 0.11, genuine 2.0 dB and 0.06).
    static constexpr float kNeutralLoudness = 6.0f;      // dB
    static constexpr float kNeutralVoicedShare = 0.3f;
    // A take whose contour no enrolment take's can be compared with (too
    // few voiced frames in common) is not held for it: 3 of the tuning
    // speakers' 525 clean genuine takes have none, and the replay check
    // reads the same distance as a take unlike any known one.
    static constexpr float kNeutralContourDistance = 0.0f;   // semitones
    // Threshold on the score of a take on `path` (TakePath; each path has
    // its own base) for a security level (higher = stricter) and a take
    // whose word peaks `snrDb` over its noise floor: a noisy or soft take
    // is further from every model, its own speaker's too, and gets a
    // threshold raised by as much as its genuine scores rise on the tuning
    // speakers; a little more when it lies well under the snr of the
    // model's own enrolment takes (`enrolSnrDb`, 0: unknown), which its own
    // speaker's takes, enrolled in a quieter room, lie further from (an
    // enrolment snr counts up to the knee of the take's own term only: a
    // noise-gated enrolment's silent pauses read far beyond any room's).
    // The line's path, which anybody can choose by low-passing his voice
    // and whose scores the clean takes the threshold was fitted on never
    // took, gets an offset of its own.
    // noiseFigure (nullptr: a model from before it, or none measured): the
    // model's own move in noise, which gives a take far under the model's
    // enrolment snr a threshold looser or tighter by how much further or
    // less far than a typical model's its own takes moved, counted no
    // further than its near impostors moved; not on the weighted path.
    // noiseExcessDb: the take's noise over what the model's templates keep
    // of their own (NoiseExcessDb; kNoExcess: not measured). On the
    // unweighted path a take that brings no more noise than the model holds
    // loses part of the loosening it would get under the model's enrolment
    // level (OwnLevelAllowanceTaken).
    static constexpr float kNoExcess = std::numeric_limits<float>::quiet_NaN();
    // How a take on the unweighted path is held for its noise (NoiseHold):
    // as the path holds every take; matched to its noise (Score's
    // matchNoise) and held to the matched threshold; unmatched and held
    // kShiftStricter stricter than the path's threshold; or, over the
    // matched path's bound, matched and held to the matched threshold's
    // form with a base of its own (ScoredPath: on the unweighted path).
    enum class ENoiseHold { kPath, kMatched, kShifted, kMatchedOverBound };
    // Whether the hold matches the take to its noise.
    static bool MatchesNoise(ENoiseHold hold)
    {
        return hold == ENoiseHold::kMatched || hold == ENoiseHold::kMatchedOverBound;
    }
    // The path a take on `path` held `hold` is scored and held on: a take
    // matched over the bound from the held path on the unweighted path.
    static EScorePath ScoredPath(EScorePath path, ENoiseHold hold)
    {
        const bool over = hold == ENoiseHold::kMatchedOverBound && path == EScorePath::kCleanUnweighted;
        return over ? EScorePath::kUnweighted : path;
    }
    // hold: NoiseHold's, kPath off the unweighted path (a take matched over
    // the bound is held on it, ScoredPath). A matched take's threshold has
    // a base and snr slope of its own and no noise figure's term (the
    // matching has taken the noise's move in); its base moves by
    // MatchedMarginMove(matchedMargin), the model's matched margin or
    // kNoMatchedMargin when it has none.
    static float Threshold(EScorePath path, float security, float snrDb, float enrolSnrDb,
                           const SNoiseFigure* noiseFigure, float noiseExcessDb,
                           ENoiseHold hold = ENoiseHold::kPath, float matchedMargin = kNoMatchedMargin);
    static constexpr float kNoMatchedMargin = std::numeric_limits<float>::quiet_NaN();
    // A model's matched margin's share of its distance from the tuning
    // models' mean, bounded each way; 0 for kNoMatchedMargin.
    static float MatchedMarginMove(float matchedMargin);
    // The hold of a take on `path` whose word peaks snrDb over its noise
    // floor, whose noise lies noiseExcessDb over its model's templates' own
    // (NoiseExcessDb) and is shaped enrolNoiseShapeDb against the model's
    // enrolment noise (EnrolNoiseShapeDb): on the unweighted path a take at
    // most kMatchedMaxSnrDb is matched when its noise lies at least
    // kMatchedMinExcessDb over the model's own; one the excess leaves
    // unmatched is shifted when its noise is shaped over
    // kShiftMinEnrolShapeDb against the enrolment's (noise added over the
    // room the model was enrolled in, not that room alone). On the held or
    // the unweighted path over kMatchedMaxSnrDb, a take whose noise lies at
    // least kMatchedOverMinExcessDb over the model's own is matched over
    // the bound (a soft voice's take: the room's noise stands higher under
    // its word than under the enrolment's).
    static ENoiseHold NoiseHold(EScorePath path, float snrDb, float noiseExcessDb, float enrolNoiseShapeDb);
    static constexpr float kMatchedMaxSnrDb = 34.0f;
    static constexpr float kMatchedMinExcessDb = 6.0f;
    static constexpr float kMatchedOverMinExcessDb = 4.5f;
    // A frame of a take matched over the bound, or of a template given its
    // noise, weighs clamp((level - noise - kPairLevelOverNoiseDb) /
    // kPairLevelSpanDb, kPairMinWeight, 1) in its DTW pairs (Score's
    // overBound), its level and the take's noise in dB. A soft take
    // carries a small noise under a word far over it: the pairs both sides
    // hold under the noise match the noise the templates were given, near
    // for any voice, and counting them less leaves the word
    // (hundred-and-seventeenth round; under the bound, where the word's
    // quiet frames are masked for every voice alike, it gains nothing).
    static constexpr float kPairLevelOverNoiseDb = 6.0f;
    static constexpr float kPairLevelSpanDb = 6.0f;
    static constexpr float kPairMinWeight = 0.1f;
    static constexpr float kShiftMinEnrolShapeDb = 0.41f;
    static constexpr float kShiftStricter = 0.5f;   // score units
    // What the unweighted path's threshold gives back of its snr loosening
    // for a take whose noise the model already holds (noiseExcessDb under
    // the gate): a share of the loosening from the model's own level
    // (enrolSnrDb, capped at the knee) down to the take's; 0 otherwise.
    static float OwnLevelAllowanceTaken(float snrDb, float enrolSnrDb, float noiseExcessDb);
    // After Train: the mean over the enrolment takes t with made[t] of the
    // score of copies[t] (the take in another condition, its word peak
    // copySnrDb[t] over its noise) less the score of takes[t], each against
    // the other takes' templates and neighbouring voices, less the
    // threshold's own move between the two snr; impostorMove the same for
    // each take and its copy moved along the mel scale as the four
    // neighbouring voices are.
    // Every score here is on the line's path's fusion, the one the noise
    // figure's constants were fitted with, whatever the unweighted path's.
    // Returns how many takes counted (move and meanCopySnrDb: their mean
    // move and copy snr), 0 when none or no moved one did.
    int MeasureCopyMove(const CTakeFeatures* takes, const CTakeFeatures* copies, const bool* made, const float* snrDb,
                        const float* copySnrDb, int count, const CSpeakerModel& model, float& move,
                        float& impostorMove, float& meanCopySnrDb);
    // After Train: the median over the enrolment takes t with made[t] of
    // copies[t]'s score on the matched path (the templates and neighbouring
    // voices given the copy's noise over their own, template t left out),
    // less the matched threshold's snr terms at copySnrDb[t]: where this
    // model's own noisy takes land on the matched scale, whatever its base.
    // Returns how many takes counted (margin: their median), 0 when fewer
    // than kMinMarginTakes did.
    int MeasureMatchedMargin(const CTakeFeatures* copies, const bool* made, const float* copySnrDb, int count,
                             const CSpeakerModel& model, float& margin);
    static constexpr int kMinMarginTakes = 3;
    // Smallest pitch-contour distance of `test` to the known takes of
    // `model`, in semitones (see PitchContourDistance), an accepted take's
    // multiplied by `acceptedScale`; large when no known take has enough
    // voiced frames in common with the take.
    float ReplayPitchDistance(const CTakeFeatures& test, const CSpeakerModel& model, float acceptedScale) const;
    // The same over the model's first `takes` known takes (its enrolment
    // takes when `takes` is at most nTemplates).
    static float NearestContourDistance(const CTakeFeatures& test, const CSpeakerModel& model, int takes,
                                        float acceptedScale);
    // Rigid comparison of two pitch contours (CSpeakerModel's units): at each
    // offset whose overlap covers most of the shorter one and holds at least
    // kMinVoicedPairs frames voiced in both, the median difference of their
    // pitches (an octave error folded back, in semitones) over the closest
    // kPitchKeepShare of those frames.
    // Returns the smallest over the offsets (kNoPitchContour when none counts).
    // probeHz, storedHz: the medians the contours are relative to.
    static float PitchContourDistance(const signed char* probe, int np, float probeHz, const signed char* stored, int ns,
                                      float storedHz);
    static constexpr float kNoPitchContour = 100.0f;
    // Largest waveform similarity (CWaveformPrint::Similarity) of a take's
    // signs (CWaveformPrint::kStep phases) to the prints of the known takes
    // of `model` (enrolment and accepted takes), as a multiple of the
    // model's typical similarity between two enrolment takes' prints (a
    // replay: over 2; a fresh take: about 1), an accepted take's weighted by
    // `acceptedWeight`; 0 when the model has none. centres: the signs around
    // which the prints are looked for (WaveformSearchFrames' frames).
    static float ReplayWaveformSimilarity(const std::vector<uint64_t>* signs, const int* counts, const int* centres,
                                          int nCentres, const CSpeakerModel& model, float acceptedWeight);
    // The frames of levelDb[first..last] (the take's level in the print's
    // band, dB) around which a take is searched for the known takes' prints:
    // the loudest, and, when the word has another stretch nearly as loud
    // beyond the search's reach of it, that stretch's loudest frame. Returns
    // how many (1 or 2; last < first: the first frame alone).
    static int WaveformSearchFrames(const float* levelDb, int first, int last, int shift, int* frames);
    static constexpr int kMaxSearchCentres = 2;
    // Mean PairSimilarity over the pairs of the enrolment takes' prints (0:
    // fewer than two).
    static float TypicalWaveformSimilarity(const CSpeakerModel& model);

    // Number of neighbouring voices (one per spectral shift).
    static constexpr int kNeighbours = 4;

private:
    // How the DTW distance counts a take's frame pairs: all alike, or
    // (bByLevel) each by the greater of its two frames' weights over the
    // take's noise, fNoiseDb (FrameWeights).
    struct SPairCount {
        bool bByLevel;
        float fNoiseDb;
    };
    static constexpr SPairCount kPairsAlike = {false, 0.0f};
    // w[i]: frame i of `word` weighed by its level over noiseDb
    // (kPairLevelOverNoiseDb, kPairLevelSpanDb, kPairMinWeight).
    static void FrameWeights(const CTakeFeatures& word, float noiseDb, float* w);
    // The distances to one set of templates (the model's, or a neighbour's),
    // with the model's weights or without (weigh), the DTW distance's pairs
    // counted as `pairs` says.
    // kept (optional, kMaxTemplates values): the templates the DTW distance
    // kept, nearest first; keptCount their number (0 when none).
    void DistancesTo(const CTakeFeatures* templates, const CTakeFeatures& test, int exclude, bool weigh,
                     const SPairCount& pairs, float* parts, int* kept = nullptr, int* keptCount = nullptr);
    // m_lastCues for test against the kept templates (m_lastKept) of
    // `model`, whose templates are `templates`; weigh: the DTW distance took
    // the model's weights.
    void MeasureCues(const CTakeFeatures& test, const CTakeFeatures* templates, const CSpeakerModel& model, bool weigh);
    // The take's pitch contour as the model keeps its enrolment takes' (the
    // middle of a longer word), so that both sides cover the same stretch of
    // it.
    struct STakeContour {
        signed char pitch[CSpeakerModel::kMaxContourFrames];
        int nFrames = 0;
        int nFirstFrame = 0;    // the take's frame the contour starts at
        float medianHz = 0.0f;  // the contour's reference (0: the take has no pitch)
    };
    // MeasureCues' measurements, each setting its own cues in m_lastCues
    // against the kept templates (m_lastKept).
    // Sets kCueDuration.
    void MeasureDuration(const CTakeFeatures& test, const CTakeFeatures* templates);
    // Sets kCueIntonation and kCueIntonationFolded.
    void MeasureMelody(const STakeContour& contour, const CSpeakerModel& model);
    // Sets kCueVoicedShare.
    void MeasureVoicedShare(const STakeContour& contour, const CSpeakerModel& model);
    // Sets kCueContourDistance.
    void MeasureContourDistance(const CTakeFeatures& test, const CSpeakerModel& model);
    // Sets kCueLoudness and kCueIntonationPath, along the DTW path to each
    // template, laid with the model's weights when the distance took them
    // (weigh).
    void MeasureAlongPaths(const CTakeFeatures& test, const CTakeFeatures* templates, const CSpeakerModel& model,
                           bool weigh, const STakeContour& contour);
    // ShapeAlongPath of the take's contour and kept template t's (of
    // templateFrames frames) along the last path (m_pathTake, m_pathTemplate,
    // steps pairs) into distance. Returns whether it counts: t still holds
    // its enrolment take and kMinShapePairs pairs were voiced in both.
    bool MelodyAlongPath(const STakeContour& contour, const CSpeakerModel& model, int t, int templateFrames, int steps,
                         float& distance) const;
    float NearestFrameDistance(const CTakeFeatures* templates, const CTakeFeatures& test, int exclude, bool weigh);
    float PitchDistance(const CTakeFeatures* templates, const CTakeFeatures& test, int exclude) const;
    // The templates of neighbouring voice v (kMaxTemplates slots).
    CTakeFeatures* NeighbourSet(int v) { return &m_neighbours[static_cast<size_t>(v) * CSpeakerModel::kMaxTemplates]; }
    // Set 0: the templates, 1..kNeighbours: the neighbouring voices, each
    // reduced to the band's channels.
    CTakeFeatures* BandSet(int set) { return &m_band[static_cast<size_t>(set) * CSpeakerModel::kMaxTemplates]; }
    // Reduces the loaded templates and neighbours to `band` and learns their
    // typical distances. Returns 1 on success.
    int PrepareBand(const SChannelRange& band, int channelCount);
    // Set 0: the templates, 1..kNeighbours: the neighbouring voices (moved
    // first, as loaded), each under a take's noise.
    CTakeFeatures* NoiseSet(int set) { return &m_noiseSets[static_cast<size_t>(set) * CSpeakerModel::kMaxTemplates]; }
    // Gives the loaded templates and neighbours `noise` (CTakeFeatures::
    // MeetNoise) and learns by how much it shrinks the speaker's typical
    // distances (m_noiseTypicalScale), their pairs counted as a take's will
    // be. Returns 1 on success.
    int PrepareNoise(const STakeNoise& noise, const CSpeakerModel& model, const SPairCount& pairs);
    // `test` against the templates and voices PrepareNoise last matched, on
    // the unweighted path, the typical distances shrunk by its scale (cues
    // aside).
    float ScoreMatched(const CTakeFeatures& test, const CSpeakerModel& model, const SPairCount& pairs, float* parts,
                       float* neighbourParts);
    // The distances to every set (model, then the neighbours' mean), each
    // part multiplied by its unit, fused on path (the weighted path's
    // distances with the model's weights); template `exclude` of each set
    // left out (-1: none).
    float ScoreAgainst(CTakeFeatures* const* sets, const CTakeFeatures& test, const float* typical, const float* unit,
                       EScorePath path, float* parts, float* neighbourParts, int exclude = -1,
                       const SPairCount& pairs = kPairsAlike);
    // The score of `copy` less that of `take`, against `sets` without
    // template `exclude`. Returns 0 when either could not be matched.
    int CopyMove(CTakeFeatures* const* sets, const CTakeFeatures& take, const CTakeFeatures& copy,
                 const CSpeakerModel& model, int exclude, float& move);
    // The threshold's term for the model's noise figure (nullptr: none)
    // and a take at snrDb, the model's enrolment snr counted up to the knee.
    static float NoiseAllowance(const SNoiseFigure* figure, float enrolSnrDb, float snrDb);
    // TakePath's weight gate: a take whose word peaks snrDb over its noise
    // floor is clean in itself and lies near its enrolment's level
    // (enrolSnrDb, 0: unknown, never).
    static bool PassesWeightGate(float snrDb, float enrolSnrDb);
    // The path of a take neither weighted nor on a line's band, by its snr.
    static EScorePath UnweightedPath(float snrDb);
    // Fuse with each distance's weight scaled by scale[p] (nullptr: none).
    static float FuseScaled(const float* parts, const float* typical, EScorePath path, const float* scale);
    // Whether test's distances take the model's weights when asked to
    // (weigh): never on a line's band, which has fewer dimensions.
    bool WeightsFor(const CTakeFeatures& test, bool weigh) const;
    // Leave-one-out over the loaded templates, with the model's weights or
    // without (weigh): each part's mean and spread (kParts values each).
    // Returns 0 when a take is unlike the others.
    int TypicalDistances(bool weigh, float* mean, float* spread);
    // Sets model.weightCodes from the loaded templates' alignments with each
    // other. Returns 0 when no pair aligned.
    int LearnWeights(CSpeakerModel& model);
    // Takes the per-dimension weights of `model` alone: its templates are
    // the ones loaded.
    void LoadWeights(const CSpeakerModel& model);
    // A template's DTW vectors as CDtw reads them (CDtw::ToColumns), laid
    // out once when its set is made: a training matches the same templates
    // some fifty times with each enrolment take.
    struct STemplateColumns {
        std::vector<float> values;
        int nStride = 0;
        int nFrames = 0;
        int nDims = 0;
    };
    // Lays out templates[0 .. count - 1] into columns[0 .. count - 1].
    static void LayOutColumns(const CTakeFeatures* templates, int count, STemplateColumns* columns);
    // The columns laid out for a set (the templates, a neighbouring voice,
    // or either on the band's channels); nullptr for any other.
    const STemplateColumns* ColumnsOf(const CTakeFeatures* set) const;
    // Template t of `templates` as `test` is matched against it: its set's
    // columns (setColumns, ColumnsOf), or, where they do not fit, the
    // template laid out now.
    const STemplateColumns& ColumnsFor(const CTakeFeatures* templates, const STemplateColumns* setColumns, int t,
                                       const CTakeFeatures& test);

    CDtw m_dtw;
    std::vector<float> m_testColumns;   // the take's statics, dims-major (CDtw::ToColumns)
    int m_nTemplates = 0;
    CTakeFeatures m_templates[CSpeakerModel::kMaxTemplates];
    // kNeighbours x kMaxTemplates, on the heap (about 0.8 MB).
    std::vector<CTakeFeatures> m_neighbours;
    // The band's sets ((1 + kNeighbours) x kMaxTemplates, on the heap, made
    // for each band-limited take) and their typical distances.
    std::vector<CTakeFeatures> m_band;
    // The sets' columns, in the sets' order (m_columns: the templates, then
    // the neighbouring voices; m_bandColumns: BandSet's). Only Load and
    // PrepareBand write the sets, and both lay them out again: anything else
    // that writes a set must do the same, or the DTW matches stale columns.
    std::vector<STemplateColumns> m_columns;
    std::vector<STemplateColumns> m_bandColumns;
    float m_bandTypical[kParts] = {0.0f, 0.0f, 0.0f, 0.0f};
    // The sets under a take's noise ((1 + kNeighbours) x kMaxTemplates, on
    // the heap, allocated at the first matched take and written again for
    // each), their columns, and the share of each typical distance left
    // under that noise.
    std::vector<CTakeFeatures> m_noiseSets;
    std::vector<STemplateColumns> m_noiseColumns;
    STemplateColumns m_looseColumns;   // ColumnsFor's template of no set
    float m_noiseTypicalScale[kParts] = {1.0f, 1.0f, 1.0f, 1.0f};
    // TemplatesOwnNoiseDb's figures for the loaded templates (0 channels:
    // not read since the last load).
    mutable int m_nOwnNoiseChannels = 0;
    mutable double m_ownNoiseDb[STakeNoise::kMaxChannels] = {};
    bool m_bLastMatched = false;   // the last Score matched the take to its noise
    float m_lastTypical[kParts] = {0.0f, 0.0f, 0.0f, 0.0f};
    float m_lastEachNeighbour[kNeighbours * kParts] = {};
    int m_lastKept[CSpeakerModel::kMaxTemplates] = {};   // the last ScoreAgainst's kept templates
    int m_nLastKept = 0;
    float m_lastCues[kCues] = {};
    std::vector<int> m_pathTake, m_pathTemplate;   // MeasureAlongPaths' DTW path, kept to spare the allocations
    CTakeFeatures m_bandTest;
    // The loaded model's per-dimension weights.
    int m_nWeightDims = 0;
    float m_vectorWeights[CTakeFeatures::kMaxVectorDims] = {};   // the DTW's vectors
    float m_staticWeights[CTakeFeatures::kMaxDims] = {};         // the nearest frames' statics
};
