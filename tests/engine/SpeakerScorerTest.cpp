// The scorer's distances and score, and the replay check's cues.
#include "SpeakerScorer.h"

#include "EngineTestData.h"
#include "FeatureExtractor.h"
#include "FeatureMatrix.h"
#include "WaveformPrint.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <vector>

namespace {
constexpr CSpeakerScorer::EScorePath kWeighted = CSpeakerScorer::EScorePath::kWeighted;
constexpr CSpeakerScorer::EScorePath kUnweighted = CSpeakerScorer::EScorePath::kUnweighted;
constexpr CSpeakerScorer::EScorePath kLine = CSpeakerScorer::EScorePath::kLine;
constexpr CSpeakerScorer::EScorePath kCleanUnweighted = CSpeakerScorer::EScorePath::kCleanUnweighted;

constexpr int kCepstra = 16;
constexpr int kChannels = 19;

// Frames 0..last (-1: all) of a word of `frames` analysis frames: c1 flat,
// the energy rises and falls; `clicks` frames from the middle 30 dB off;
// softFrames from softFirst softDb softer.
CTakeFeatures Take(int frames, float pitchHz, int last = -1, int clicks = 0, int softFirst = 0, int softFrames = 0,
                   float softDb = 0.0f)
{
    CFeatureMatrix m;
    m.SetCapacity(frames, kCepstra + 1);
    m.Resize(frames, kCepstra + 1);
    for (int i = 0; i < frames; ++i) {
        float* row = m.Row(i);
        row[0] = 0.0f;
        for (int k = 1; k < kCepstra; ++k) row[k] = static_cast<float>(6.0 * std::sin(0.13 * i * (k + 1) + k));
        row[kCepstra] = static_cast<float>(70.0 - 0.02 * (i - frames / 2) * (i - frames / 2));
        if (i >= frames / 2 && i < frames / 2 + clicks)
            for (int k = 0; k < kCepstra; ++k) row[k] += 30.0f;
        if (i >= softFirst && i < softFirst + softFrames) row[kCepstra] -= softDb;
    }
    CTakeFeatures take;
    take.Build(m, 0, last < 0 ? frames - 1 : last, CTakeFeatures::kMaxFrames);
    take.SetPitch(pitchHz);
    return take;
}

// 20 frames whose log filter energies have one bump at `centre` (channels),
// gliding `glide` channels a frame, as the analysis' cepstra; the channels
// outside 2..15 (300-3400 Hz) `edgeDropDb` lower, as a telephone line leaves them.
CTakeFeatures BumpTake(double centre, double glide = 0.0, double edgeDropDb = 0.0)
{
    CFeatureMatrix m;
    m.SetCapacity(20, kCepstra + 1);
    m.Resize(20, kCepstra + 1);
    for (int i = 0; i < 20; ++i) {
        for (int k = 1; k <= kCepstra; ++k) {
            double c = 0.0;
            for (int channel = 0; channel < kChannels; ++channel) {
                const double at = channel - centre - glide * i;
                const double edge = channel < 2 || channel > 15 ? edgeDropDb : 0.0;
                c += (20.0 * std::exp(-0.5 * at * at) - edge) * CFeatureExtractor::CosineBasis(k, channel, kChannels);
            }
            m.Row(i)[k - 1] = static_cast<float>(c);
        }
        m.Row(i)[kCepstra] = 60.0f + static_cast<float>(i);
    }
    CTakeFeatures take;
    take.Build(m, 0, 19, CTakeFeatures::kMaxFrames);
    take.SetPitch(120.0f);
    return take;
}

bool Loaded(CSpeakerScorer& scorer, const CSpeakerModel& model)
{
    return scorer.Init() == 1 && scorer.Load(model) == 1;
}

// An empty model of three templates quantised in steps of `scale`.
CSpeakerModel ModelOfThree(float scale)
{
    CSpeakerModel model{};
    model.nDims = kCepstra + 1;
    model.nCepstra = kCepstra;
    model.nChannels = kChannels;
    for (int d = 0; d < model.nDims; ++d) model.scale[d] = scale;
    model.nTemplates = 3;
    return model;
}

// A speaker's typical distances, as a model keeps them.
constexpr float kTypical[CSpeakerScorer::kParts] = {0.5f, 0.0f, 0.4f, 0.02f};

// BumpTake's word at `centre` channels and 0.2 and 0.4 higher, its edges
// `edgeDropDb` lower; kTypical its adapted distances, both ways.
CSpeakerModel ModelOfBumps(double centre = 5.0, double edgeDropDb = 0.0)
{
    CSpeakerModel model = ModelOfThree(0.25f);
    std::copy(kTypical, kTypical + 4, model.adaptedMean);
    std::copy(kTypical, kTypical + 4, model.weightedAdaptedMean);
    for (int t = 0; t < model.nTemplates; ++t)
        if (BumpTake(centre + 0.2 * t, 0.2, edgeDropDb).StoreAsTemplate(model, t) != 1) ADD_FAILURE() << t;
    return model;
}

// Hz per word frame: `low` Hz for the first `lowFrames`, 2 semitones higher
// for the rest, the word `frames` long (0 Hz: unvoiced).
std::vector<float> Melody(int frames, int lowFrames, float low)
{
    std::vector<float> hz(CTakeFeatures::kMaxFrames, 0.0f);
    for (int i = 0; i < frames; ++i)
        hz[static_cast<size_t>(i)] = i < lowFrames ? low : low * static_cast<float>(std::pow(2.0, 2.0 / 12.0));
    return hz;
}

// Take's word of `frames` word frames with the pitch track hz.
CTakeFeatures Word(int frames, const std::vector<float>& hz, int clicks = 0, int softFirst = 0, int softFrames = 0,
                   float softDb = 0.0f)
{
    CTakeFeatures take =
        Take(2 * frames, hz[0] > 0.0f ? hz[0] : 0.0f, -1, clicks, 2 * softFirst, 2 * softFrames, softDb);
    take.SetPitchTrack(hz.data(), static_cast<int>(hz.size()));
    return take;
}

constexpr int kWordFrames = 40;

// A noise the same level in every channel, `levelDb` under the word's peak.
STakeNoise FlatNoise(float levelDb)
{
    STakeNoise noise;
    noise.nChannels = kChannels;
    for (int c = 0; c < kChannels; ++c) noise.channelDb[c] = levelDb;
    noise.totalDb = levelDb + static_cast<float>(10.0 * std::log10(kChannels));
    noise.floorDb = levelDb - 15.0f;
    return noise;
}

// Three templates (and known takes) of a stepped melody, and two far ones of
// 60 frames which the DTW distance leaves out; every dimension weighed 2,
// the energy in steps of 0.25 dB.
CSpeakerModel ModelOfSteppedMelody()
{
    CSpeakerModel model = ModelOfThree(0.1f);
    model.scale[kCepstra] = 0.25f;
    model.nTemplates = 5;
    const std::vector<float> stepped = Melody(kWordFrames, kWordFrames / 2, 140.0f);
    for (int t = 0; t < model.nTemplates; ++t) {
        const CTakeFeatures tpl = t < 3 ? Word(kWordFrames, stepped) : Word(60, Melody(60, 60, 140.0f), 60);
        if (tpl.StoreAsTemplate(model, t) != 1 || tpl.StoreKnownTake(model, t) != 1) ADD_FAILURE() << "template " << t;
    }
    model.nKnownTakes = model.nTemplates;
    for (int p = 0; p < CSpeakerScorer::kParts; ++p) {
        model.adaptedMean[p] = 1.0f + p;
        model.weightedAdaptedMean[p] = 2.0f + 0.5f * p;
    }
    std::fill(model.weightCodes, model.weightCodes + model.nDims, static_cast<unsigned char>(160));
    return model;
}

// Whether a and b hold the same word to the bit.
::testing::AssertionResult SameWord(const CTakeFeatures& a, const CTakeFeatures& b)
{
    if (a.Frames() != b.Frames() || a.Dims() != b.Dims() || a.Pitch() != b.Pitch())
        return ::testing::AssertionFailure() << "frames, dims or pitch differ";
    const size_t statics = static_cast<size_t>(a.Frames()) * CTakeFeatures::kMaxDims;
    const size_t vectors = static_cast<size_t>(a.Frames()) * a.VectorDims();
    if (!std::equal(a.Statics(), a.Statics() + statics, b.Statics()))
        return ::testing::AssertionFailure() << "statics differ";
    if (!std::equal(a.Vectors(), a.Vectors() + vectors, b.Vectors()))
        return ::testing::AssertionFailure() << "vectors differ";
    if (!std::equal(a.MeanCepstrum(), a.MeanCepstrum() + a.Dims() - 1, b.MeanCepstrum()))
        return ::testing::AssertionFailure() << "mean cepstra differ";
    signed char contourA[CSpeakerModel::kMaxContourFrames], contourB[CSpeakerModel::kMaxContourFrames];
    float medianA = 0.0f, medianB = 0.0f;
    const int framesA = a.PitchContour(contourA, CSpeakerModel::kMaxContourFrames, medianA);
    const int framesB = b.PitchContour(contourB, CSpeakerModel::kMaxContourFrames, medianB);
    if (framesA != framesB || medianA != medianB || !std::equal(contourA, contourA + framesA, contourB))
        return ::testing::AssertionFailure() << "pitch contours differ";
    return ::testing::AssertionSuccess();
}

} // namespace

