#include "WordTakes.h"

#include <cstdio>

bool ParseWordSource(const std::string& text, SWordSource& out)
{
    const std::vector<std::string> parts = CEvalProtocol::SplitList(text, ':');
    if (parts.size() != 4) return false;
    out.strDir = parts[0];
    out.speakers = CEvalProtocol::SplitList(parts[1], ',');
    out.words = CEvalProtocol::SplitList(parts[2], ',');
    if (parts[3] != "all") {
        if (std::sscanf(parts[3].c_str(), "%d-%d", &out.nFirstTake, &out.nLastTake) != 2) return false;
        if (out.nFirstTake < 0 || out.nLastTake < out.nFirstTake) return false;
    }
    return !out.speakers.empty() && !out.words.empty();
}

std::unique_ptr<CSpeakerEngine> MakeEnrolmentEngine()
{
    using Setup = SDialogEngineSetup;
    auto engine = std::make_unique<CSpeakerEngine>();
    engine->Initialize();
    engine->SetNetVersion(Setup::kNetVersion);
    engine->SetMode(Setup::kModeEnrol);
    engine->SetEnrolTakes(Setup::kEnrolTakes);
    engine->SetAnalysis(Setup::kSampleRate, Setup::kTakeMs, Setup::kFrameLength, Setup::kFrameShift);
    engine->SetNoiseParams(SNoiseParams{Setup::kNoiseSubtraction, Setup::kFixedNoiseFloorDb,
                                        Setup::kNoiseFloorMarginDb, Setup::kAdaptiveNoiseFloor});
    engine->SetModelShape(Setup::kCepstra, Setup::kMelChannels, Setup::kMinTrainTakes, Setup::kMaxTemplateFrames);
    engine->SetEndpointParams(Setup::kMarginMs, Setup::kMaxGapMs, Setup::kMinSpeechMs, Setup::kQuietPower);
    return engine;
}

int TakeWordFeatures(CSpeakerEngine& engine, const CEvalProtocol& protocol, const std::string& word,
                     const std::string& speaker, int take, const STakeConditionRecipe& condition,
                     CTakeFeatures& out)
{
    const std::vector<short> samples = protocol.MakeTake(word, speaker, take, condition, false);
    return engine.WordFeatures(samples.data(), static_cast<int>(samples.size()), out);
}

std::vector<SWordTake> ReadWordSource(const SWordSource& source, CSpeakerEngine& engine, int& missed)
{
    CEvalProtocol protocol;
    const std::string corpus = CEvalProtocol::CorpusName(source.strDir);
    std::vector<std::string> words;
    for (const std::string& w : source.words) words.push_back(corpus + "/" + w);
    protocol.LoadCorpus(source.strDir, source.speakers, words, source.nLastTake);
    STakeConditionRecipe clean;
    CTakeCondition::Find("clean", clean);
    std::vector<SWordTake> found;
    missed = 0;
    for (const std::string& speaker : protocol.Speakers())
        for (const std::string& word : protocol.Words(speaker))
            for (int take : protocol.Takes(word, speaker)) {
                if (take < source.nFirstTake) continue;
                SWordTake w;
                w.strSpeaker = speaker;
                w.strWord = word;
                w.nTake = take;
                if (!TakeWordFeatures(engine, protocol, word, speaker, take, clean, w.features)) {
                    ++missed;
                    continue;
                }
                found.push_back(w);
            }
    return found;
}
