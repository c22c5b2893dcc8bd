// libFuzzer target: the model file parser, and scoring with whatever it
// accepts. Any input must be refused or give a model that the scorer and the
// replay check can use without reading out of bounds.
//
// A mutated file almost never carries the right payload size and checksum,
// which would stop it at the header: for seven inputs in eight both are made
// right, so that the fields behind them get fuzzed (the eighth keeps the
// header as it came). At exit the target prints how many inputs reached the
// scorer.
//
// With SONVERA_FUZZ_SEED_DIR set, the target first writes a valid model of
// short templates there (seed-small.bin), with weights, a noise figure, an
// adapted template and its enrolment takes' channel noise (some channels
// carrying none): a corpus to start from, small enough that scoring stays
// cheap (run with -max_len=4096).
//
// Each model that reaches the scorer also meets two noisy takes on the
// unweighted path: one whose noise lies 10 dB over what its templates keep
// of their own (matched to it), and one whose noise is the model's kept
// enrolment noise reshaped by a dB either way, level with the templates'
// own (unmatched by its excess; held stricter where the model kept enough
// of it). Both are scored matched, so that the file's own levels reach the
// matching too. At exit the
// target prints how many were matched and how many held each way.
#include "Crc32.h"
#include "SpeakerModel.h"
#include "SpeakerScorer.h"
#include "TakeFeatures.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

unsigned long long g_runs = 0;
unsigned long long g_parsed = 0;
unsigned long long g_scored = 0;
unsigned long long g_matchedScores = 0;   // scores whose templates were given the take's noise
unsigned long long g_holds[3] = {};       // noisy takes held as the path holds them, matched, shifted

void Report()
{
    std::fprintf(stderr,
                 "model loader: %llu runs, %llu parsed, %llu reached the scorer; %llu matched scores, noisy takes "
                 "held %llu as the path, %llu matched, %llu shifted\n",
                 g_runs, g_parsed, g_scored, g_matchedScores, g_holds[0], g_holds[1], g_holds[2]);
}

void PutU32(std::vector<unsigned char>& bytes, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<unsigned char>(v >> (8 * i));
}

// Five templates of 12 frames and five enrolment takes with pitch contours
// of as many frames and a waveform print each, one accepted take after them,
// per-dimension weights, a noise figure and one adaptation's turn taken (the
// first adaptive template replaced), every value in range.
void WriteSeed(const char* dir)
{
    CSpeakerModel m;
    m.nSampleRate = 11025; m.nFrameLength = 240; m.nShift = 80;
    m.nCepstra = 16; m.nChannels = 19; m.nDims = 17;
    m.nTemplates = CSpeakerModel::kMaxTemplates;
    for (int d = 0; d < m.nDims; ++d) m.scale[d] = 0.25f;
    const int frames = 12;
    for (int t = 0; t < m.nTemplates; ++t) {
        m.templateFrames[t] = frames;
        m.templatePitch[t] = 110.0f + 5.0f * t;
        for (int i = 0; i < frames * m.nDims; ++i) m.templates[t][i] = static_cast<signed char>((i * 7 + t) % 61 - 30);
    }
    m.nKnownTakes = m.nTemplates + 1;
    for (int k = 0; k < m.nKnownTakes; ++k) {
        m.contourFrames[k] = frames;
        m.contourMedianPitch[k] = 120.0f;
        for (int i = 0; i < frames; ++i)
            m.contourPitch[k][i] = i % 5 == 4 ? CSpeakerModel::kUnvoiced : static_cast<signed char>((i * 5 + k) % 41 - 20);
        m.printed[k] = true;
        for (int i = 0; i < CSpeakerModel::kWaveformPrintBytes; ++i) m.prints[k][i] = static_cast<unsigned char>(i * 3 + k);
    }
    m.nNextRingSlot = m.nKnownTakes;
    m.nAdaptations = 1;
    for (int p = 0; p < CSpeakerModel::kScoreParts; ++p) {
        m.enrolMean[p] = m.enrolSpread[p] = m.adaptedMean[p] = 1.0f;
        m.weightedEnrolMean[p] = m.weightedAdaptedMean[p] = 0.8f;
    }
    m.printTypical = 0.2f;
    m.enrolSnrDb = 45.0f;
    m.bNoiseMove = true;
    m.noiseMove = 2.0f;
    m.noiseImpostorMove = 3.0f;
    m.noiseCopySnrDb = 25.0f;
    m.bWeighted = true;
    for (int d = 0; d < m.nDims; ++d) m.weightCodes[d] = static_cast<unsigned char>(112 + 2 * d);
    // The enrolment noise: a floor falling with frequency, none kept in the
    // top two channels.
    m.nEnrolNoiseChannels = m.nChannels;
    for (int c = 0; c < m.nChannels; ++c)
        m.enrolNoiseDb[c] = c >= m.nChannels - 2 ? CSpeakerModel::kNoNoiseDb : -40.0f - 0.5f * c;
    std::vector<unsigned char> bytes;
    if (!m.Serialize(bytes)) return;
    const std::string path = std::string(dir) + "/seed-small.bin";
    if (std::FILE* f = std::fopen(path.c_str(), "wb")) {
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
    }
}