// On a line's band the own word through the line is about as near as
// without it; on the whole bank the missing edges keep it far; another voice
// stays far on the band too.
TEST(SpeakerScorer, ATakeThroughALineIsComparedOnTheBandAlone)
{
    const CSpeakerModel model = ModelOfBumps();
    CSpeakerScorer scorer;
    ASSERT_TRUE(Loaded(scorer, model));
    const SChannelRange line = {2, 15};
    float parts[CSpeakerScorer::kParts];
    const float ownOnBand = scorer.Score(BumpTake(5.2, 0.2), model, kLine, parts, nullptr, &line);
    const struct {
        const char* what;
        double centre;
        const SChannelRange* band;
        float low, high;   // the score less the own word's on the band
    } cases[] = {
        {"own word, through the line, on the band", 5.2, &line, -0.05f, 0.3f},
        {"own word, through the line, whole bank", 5.2, nullptr, 1.0f, 1e9f},
        {"another voice, through the line, on the band", 7.2, &line, 1.0f, 1e9f},
    };
    for (const auto& c : cases) {
        const float score = scorer.Score(BumpTake(c.centre, 0.2, 10.0), model, kLine, parts, nullptr, c.band);
        EXPECT_GT(score - ownOnBand, c.low) << c.what;
        EXPECT_LT(score - ownOnBand, c.high) << c.what;
    }
    // A band too narrow to keep: the whole bank, still on the line's path.
    const SChannelRange narrow = {2, 3};
    const CTakeFeatures throughLine = BumpTake(5.2, 0.2, 10.0);
    EXPECT_EQ(scorer.Score(throughLine, model, kLine, parts),
              scorer.Score(throughLine, model, kLine, parts, nullptr, &narrow));
}

TEST(SpeakerScorer, TheDistancesOfTakesToOneModel)
{
    const CTakeFeatures own = Take(80, 120.0f);
    CSpeakerModel model = ModelOfThree(0.1f);
    for (int t = 0; t < model.nTemplates; ++t) ASSERT_EQ(1, own.StoreAsTemplate(model, t));
    CSpeakerScorer scorer;
    ASSERT_TRUE(Loaded(scorer, model));
    float whole[CSpeakerScorer::kParts], parts[CSpeakerScorer::kParts];
    scorer.Distances(own, -1, whole);
    // |ln(ratio)| + 0.02, capped at 0.3 (five semitones): an octave is no farther.
    const struct {
        float ratio, distance;
    } pitches[] = {{1.0f, 0.02f}, {1.26f, 0.2511f}, {2.0f, 0.3f}, {0.5f, 0.3f}};
    for (const auto& c : pitches) {
        scorer.Distances(Take(80, 120.0f * c.ratio), -1, parts);
        EXPECT_NEAR(c.distance, parts[3], 2e-4f) << c.ratio;
        EXPECT_EQ(whole[0], parts[0]) << "the other distances do not see the pitch";
    }
    // Some of the sounds are far though each frame has an exact match; a
    // click over a few frames does not count.
    scorer.Distances(Take(80, 120.0f, 25), -1, parts);
    EXPECT_LT(whole[2], 0.2f);
    EXPECT_GT(parts[2], whole[2] + 1.0f) << "some of the sounds";
    scorer.Distances(Take(80, 120.0f, -1, 4), -1, parts);
    EXPECT_LT(parts[2], whole[2] + 0.5f) << "a click";
}

// A bank too small for the cepstra, or a move that is no number, makes no
// neighbouring voice.
TEST(SpeakerScorer, ANeighbouringVoiceNeedsABankForItsCepstraAndAMove)
{
    const float moves[] = {1.0f, -0.5f}, notAMove[] = {1.0f, NAN};
    const CTakeFeatures word = BumpTake(6.0, 0.3);
    CTakeFeatures copies[2];
    CTakeFeatures* out[2] = {&copies[0], &copies[1]};
    EXPECT_EQ(0, word.ShiftedCopies(moves, 2, kCepstra, out));
    EXPECT_EQ(0, word.ShiftedCopies(notAMove, 2, kChannels, out));
    EXPECT_EQ(0, copies[0].Frames());
}

