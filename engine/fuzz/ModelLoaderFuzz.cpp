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
// short templates there (seed-small.bin): a corpus to start from, small
// enough that scoring stays cheap (run with -max_len=4096).
#include "Crc32.h"
#include "SpeakerModel.h"
#include "SpeakerScorer.h"
#include "TakeFeatures.h"

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

void Report()
{
    std::fprintf(stderr, "model loader: %llu runs, %llu parsed, %llu reached the scorer\n", g_runs, g_parsed,
                 g_scored);
}

void PutU32(std::vector<unsigned char>& bytes, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<unsigned char>(v >> (8 * i));
}

// Five templates of 12 frames and five known takes with pitch contours of 10
// frames and a waveform print each, every value in range.
void WriteSeed(const char* dir)
{
    CSpeakerModel m;
    m.nSampleRate = 11025; m.nFrameLength = 240; m.nShift = 80;
    m.nCepstra = 16; m.nChannels = 19; m.nDims = 17;
    m.nTemplates = CSpeakerModel::kMaxTemplates;
    for (int d = 0; d < m.nDims; ++d) m.scale[d] = 0.25f;
    for (int t = 0; t < m.nTemplates; ++t) {
        m.templateFrames[t] = 12;
        m.templatePitch[t] = 110.0f + 5.0f * t;
        for (int i = 0; i < 12 * m.nDims; ++i) m.templates[t][i] = static_cast<signed char>((i * 7 + t) % 61 - 30);
        m.contourFrames[t] = 10;
        m.contourMedianPitch[t] = 120.0f;
        for (int i = 0; i < 10; ++i) m.contourPitch[t][i] = static_cast<signed char>((i * 5 + t) % 41 - 20);
        m.printed[t] = true;
        for (int i = 0; i < CSpeakerModel::kWaveformPrintBytes; ++i) m.prints[t][i] = static_cast<unsigned char>(i * 3 + t);
    }
    for (int p = 0; p < CSpeakerModel::kScoreParts; ++p) m.enrolMean[p] = m.enrolSpread[p] = m.adaptedMean[p] = 1.0f;
    m.nKnownTakes = m.nNextRingSlot = m.nTemplates;
    m.printTypical = 0.2f;
    std::vector<unsigned char> bytes;
    if (!m.Serialize(bytes)) return;
    const std::string path = std::string(dir) + "/seed-small.bin";
    if (std::FILE* f = std::fopen(path.c_str(), "wb")) {
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
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
    // The probe is the model's last template.
    probe.BuildFromTemplate(model, model.nTemplates - 1);
    // Scored as a take at the model's own enrolment snr: a model with
    // weights gets them fuzzed too.
    float parts[CSpeakerModel::kScoreParts];
    const CSpeakerScorer::EScorePath path =
        CSpeakerScorer::TakePath(false, model.bWeighted, model.enrolSnrDb, model.enrolSnrDb);
    scorer.Score(probe, model, path, parts);
    scorer.ReplayPitchDistance(probe, model, 1.75f);
    return 0;
}