// The probe's pitch track: the contour the model keeps of template t's take
// (its middle frames), in Hz, so that the cues that compare melodies have a
// voiced take to compare (a template alone carries no pitch track).
void PitchTrackOfTemplate(const CSpeakerModel& model, int t, CTakeFeatures& probe)
{
    float hz[CTakeFeatures::kMaxFrames] = {};
    if (t < model.nKnownTakes && model.contourMedianPitch[t] > 0.0f) {
        const int frames = model.contourFrames[t];
        const int first = std::max(0, (model.templateFrames[t] - frames) / 2);
        for (int i = 0; i < frames && first + i < CTakeFeatures::kMaxFrames; ++i) {
            const signed char step = model.contourPitch[t][i];
            if (step == CSpeakerModel::kUnvoiced) continue;
            hz[first + i] =
                model.contourMedianPitch[t] * std::exp2(step / (12.0f * CSpeakerModel::kPitchContourSteps));
        }
    }
    probe.SetPitchTrack(hz, CTakeFeatures::kMaxFrames);
}

// A take's noise over `level` (one per channel, dB), its summed level
// summed in power and its mask 34 dB under a loudest cell at 0 dB.
STakeNoise NoiseOf(const double* level, int channels)
{
    STakeNoise noise;
    noise.nChannels = channels;
    double power = 0.0;
    for (int c = 0; c < channels; ++c) {
        noise.channelDb[c] = static_cast<float>(level[c]);
        if (noise.channelDb[c] > STakeNoise::kNoneDb) power += std::pow(10.0, 0.1 * level[c]);
    }
    noise.totalDb = power > 0.0 ? static_cast<float>(10.0 * std::log10(power)) : STakeNoise::kNoneDb;
    noise.floorDb = -34.0f;
    return noise;
}