// A replay keeps its pitch contour whatever the room or the tracker's
// octave does; a fresh take of the tune does not. An accepted take's
// contour counts at its multiple.
TEST(SpeakerScorer, APitchContourMatchesOnlyTheSameRecording)
{
    // The tune: 140 Hz, +-3 semitones, every ninth frame unvoiced.
    auto tune = [&](double semitones, int late) {
        std::vector<float> hz(CTakeFeatures::kMaxFrames, 0.0f);
        for (int i = 0; i + late < kWordFrames; ++i)
            if (i % 9 != 4)
                hz[static_cast<size_t>(i + late)] =
                    static_cast<float>(140.0 * std::pow(2.0, (3.0 * std::sin(0.15 * i) + semitones) / 12.0));
        return hz;
    };
    std::vector<float> roomy = tune(0.0, 5), octave = tune(0.0, 0), sparse = tune(0.0, 0);
    for (int i = 10; i < 14; ++i) roomy[static_cast<size_t>(i)] *= 1.1225f;   // two semitones off
    for (float& v : octave) v *= 2.0f;
    for (size_t i = 0; i < sparse.size(); ++i)
        if (i % 6 != 0) sparse[i] = 0.0f;   // 7 voiced frames
    const float none = CSpeakerScorer::kNoPitchContour;
    const struct {
        const char* what;
        std::vector<float> probe;
        float low, high;
    } cases[] = {
        {"the recording itself", tune(0.0, 0), 0.0f, 1e-4f},
        {"5 frames later, 4 frames pulled off by the room", roomy, 0.0f, 0.05f},
        {"an octave up throughout", octave, 0.0f, 0.05f},
        {"half a semitone higher", tune(0.5, 0), 0.2f, 0.55f},
        {"too few voiced frames", sparse, none, none},
    };
    const CTakeFeatures recording = Word(kWordFrames, tune(0.0, 0));
    std::vector<signed char> stored(CTakeFeatures::kMaxFrames), probe(CTakeFeatures::kMaxFrames);
    float storedHz = 0.0f, probeHz = 0.0f;
    ASSERT_EQ(kWordFrames, recording.PitchContour(stored.data(), CTakeFeatures::kMaxFrames, storedHz));
    EXPECT_NEAR(140.0f, storedHz, 10.0f);
    for (const auto& c : cases) {
        const int n = Word(kWordFrames, c.probe).PitchContour(probe.data(), CTakeFeatures::kMaxFrames, probeHz);
        const float d = CSpeakerScorer::PitchContourDistance(probe.data(), n, probeHz, stored.data(),
                                                             kWordFrames, storedHz);
        EXPECT_GE(d, c.low) << c.what;
        EXPECT_LE(d, c.high) << c.what;
    }
    // The contour with its median 1 % off (0.172 semitones): the last
    // enrolment take's, then the first accepted take's.
    const float offMedian = static_cast<float>(12.0 * std::log2(1.01));
    const struct {
        int slot;
        float distance;
    } known[] = {{4, offMedian}, {5, 2.0f * offMedian}};
    for (const auto& k : known) {
        CSpeakerModel model;
        model.nTemplates = 5;
        model.nKnownTakes = 6;   // the other slots hold no contour
        model.contourFrames[k.slot] =
            recording.PitchContour(model.contourPitch[k.slot], CSpeakerModel::kMaxContourFrames, storedHz);
        model.contourMedianPitch[k.slot] = 1.01f * storedHz;
        const float distance = CSpeakerScorer().ReplayPitchDistance(recording, model, 2.0f);
        EXPECT_NEAR(k.distance, distance, 1e-3f) << k.slot;
    }
}

