// libFuzzer target: the model file parser, and scoring with whatever it
// accepts. Any input must be refused or give a model that the scorer can use
// without reading out of bounds.
#include "Crc32.h"
#include "SpeakerModel.h"
#include "SpeakerScorer.h"
#include "TakeFeatures.h"

#include <cstddef>
#include <cstdint>
#include <vector>

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
    // The checksum would stop almost every mutation at the door; for half the
    // inputs it is made right, so that the field checks behind it get fuzzed.
    std::vector<unsigned char> bytes(data, data + size);
    if (size > static_cast<size_t>(CSpeakerModel::kHeaderSize) && (size & 1)) {
        const uint32_t crc = CCrc32::Compute(bytes.data() + CSpeakerModel::kHeaderSize,
                                             size - CSpeakerModel::kHeaderSize);
        for (int i = 0; i < 4; ++i) bytes[12 + i] = static_cast<unsigned char>(crc >> (8 * i));
    }
    if (!model.Parse(bytes.data(), bytes.size())) return 0;
    // A parsed model must survive a round trip unchanged in size...
    std::vector<unsigned char> again;
    if (!model.Serialize(again) || again.size() != size) __builtin_trap();
    // ...and every template must be usable for scoring.
    if (!scorer.Load(model)) return 0;
    probe.BuildFromTemplate(model, 0);
    float parts[CSpeakerModel::kScoreParts];
    scorer.Score(probe, model, parts);
    scorer.ReplayDistance(probe, model);
    return 0;
}