// The probe as a noisy take on the unweighted path, held as the engine
// holds it: once with noise 10 dB over the templates' own, once with the
// model's enrolment noise reshaped (+-1 dB by channel) at the templates'
// own level.
void ScoreNoisyTakes(const CSpeakerModel& model, CSpeakerScorer& scorer, const CTakeFeatures& probe, float* parts,
                     float* neighbourParts)
{
    using EPath = CSpeakerScorer::EScorePath;
    double own[STakeNoise::kMaxChannels];
    if (!scorer.TemplatesOwnNoiseDb(model.nChannels, own)) return;
    double over[STakeNoise::kMaxChannels], shaped[STakeNoise::kMaxChannels];
    double enrolMean = 0.0, ownMean = 0.0;
    int known = 0;
    for (int c = 0; c < model.nChannels && c < model.nEnrolNoiseChannels; ++c) {
        if (model.enrolNoiseDb[c] == CSpeakerModel::kNoNoiseDb) continue;
        enrolMean += model.enrolNoiseDb[c];
        ownMean += own[c];
        ++known;
    }
    const double toOwn = known > 0 ? (ownMean - enrolMean) / known : 0.0;
    for (int c = 0; c < model.nChannels; ++c) {
        over[c] = own[c] + 10.0;
        const bool kept = c < model.nEnrolNoiseChannels && model.enrolNoiseDb[c] != CSpeakerModel::kNoNoiseDb;
        shaped[c] = kept ? model.enrolNoiseDb[c] + toOwn + (c % 2 ? 1.0 : -1.0) : own[c];
    }
    const float snrDb = 20.0f;
    for (const double* level : {over, shaped}) {
        const STakeNoise noise = NoiseOf(level, model.nChannels);
        const float excess = scorer.NoiseExcessDb(noise, model.nChannels);
        const float shape = CSpeakerScorer::EnrolNoiseShapeDb(noise, model);
        const CSpeakerScorer::ENoiseHold hold = CSpeakerScorer::NoiseHold(EPath::kUnweighted, snrDb, excess, shape);
        ++g_holds[static_cast<int>(hold)];
        // Both are matched whatever their hold, so that the file's levels
        // reach the matching too.
        scorer.Score(probe, model, EPath::kUnweighted, parts, neighbourParts, nullptr, &noise);
        if (scorer.LastMatched()) ++g_matchedScores;
        CSpeakerScorer::Threshold(EPath::kUnweighted, 0.3f, snrDb, model.enrolSnrDb, nullptr, excess, hold);
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    if (const char* dir = std::getenv("SONVERA_FUZZ_SEED_DIR")) WriteSeed(dir);
    std::atexit(Report);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static CSpeakerModel model;
    static CSpeakerScorer scorer;
    static CTakeFeatures probe;
    static bool ready = false;
    if (!ready) {
        scorer.Init();
        ready = true;
    }
    ++g_runs;
    std::vector<unsigned char> bytes(data, data + size);
    const size_t header = CSpeakerModel::kHeaderSize;
    if (size >= header && (size & 7) != 7) {
        PutU32(bytes, 8, static_cast<uint32_t>(size - header));
        PutU32(bytes, 12, CCrc32::Compute(bytes.data() + header, size - header));
    }
    if (!model.Parse(bytes.data(), bytes.size())) return 0;
    ++g_parsed;
    // A parsed model must survive a round trip unchanged in size...
    std::vector<unsigned char> again;
    if (!model.Serialize(again) || again.size() != size) __builtin_trap();
    // ...and every template must be usable for scoring.
    if (!scorer.Load(model)) return 0;
    ++g_scored;
    // The probe is the model's last template, said with its take's melody.
    const int last = model.nTemplates - 1;
    probe.BuildFromTemplate(model, last);
    PitchTrackOfTemplate(model, last, probe);
    // Scored on every path, each with its threshold for a take 20 dB under
    // the model's enrolment (so that the model's noise figure counts): the
    // weights, the typical distances and the contours of any model get
    // fuzzed on each, and the line's path on a band.
    using EPath = CSpeakerScorer::EScorePath;
    const SNoiseFigure figure = {model.noiseMove, model.noiseImpostorMove, model.noiseCopySnrDb};
    const SChannelRange band = {1, model.nChannels - 4};
    float parts[CSpeakerModel::kScoreParts];
    float neighbourParts[CSpeakerModel::kScoreParts];
    for (EPath path : {EPath::kWeighted, EPath::kUnweighted, EPath::kLine, EPath::kCleanUnweighted}) {
        scorer.Score(probe, model, path, parts, neighbourParts, path == EPath::kLine ? &band : nullptr);
        CSpeakerScorer::Threshold(path, 0.3f, model.enrolSnrDb - 20.0f, model.enrolSnrDb,
                                  model.bNoiseMove ? &figure : nullptr, CSpeakerScorer::kNoExcess);
    }
    scorer.ReplayPitchDistance(probe, model, 1.75f);
    ScoreNoisyTakes(model, scorer, probe, parts, neighbourParts);
    return 0;
}