// The cues against the templates the DTW kept, and what each path's score
// makes of them.
TEST(SpeakerScorer, TheWordsDurationAndMelodyAgainstTheTemplatesTheDtwKeptAndWhatTheyMove)
{
    const CSpeakerModel model = ModelOfSteppedMelody();
    CSpeakerScorer scorer;
    ASSERT_TRUE(Loaded(scorer, model));
    const std::vector<float> stepped = Melody(kWordFrames, kWordFrames / 2, 140.0f);
    // Four low-step frames an octave up: clipped to 127 steps, 159 off each, 33 folded.
    std::vector<float> octaveUp = stepped;
    for (int i = 4; i < 8; ++i) octaveUp[static_cast<size_t>(i)] *= 2.0f;
    // Frames 10-19 unvoiced: the median stays, the voiced frames match.
    std::vector<float> gapped = stepped;
    for (int i = 10; i < 20; ++i) gapped[static_cast<size_t>(i)] = 0.0f;
    const float neutral = CSpeakerScorer::kNeutralIntonation;
    const float perDuration = 0.05f / 0.12458f, perSemitone = 0.05f / 1.50899f;
    auto contourTerm = [](float semitones) { return 0.4f * std::max(0.0f, semitones - 0.75f); };
    auto noisyContourTerm = [](float semitones) { return 1.6f * std::max(0.0f, semitones - 0.5f); };
    const float kContourTolerance = 0.01f;   // semitones: the medians are kept to 0.1 Hz
    // All 2 semitones over the low step: at the largest shift (8 frames) the
    // stepped contour's 12 low frames are off, 22 closest of 32 pairs kept.
    const float flatAgainstStepped = 2.0f * 2.0f / 22.0f;
    const float loudTolerance = 0.125f;   // half the templates' energy step
    const struct {
        const char* what;
        CTakeFeatures take;
        float duration, intonation, folded, loudness, pathMelody, voiced, contour = 0.0f;
    } cases[] = {
        // The level kept: 3 semitones, but at the largest shift 8 low frames
        // meet the high step 1 semitone under them (22 closest of 32).
        {"the same melody 3 semitones higher", Word(kWordFrames, Melody(kWordFrames, 20, 166.5f)), 0.0f, 0.0f, 0.0f,
         0.0f, 0.0f, 0.0f, (8.0f * 1.0f + 14.0f * 3.0f) / 22.0f},
        {"a flat melody: 2 semitones off over half the word", Word(kWordFrames, Melody(kWordFrames, 0, 140.0f)),
         0.0f, 1.0f, 1.0f, 0.0f, 1.0f, 0.0f, flatAgainstStepped},
        {"four frames an octave up", Word(kWordFrames, octaveUp), 0.0f, 4.0f * 159.0f / (16.0f * kWordFrames),
         4.0f * 33.0f / (16.0f * kWordFrames), 0.0f, 4.0f * 159.0f / (16.0f * kWordFrames), 0.0f},
        {"a quarter of the word unvoiced", Word(kWordFrames, gapped), 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.25f},
        {"a quarter of the word 6 dB softer", Word(kWordFrames, stepped, 0, 10, 10, 6.0f), 0.0f, 0.0f, 0.0f,
         6.0f * 10.0f / kWordFrames, 0.0f, 0.0f},
        // Frames 0-4 lie 31.2 .. 19.84 dB under the peak: counted down to the floor, 30 dB under it.
        {"the first five frames 20 dB softer", Word(kWordFrames, stepped, 0, 0, 5, 20.0f), 0.0f, 0.0f, 0.0f,
         (0.0f + 1.88f + 4.8f + 7.56f + 10.16f) / kWordFrames, 0.0f, 0.0f},
        {"nothing voiced", Word(kWordFrames, std::vector<float>(CTakeFeatures::kMaxFrames, 0.0f)), 0.0f, neutral,
         neutral, 0.0f, neutral, 1.0f},
        // Ten frames longer: the path holds the template's last frame for the
        // take's last ten, so frames 20-24 lie two semitones off (5 x 32 steps
        // over 50 pairs); the linear normalisation finds nothing.
        {"a quarter longer, the melody stretched", Word(50, Melody(50, 25, 140.0f)), std::log(1.25f), 0.0f, 0.0f,
         -1.0f, 5.0f * 32.0f / (16.0f * 50.0f), 0.0f},
        {"a quarter longer and flat", Word(50, Melody(50, 0, 140.0f)), std::log(1.25f), 1.0f, 1.0f, -1.0f,
         20.0f * 32.0f / (16.0f * 50.0f), 0.0f, flatAgainstStepped},
    };
    // A longer word's loudness (-1 in the table) along that path.
    CTakeFeatures kept;
    ASSERT_EQ(kWordFrames, kept.BuildFromTemplate(model, 0));
    auto longerLoudness = [&](const CTakeFeatures& take) {
        std::vector<int> alongTake, alongHeld;
        for (int i = 0; i < take.Frames(); ++i) {
            alongTake.push_back(i);
            alongHeld.push_back(std::min(i, kWordFrames - 1));
        }
        return CSpeakerScorer::LoudnessAlongPath(take, kept, alongTake.data(), alongHeld.data(), take.Frames());
    };
    float onPath[4][CSpeakerScorer::kParts];
    float voices[CSpeakerScorer::kNeighbours * CSpeakerScorer::kParts];
    for (const auto& c : cases) {
        for (const auto path : {kWeighted, kLine, kCleanUnweighted, kUnweighted}) {
            float* parts = onPath[static_cast<int>(path)];
            const float score = scorer.Score(c.take, model, path, parts);
            for (int v = 0; v < CSpeakerScorer::kNeighbours; ++v)
                for (int p = 0; p < CSpeakerScorer::kParts; ++p)
                    voices[v * CSpeakerScorer::kParts + p] = scorer.LastNeighbourPart(v, p);
            const float* typical = path == kWeighted ? model.weightedAdaptedMean : model.adaptedMean;
            const float spectral = CSpeakerScorer::Combine(parts, voices, typical, path);
            if (path == kWeighted)
                EXPECT_NEAR(perDuration * c.duration + perSemitone * c.intonation + contourTerm(c.contour),
                            score - spectral, 0.4f * kContourTolerance)
                    << c.what;
            else if (path == kUnweighted) {
                EXPECT_NEAR(noisyContourTerm(c.contour), score - spectral, 1.6f * kContourTolerance) << c.what;
                // Matched over the bound the same contour counts at half the weight.
                float cues[CSpeakerScorer::kCues] = {};
                cues[CSpeakerScorer::kCueContourDistance] = c.contour;
                EXPECT_FLOAT_EQ(0.5f * noisyContourTerm(c.contour), CSpeakerScorer::CueTerm(cues, path, true))
                    << c.what;
            }
            else
                EXPECT_EQ(spectral, score) << c.what << ", path " << static_cast<int>(path);
        }
        // Weights of 2 lengthen the DTW and nearest-frame distances sqrt(2) times.
        const float *weighed = onPath[static_cast<int>(kWeighted)], *plain = onPath[static_cast<int>(kUnweighted)];
        const float ratio[CSpeakerScorer::kParts] = {std::sqrt(2.0f), 1.0f, std::sqrt(2.0f), 1.0f};
        for (int p = 0; p < CSpeakerScorer::kParts; ++p)
            EXPECT_NEAR(ratio[p] * plain[p], weighed[p], 1e-5f * plain[p]) << c.what << ", part " << p;
        EXPECT_NEAR(c.duration, scorer.LastCue(CSpeakerScorer::kCueDuration), 1e-4f) << c.what;
        EXPECT_NEAR(c.intonation, scorer.LastCue(CSpeakerScorer::kCueIntonation), 1e-4f) << c.what;
        EXPECT_NEAR(c.folded, scorer.LastCue(CSpeakerScorer::kCueIntonationFolded), 1e-4f) << c.what;
        EXPECT_NEAR(c.loudness < 0.0f ? longerLoudness(c.take) : c.loudness,
                    scorer.LastCue(CSpeakerScorer::kCueLoudness), loudTolerance)
            << c.what;
        EXPECT_NEAR(c.pathMelody, scorer.LastCue(CSpeakerScorer::kCueIntonationPath), 1e-4f) << c.what;
        EXPECT_NEAR(c.voiced, scorer.LastCue(CSpeakerScorer::kCueVoicedShare), 1e-4f) << c.what;
        EXPECT_NEAR(c.contour, scorer.LastCue(CSpeakerScorer::kCueContourDistance), kContourTolerance) << c.what;
    }
    // Each frame of the longer contour counts once; unvoiced frames do not.
    const signed char sparse[] = {0, CSpeakerModel::kUnvoiced, 16, CSpeakerModel::kUnvoiced};
    const signed char stored[] = {16, 16, 16, 16, 16, 16, 16, 16};
    int pairs = -1;
    EXPECT_FLOAT_EQ(0.5f, CSpeakerScorer::ContourShapeDistance(sparse, 4, stored, 8, pairs));
    EXPECT_EQ(4, pairs);   // frames 0 and 2 of the take, each laid over two stored frames
    // Along a path only pairs inside both contours (the take's from frame 2)
    // and voiced count: (2, 1) 0, (3, 2) 0, (4, 3) 16 steps.
    const signed char take[] = {0, 16, 32, CSpeakerModel::kUnvoiced};
    const signed char held[] = {0, 0, 16, 16};
    const int alongTake[] = {0, 1, 2, 3, 4, 5}, alongHeld[] = {0, 0, 1, 2, 3, 3};
    EXPECT_FLOAT_EQ(1.0f / 3.0f,
                    CSpeakerScorer::ShapeAlongPath(take, 2, 4, held, 0, 4, alongTake, alongHeld, 6, pairs));
    EXPECT_EQ(3, pairs);
}

// Known takes' prints are looked for around the loudest frames and count as
// multiples of the typical similarity (an accepted take's at its weight).
TEST(SpeakerScorer, EveryKnownTakesPrintIsLookedForAgainstTheTypicalSimilarity)
{
    constexpr int kSigns = 6000, kCentre = 2000, kOther = 4500, kBits = CWaveformPrint::kBits;
    std::vector<uint64_t> signs[CWaveformPrint::kStep];
    int counts[CWaveformPrint::kStep];
    sonvera_test::RandomSigns(kSigns, 777u, signs, counts);
    const struct {
        const char* what;
        int slot, fromCentre;
        float typical, low, high;
    } cases[] = {
        {"an enrolment take's print, 600 signs from the loudest frame", 2, 600, 0.2f, 4.999f, 5.001f},
        {"an accepted take's print, the ring's first, at half weight", 5, -300, 0.2f, 2.499f, 2.501f},
        {"a print further from the loudest frame than the search reaches", 2, 1300, 0.2f, 0.0f, 1.25f},
        {"a print near the other loud stretch, out of the loudest frame's reach", 2, kOther - kCentre - 100, 0.2f,
         4.999f, 5.001f},
        {"no typical similarity", 2, 600, 0.0f, 0.0f, 0.0f},
    };
    for (const auto& c : cases) {
        CSpeakerModel model;
        model.nTemplates = 5;
        model.nKnownTakes = 10;
        model.printed[c.slot] = true;
        ASSERT_EQ(1, CWaveformPrint::Excerpt(signs[1], kSigns, kCentre + c.fromCentre - kBits / 2, model.prints[c.slot]));
        model.printTypical = c.typical;
        const int centres[] = {kCentre, kOther};
        const float similarity = CSpeakerScorer::ReplayWaveformSimilarity(signs, counts, centres, 2, model, 0.5f);
        EXPECT_GE(similarity, c.low) << c.what;
        EXPECT_LE(similarity, c.high) << c.what;
    }
}

// A second stretch within 3 dB of the loudest frame and beyond the search's
// reach of it (1000 signs: 25 frames) is searched too.
TEST(SpeakerScorer, AnotherStretchNearlyAsLoudIsSearchedToo)
{
    const struct {
        const char* what;
        int otherFrame;
        float otherDb;
        int count, second;
    } cases[] = {
        {"a second syllable 2 dB softer, 30 frames later", 40, -2.0f, 2, 40},
        {"a second syllable 4 dB softer", 40, -4.0f, 1, -1},
        {"a peak as loud within the search's reach (25 frames)", 35, 0.0f, 1, -1},
        {"a peak as loud just beyond it", 36, 0.0f, 2, 36},
    };
    for (const auto& c : cases) {
        std::vector<float> levelDb(60, -30.0f);
        levelDb[10] = 0.0f;   // the loudest frame
        levelDb[11] = -1.0f;  // its own syllable, within the reach
        levelDb[c.otherFrame] = c.otherDb;
        int frames[CSpeakerScorer::kMaxSearchCentres] = {-1, -1};
        ASSERT_EQ(c.count, CSpeakerScorer::WaveformSearchFrames(levelDb.data(), 5, 55, 80, frames)) << c.what;
        EXPECT_EQ(10, frames[0]) << c.what;
        EXPECT_EQ(c.second, frames[1]) << c.what;
    }
}

// The line first, then the weights' gate on the take's and the enrolment's snr.
TEST(SpeakerScorer, ATakesPathFollowsTheLineTheModelsWeightsAndItsSnr)
{
    const float nan = std::nanf("");
    const struct {
        float snrDb, enrolSnrDb;
        bool throughLine, modelWeighted;
        CSpeakerScorer::EScorePath path;
    } takes[] = {
        {40.0f, 46.0f, false, true, kWeighted},          {39.99f, 45.0f, false, true, kUnweighted},
        {40.0f, 46.01f, false, true, kCleanUnweighted},  {54.0f, 84.0f, false, true, kWeighted},
        {53.99f, 84.0f, false, true, kCleanUnweighted},  {65.0f, 50.0f, false, true, kWeighted},
        {58.0f, 0.0f, false, true, kCleanUnweighted},    {nan, 50.0f, false, true, kUnweighted},
        {40.0f, 46.0f, true, true, kLine},               {50.0f, 50.0f, false, false, kCleanUnweighted},
    };
    for (const auto& c : takes)
        EXPECT_EQ(static_cast<int>(c.path),
                  static_cast<int>(CSpeakerScorer::TakePath(c.throughLine, c.modelWeighted, c.snrDb, c.enrolSnrDb)))
            << c.snrDb << " " << c.enrolSnrDb << " " << c.throughLine << " " << c.modelWeighted;
}

// Each path's fusion of the parts and of the neighbouring voices' term.
TEST(SpeakerScorer, EachPathFusesWithItsOwnConstants)
{
    const float parts[4] = {25.0f, 99.0f, 12.0f, 0.085f};
    // Moved -1, -0.5, +0.5, +1 channel: near pair (35, 7, 15, 0.1275), far (50, 7, 24, 0.17).
    const float voices[16] = {45.0f, 3.0f, 20.0f, 0.17f, 30.0f, 7.0f, 12.0f, 0.085f,
                              40.0f, 7.0f, 18.0f, 0.17f, 55.0f, 11.0f, 28.0f, 0.17f};
    const float typical[4] = {20.0f, 99.0f, 3.0f, 0.0425f};
    // The fused parts: 0.2 + 0.25 + 0.05, the unweighted pitch's 0.075.
    const struct {
        CSpeakerScorer::EScorePath path;
        float score;
    } cases[] = {
        {kWeighted, 0.5f + 2.0f * (0.2f - 0.9f) + 6.0f * (0.25f - 0.5625f) + 3.0f * (0.05f - 0.125f)},
        {kUnweighted, 0.525f + 1.25f * (4.0f * (0.2f - 0.6f) + 3.0f * (0.2f - 1.2f)) +
                          (4.0f * (0.25f - 0.375f) + 3.0f * (0.25f - 0.75f)) +
                          (4.0f * (0.075f - 0.15f) + 3.0f * (0.075f - 0.225f))},
        {kLine, 0.5f + 1.5f * (0.5f - 1.075f) + 1.5f * (0.5f - 2.1f)},
        {kCleanUnweighted, 0.5f + 1.5f * (0.5f - 1.075f) + 1.5f * (0.5f - 2.1f)},
    };
    for (const auto& c : cases)
        EXPECT_NEAR(c.score, CSpeakerScorer::Combine(parts, voices, typical, c.path), 1e-5f)
            << "path " << static_cast<int>(c.path);
}

// One row per term of the threshold, on the paths that have it.
TEST(SpeakerScorer, TheThresholdFollowsSecurityNoiseTheEnrolmentAndTheModelsMoveInNoise)
{
    using EHold = CSpeakerScorer::ENoiseHold;
    const float nan = std::nanf("");
    const float base = -0.5681f;   // the clean unweighted path's
    const float noisyBase = -0.6337f;
    const float typical = 0.28397f;
    const SNoiseFigure own = {typical + 1.0f, typical + 2.0f, 25.0f};
    const SNoiseFigure capped = {typical + 2.0f, typical + 1.0f, 25.0f};
    const SNoiseFigure stricter = {typical - 0.5f, typical + 3.0f, 25.0f};
    const SNoiseFigure nearCopies = {typical + 1.0f, typical + 2.0f, 27.0f};
    const SNoiseFigure gated = {typical + 1.0f, typical + 2.0f, 35.0f};
    const struct {
        CSpeakerScorer::EScorePath path;
        float security, snrDb, enrolSnrDb;
        const SNoiseFigure* figure;
        float threshold;
        float excessDb = CSpeakerScorer::kNoExcess;
        EHold hold = EHold::kPath;
        float matchedMargin = CSpeakerScorer::kNoMatchedMargin;
    } cases[] = {
        {kCleanUnweighted, nan, 70.0f, 0.0f, nullptr, base},
        {kCleanUnweighted, 2.0f, 70.0f, 0.0f, nullptr, base - 0.77f},
        {kCleanUnweighted, 0.3f, 45.0f, nan, &own, base + 0.225f},
        {kUnweighted, 0.3f, 20.0f, 0.0f, &own, noisyBase + 0.6f, 1.0f},
        {kCleanUnweighted, 0.3f, 40.0f, 55.0f, &own, base + 0.3f + 0.0275f + 1.25f * 9.0f / 30.0f},
        {kCleanUnweighted, 0.3f, 40.0f, 55.0f, &capped, base + 0.3f + 0.0275f + 1.25f * 9.0f / 30.0f},
        {kCleanUnweighted, 0.3f, 40.0f, 55.0f, &stricter, base + 0.3f + 0.0275f - 0.625f * 9.0f / 30.0f},
        {kCleanUnweighted, 0.3f, 50.0f, 55.0f, &own, base + 0.15f + 0.0025f},
        // Deeper than the copies fell; copies only 3 dB down; a noise gate's enrolment.
        {kUnweighted, 0.3f, 5.0f, 55.0f, &own, noisyBase + 0.825f + 0.115f + 1.25f * 24.0f / 30.0f},
        {kUnweighted, 0.3f, 15.0f, 30.0f, &nearCopies, noisyBase + 0.675f + 0.0275f + 1.25f * 4.0f / 10.0f},
        {kUnweighted, 0.3f, 20.0f, 84.0f, &gated, noisyBase + 0.6f + 0.09f + 1.25f * 19.0f / 25.0f},
        // Noise under the give-back's gate, at it, over it; a take over the
        // model's level; a model enrolled at the knee or above.
        {kUnweighted, 0.3f, 20.0f, 55.0f, nullptr, noisyBase + 0.6f + 0.0775f - 0.75f * 0.075f, 1.0f},
        {kUnweighted, 0.3f, 20.0f, 55.0f, nullptr, noisyBase + 0.6f + 0.0775f - 0.75f * 0.075f, 0.0f},
        {kUnweighted, 0.3f, 20.0f, 55.0f, nullptr, noisyBase + 0.6f + 0.0775f, 1.5f},
        {kUnweighted, 0.3f, nan, 55.0f, &own, noisyBase, 1.0f},
        {kUnweighted, 0.3f, 50.0f, 30.0f, nullptr, noisyBase + 0.15f - 0.75f * 0.15f, 1.0f},
        {kUnweighted, 0.3f, 20.0f, 84.0f, nullptr, noisyBase + 0.6f + 0.09f, 1.0f},
        // Matched: its own base and slope, no move in noise.
        {kUnweighted, 0.3f, 20.0f, 84.0f, &gated, -1.4099f + 0.8f + 0.09f, 9.0f, EHold::kMatched},
        {kUnweighted, 0.5f, 30.0f, 55.0f, &own, -1.4099f - 0.22f + 0.6f + 0.0525f, 9.0f, EHold::kMatched},
        {kUnweighted, 0.3f, nan, 55.0f, &own, -1.4099f, 9.0f, EHold::kMatched},
        // The model's matched margin: its share of the distance from the
        // tuning models' mean, bounded each way; no other hold reads it.
        {kUnweighted, 0.3f, nan, 55.0f, &own, -1.4099f + 0.75f * 0.2f, 9.0f, EHold::kMatched, -1.7194f + 0.2f},
        {kUnweighted, 0.3f, nan, 55.0f, &own, -1.4099f + 0.75f * 0.25f, 9.0f, EHold::kMatched, -1.7194f + 2.0f},
        {kUnweighted, 0.3f, nan, 55.0f, &own, -1.4099f - 0.75f * 0.25f, 9.0f, EHold::kMatched, -1.7194f - 2.0f},
        {kUnweighted, 0.3f, nan, 55.0f, &own, noisyBase, 9.0f, EHold::kPath, -1.7194f + 2.0f},
        // Shifted: the path's threshold, give-back and move in noise kept, 0.5 under.
        {kUnweighted, 0.3f, 20.0f, 55.0f, nullptr, noisyBase + 0.6f + 0.0775f - 0.75f * 0.075f - 0.5f, 1.0f,
         EHold::kShifted},
        {kUnweighted, 0.3f, 20.0f, 84.0f, &gated, noisyBase + 0.6f + 0.09f + 1.25f * 19.0f / 25.0f - 0.5f, 3.0f,
         EHold::kShifted},
        // Matched over the bound, from the held path as from the unweighted: the matched form on a base of its own.
        {kCleanUnweighted, 0.3f, 45.0f, 55.0f, &own, -0.6781f + 0.3f + 0.015f, 9.0f, EHold::kMatchedOverBound},
        {kUnweighted, 0.3f, 38.0f, 55.0f, &own, -0.6781f + 0.75f * 0.25f + 0.44f + 0.0325f, 4.5f,
         EHold::kMatchedOverBound, -1.7194f + 2.0f},
        // Off the unweighted path no hold, no give-back; weighted, no allowance for the move in noise.
        {kCleanUnweighted, 0.3f, 40.0f, 55.0f, nullptr, base + 0.3f + 0.0275f, 1.0f, EHold::kMatched},
        {kLine, 0.3f, 40.0f, 55.0f, nullptr, -0.5681f - 0.15f + 0.3f + 0.0275f, 1.0f, EHold::kShifted},
        {kWeighted, 0.3f, 45.0f, 55.0f, &own, -0.2754f + 0.225f + 0.015f, 1.0f, EHold::kMatched},
        {kLine, 0.3f, 40.0f, 55.0f, nullptr, -0.5681f - 0.15f + 0.3f + 0.0275f, 9.0f, EHold::kMatchedOverBound},
    };
    for (const auto& c : cases) {
        const float threshold =
            CSpeakerScorer::Threshold(c.path, c.security, c.snrDb, c.enrolSnrDb, c.figure, c.excessDb, c.hold,
                                      c.matchedMargin);
        EXPECT_NEAR(c.threshold, threshold, 1e-5f) << static_cast<int>(c.path) << " " << c.security << " " << c.snrDb
                                                   << " " << c.enrolSnrDb << " " << c.excessDb << " hold "
                                                   << static_cast<int>(c.hold) << " margin " << c.matchedMargin;
    }
}

// Training's noise move: the mean of copy's score less take's against the
// other takes' templates, on the line's fusion (the one its constants were
// fitted on), recomputed here from models of the other two templates.
TEST(SpeakerScorer, TheNoiseFigureIsMeasuredWithTheLinesFusion)
{
    CTakeFeatures takes[3], copies[3];
    CSpeakerModel model = ModelOfBumps();
    for (int t = 0; t < 3; ++t) {
        takes[t] = BumpTake(5.0 + 0.2 * t, 0.2);
        copies[t] = BumpTake(5.6 + 0.2 * t, 0.2);
    }
    CSpeakerScorer scorer;
    ASSERT_TRUE(Loaded(scorer, model));
    const bool made[3] = {true, true, true};
    const float snr[3] = {60.0f, 60.0f, 60.0f};
    float move = 0.0f, impostorMove = 0.0f, copySnr = 0.0f;
    ASSERT_EQ(3, scorer.MeasureCopyMove(takes, copies, made, snr, snr, 3, model, move, impostorMove, copySnr));

    float onLine = 0.0f, parts[4];
    for (int t = 0; t < 3; ++t) {
        CSpeakerModel others = ModelOfThree(0.25f);
        others.nTemplates = 2;
        std::copy(kTypical, kTypical + 4, others.adaptedMean);
        for (int slot = 0; slot < 2; ++slot)
            ASSERT_EQ(1, takes[slot < t ? slot : slot + 1].StoreAsTemplate(others, slot));
        CSpeakerScorer without;
        ASSERT_TRUE(Loaded(without, others));
        onLine += (without.Score(copies[t], others, kLine, parts) - without.Score(takes[t], others, kLine, parts)) / 3;
    }
    EXPECT_NEAR(onLine, move, 1e-4f);

    // Copies 30 dB under: only the snr term's move (0.015 a dB) is taken
    // off, never the step between the two paths' bases.
    const float copyLevel[3] = {30.0f, 30.0f, 30.0f};
    float movedDown = 0.0f;
    ASSERT_EQ(3, scorer.MeasureCopyMove(takes, copies, made, snr, copyLevel, 3, model, movedDown, impostorMove,
                                        copySnr));
    EXPECT_NEAR(move - 0.015f * 30.0f, movedDown, 1e-4f);
}

// Unweighted and at most 34 dB: matched for its excess noise, else shifted for its noise's shape; held or
// unweighted over 34 dB: matched over the bound for a smaller excess.
TEST(SpeakerScorer, ATakesHoldFollowsItsPathSnrExcessAndEnrolmentNoiseShape)
{
    using EHold = CSpeakerScorer::ENoiseHold;
    const float nan = std::nanf("");
    const struct {
        CSpeakerScorer::EScorePath path;
        float snrDb, excessDb, shapeDb;
        EHold hold;
    } takes[] = {
        {kUnweighted, 20.0f, 6.0f, 0.0f, EHold::kMatched},      {kUnweighted, 20.0f, 5.99f, 0.0f, EHold::kPath},
        {kUnweighted, 34.0f, 9.0f, 0.2f, EHold::kMatched},      {kUnweighted, 34.01f, 9.0f, 0.2f, EHold::kMatchedOverBound},
        {kUnweighted, 34.0f, 4.5f, 0.2f, EHold::kPath},         {kUnweighted, 34.01f, 4.49f, 0.2f, EHold::kPath},
        {kCleanUnweighted, 45.0f, 4.5f, 3.0f, EHold::kMatchedOverBound},
        {kCleanUnweighted, 45.0f, 4.49f, 3.0f, EHold::kPath},   {kCleanUnweighted, 45.0f, nan, 3.0f, EHold::kPath},
        {kWeighted, 45.0f, 9.0f, 3.0f, EHold::kPath},
        {kUnweighted, 20.0f, 5.99f, 0.42f, EHold::kShifted},    {kUnweighted, 20.0f, 5.99f, 0.41f, EHold::kPath},
        {kUnweighted, 34.0f, 0.0f, 3.0f, EHold::kShifted},      {kUnweighted, 34.01f, 0.0f, 3.0f, EHold::kPath},
        {kUnweighted, 20.0f, 12.0f, 3.0f, EHold::kMatched},     {kUnweighted, nan, 12.0f, 3.0f, EHold::kPath},
        {kLine, 20.0f, 12.0f, 3.0f, EHold::kPath},
    };
    for (const auto& t : takes)
        EXPECT_EQ(static_cast<int>(t.hold),
                  static_cast<int>(CSpeakerScorer::NoiseHold(t.path, t.snrDb, t.excessDb, t.shapeDb)))
            << static_cast<int>(t.path) << " " << t.snrDb << " dB, excess " << t.excessDb << ", shape " << t.shapeDb;
}

// The spread of the difference, not the level; channels without noise on
// either side are left out; no enrolment noise or another channel count: 0.
TEST(SpeakerScorer, ATakesEnrolmentNoiseShapeReadsTheSpreadNotTheLevel)
{
    constexpr int kCount = 6;
    CSpeakerModel model = ModelOfThree(0.25f);
    model.nChannels = kCount;
    model.nEnrolNoiseChannels = kCount;
    const float enrol[kCount] = {-40.0f, -42.0f, -45.0f, -47.0f, -50.0f, -52.0f};
    std::copy(enrol, enrol + kCount, model.enrolNoiseDb);
    using Change = void (*)(STakeNoise& take, CSpeakerModel& model);
    const struct {
        const char* name;
        float move[kCount];   // the take's noise over the enrolment's, per channel
        float shape;
        Change change = nullptr;
    } cases[] = {
        {"the same shape 5 dB higher", {5, 5, 5, 5, 5, 5}, 0.0f},
        {"tilted about the enrolment's", {-5, -3, -1, 1, 3, 5}, 3.4156f},
        {"one channel 5 dB over the others' shift", {4, 4, 9, 4, 4, 4}, 1.8634f},
        {"that channel heard by no enrolment take", {4, 4, 9, 4, 4, 4}, 0.0f,
         [](STakeNoise&, CSpeakerModel& m) { m.enrolNoiseDb[2] = CSpeakerModel::kNoNoiseDb; }},
        {"that channel without the take's noise", {4, 4, 9, 4, 4, 4}, 0.0f,
         [](STakeNoise& n, CSpeakerModel&) { n.channelDb[2] = STakeNoise::kNoneDb; }},
        {"a model without enrolment noise", {4, 4, 9, 4, 4, 4}, 0.0f,
         [](STakeNoise&, CSpeakerModel& m) { m.nEnrolNoiseChannels = 0; }},
        {"a take of another channel count", {4, 4, 9, 4, 4, 4}, 0.0f,
         [](STakeNoise& n, CSpeakerModel&) { n.nChannels = kCount - 1; }},
    };
    for (const auto& c : cases) {
        STakeNoise take;
        take.nChannels = kCount;
        for (int k = 0; k < kCount; ++k) take.channelDb[k] = enrol[k] + c.move[k];
        CSpeakerModel changed = model;
        if (c.change != nullptr) c.change(take, changed);
        EXPECT_NEAR(c.shape, CSpeakerScorer::EnrolNoiseShapeDb(take, changed), 1e-4) << c.name;
    }
}

// Per channel the mean over the takes that carried noise there; another
// analysis' take is not read; takes without any leave none.
TEST(SpeakerScorer, AModelKeepsItsEnrolmentTakesMeanChannelNoise)
{
    constexpr int kCount = 4;
    const auto noise = [](std::initializer_list<float> db, int channels) {
        STakeNoise n;
        n.nChannels = channels;
        int c = 0;
        for (float v : db) n.channelDb[c++] = v;
        return n;
    };
    const float none = STakeNoise::kNoneDb;
    const STakeNoise takes[] = {
        noise({-40.0f, -50.0f, none, none}, kCount),
        noise({-42.0f, none, none, -60.0f}, kCount),
        noise({-44.0f, -54.0f, none, -62.0f}, kCount),
        noise({0.0f, 0.0f, 0.0f, 0.0f, 0.0f}, kCount + 1),   // another analysis
    };
    CSpeakerModel model;
    model.nChannels = kCount;
    CSpeakerScorer::KeepEnrolNoise(takes, 4, model);
    ASSERT_EQ(kCount, model.nEnrolNoiseChannels);
    EXPECT_FLOAT_EQ(-42.0f, model.enrolNoiseDb[0]);
    EXPECT_FLOAT_EQ(-52.0f, model.enrolNoiseDb[1]);
    EXPECT_EQ(CSpeakerModel::kNoNoiseDb, model.enrolNoiseDb[2]);
    EXPECT_FLOAT_EQ(-61.0f, model.enrolNoiseDb[3]);
    // Afresh at every training.
    const STakeNoise silent[] = {noise({none, none, none, none}, kCount), STakeNoise()};
    CSpeakerScorer::KeepEnrolNoise(silent, 2, model);
    EXPECT_EQ(0, model.nEnrolNoiseChannels);
    EXPECT_EQ(CSpeakerModel::kNoNoiseDb, model.enrolNoiseDb[0]);
}

// Per channel in power, only the take's noise over the templates' own is left
// to match: nothing at or under it, the difference over it, and the summed
// level of what is left. Unweighted, the templates and voices meet that
// noise: the score and the typical distances drop; other paths ignore it.
TEST(SpeakerScorer, TheTakesNoiseOverTheTemplatesOwnIsMatchedOnTheUnweightedPathAlone)
{
    CSpeakerModel model = ModelOfBumps();
    std::fill(model.weightCodes, model.weightCodes + model.nDims, static_cast<unsigned char>(128));
    CSpeakerScorer scorer;
    ASSERT_TRUE(Loaded(scorer, model));
    // The enrolment's typical distances, leaving one template out as training does.
    for (int t = 0; t < 3; ++t) {
        CTakeFeatures tpl;
        ASSERT_GT(tpl.BuildFromTemplate(model, t), 0);
        float loo[4];
        scorer.Distances(tpl, t, loo);
        for (int p = 0; p < 4; ++p) model.enrolMean[p] += loo[p] / 3.0f;
    }
    ASSERT_GT(model.enrolMean[0], 0.0f);
    double own[kChannels];
    ASSERT_EQ(1, scorer.TemplatesOwnNoiseDb(kChannels, own));
    const double gaps[] = {-6.0, -0.01, 0.1, 3.0, 20.0};
    constexpr int kGaps = sizeof(gaps) / sizeof(gaps[0]);
    STakeNoise gapped;   // the templates' own, some channels over it, the others under
    gapped.nChannels = kChannels;
    gapped.floorDb = -45.0f;
    for (int c = 0; c < kChannels; ++c) gapped.channelDb[c] = static_cast<float>(own[c] + gaps[c % kGaps]);
    STakeNoise over;
    ASSERT_EQ(1, scorer.NoiseOverOwn(gapped, kChannels, over));
    EXPECT_EQ(kChannels, over.nChannels);
    EXPECT_EQ(gapped.floorDb, over.floorDb);
    double left = 0.0;
    for (int c = 0; c < kChannels; ++c) {
        const double gap = gaps[c % kGaps];
        if (gap <= 0.0) {
            EXPECT_EQ(STakeNoise::kNoneDb, over.channelDb[c]) << "channel " << c << ", gap " << gap;
            continue;
        }
        const double added = std::pow(10.0, 0.1 * over.channelDb[c]) + std::pow(10.0, 0.1 * own[c]);
        EXPECT_NEAR(gapped.channelDb[c], 10.0 * std::log10(added), 1e-3) << "channel " << c << ", gap " << gap;
        left += std::pow(10.0, 0.1 * over.channelDb[c]);
    }
    EXPECT_NEAR(10.0 * std::log10(left), over.totalDb, 1e-3);

    // Another channel count, or no templates' gapped to count from: nothing.
    EXPECT_EQ(0, scorer.NoiseOverOwn(gapped, kChannels - 1, over));
    CSpeakerScorer empty;
    ASSERT_EQ(1, empty.Init());
    EXPECT_EQ(0, empty.NoiseOverOwn(gapped, kChannels, over));

    const CTakeFeatures take = BumpTake(5.3, 0.2);
    const STakeNoise noise = FlatNoise(-20.0f);   // over the templates' own in every channel
    CTakeFeatures noisy = take;
    ASSERT_EQ(1, noisy.MeetNoise(noise, kChannels));

    float parts[4];
    for (const CSpeakerScorer::EScorePath path : {kUnweighted, kWeighted, kLine, kCleanUnweighted}) {
        const float plain = scorer.Score(noisy, model, path, parts);
        EXPECT_FALSE(scorer.LastMatched());
        const float withNoise = scorer.Score(noisy, model, path, parts, nullptr, nullptr, &noise);
        if (path != kUnweighted) {
            EXPECT_FALSE(scorer.LastMatched()) << static_cast<int>(path);
            EXPECT_EQ(plain, withNoise) << static_cast<int>(path);
            continue;
        }
        ASSERT_TRUE(scorer.LastMatched());
        EXPECT_LT(withNoise, plain - 0.1f);
        EXPECT_LT(scorer.LastTypical(0), kTypical[0]);
    }

    // A noise nowhere over the templates' own changes nothing, its high floor included.
    STakeNoise under = noise;
    under.floorDb = -20.0f;
    for (int c = 0; c < kChannels; ++c) under.channelDb[c] = static_cast<float>(own[c] - 3.0);
    const float unmoved = scorer.Score(take, model, kUnweighted, parts);
    EXPECT_NEAR(unmoved, scorer.Score(take, model, kUnweighted, parts, nullptr, nullptr, &under), 1e-4f);
    EXPECT_TRUE(scorer.LastMatched());
    for (int p = 0; p < 4; ++p) EXPECT_NEAR(kTypical[p], scorer.LastTypical(p), 1e-5f) << p;

    // Loaded after another model (with or without a reset), the scorer
    // matches as it did: the other model's own noise is not kept.
    const float matched = scorer.Score(noisy, model, kUnweighted, parts, nullptr, nullptr, &noise);
    CSpeakerModel other = ModelOfBumps(9.0, 12.0);
    std::copy(model.enrolMean, model.enrolMean + 4, other.enrolMean);
    for (const bool reset : {true, false}) {
        CSpeakerScorer reloaded;
        ASSERT_TRUE(Loaded(reloaded, other));
        reloaded.Score(noisy, other, kUnweighted, parts, nullptr, nullptr, &noise);
        ASSERT_TRUE(reloaded.LastMatched());
        ASSERT_TRUE(reset ? Loaded(reloaded, model) : reloaded.Load(model) == 1);
        EXPECT_EQ(matched, reloaded.Score(noisy, model, kUnweighted, parts, nullptr, nullptr, &noise)) << reset;
    }
}

// Written over a longer word, a word given a noise is the word given it in
// place; a noise it cannot meet leaves it as it was.
TEST(SpeakerScorer, AWordGivenANoiseOverALongerOneIsTheWordGivenItInPlace)
{
    const CTakeFeatures word = Word(kWordFrames / 2, Melody(kWordFrames / 2, kWordFrames / 4, 140.0f));
    const STakeNoise noise = FlatNoise(-25.0f);
    CTakeFeatures inPlace = word;
    ASSERT_EQ(1, inPlace.MeetNoise(noise, kChannels));
    ASSERT_FALSE(SameWord(word, inPlace));   // the noise moved it

    CTakeFeatures over = Word(kWordFrames, Melody(kWordFrames, kWordFrames / 2, 180.0f));
    ASSERT_GT(over.Frames(), word.Frames());
    ASSERT_EQ(1, over.MeetNoiseOf(word, noise, kChannels));
    EXPECT_TRUE(SameWord(inPlace, over));

    STakeNoise otherCount = noise;
    otherCount.nChannels = kChannels - 1;
    CTakeFeatures refused = Word(kWordFrames, Melody(kWordFrames, kWordFrames / 2, 180.0f));
    EXPECT_EQ(0, refused.MeetNoiseOf(word, otherCount, kChannels));
    EXPECT_TRUE(SameWord(word, refused));
}
