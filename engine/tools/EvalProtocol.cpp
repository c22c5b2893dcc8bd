#include "EvalProtocol.h"

#include "DialogEngineSetup.h"
#include "Resampler.h"
#include "TakeSynthesizer.h"
#include "VoiceEngine.h"
#include "WaveFile.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <dirent.h>
#include <set>

namespace {

double MsSince(std::chrono::steady_clock::time_point t0)
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
}

uint64_t SeedOf(int digit, const std::string& speaker, int take, bool replay)
{
    uint64_t h = 1469598103934665603ULL;   // FNV-1a over the name
    for (char c : speaker) h = (h ^ static_cast<unsigned char>(c)) * 1099511628211ULL;
    return h ^ (static_cast<uint64_t>(digit) << 40) ^ (static_cast<uint64_t>(take) << 20) ^ (replay ? 0x5555ULL : 0ULL);
}

} // namespace

int CEvalProtocol::LoadCorpus(const std::string& dir, const std::vector<std::string>& speakers)
{
    m_corpus.clear();
    DIR* d = opendir(dir.c_str());
    if (!d) return 0;
    std::vector<std::string> names;
    while (dirent* e = readdir(d)) names.push_back(e->d_name);
    closedir(d);
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) {
        int digit = -1, take = -1;
        char who[64] = {0};
        if (name.size() < 5 || name.compare(name.size() - 4, 4, ".wav") != 0) continue;
        if (std::sscanf(name.c_str(), "%d_%63[a-z]_%d.wav", &digit, who, &take) != 3) continue;
        const std::string speaker = who;
        if (!speakers.empty() && std::find(speakers.begin(), speakers.end(), speaker) == speakers.end()) continue;
        std::vector<short> pcm;
        int rate = 0;
        if (!CWaveFile::Read(dir + "/" + name, pcm, rate)) continue;
        m_corpus[{digit, speaker, take}] = CResampler::Convert(pcm, rate, kRate);
    }
    return static_cast<int>(m_corpus.size());
}

std::vector<std::string> CEvalProtocol::Speakers() const
{
    std::set<std::string> s;
    for (const auto& kv : m_corpus) s.insert(std::get<1>(kv.first));
    return std::vector<std::string>(s.begin(), s.end());
}

bool CEvalProtocol::Has(int digit, const std::string& speaker, int take) const
{
    return m_corpus.count({digit, speaker, take}) != 0;
}

std::vector<short> CEvalProtocol::MakeTake(int digit, const std::string& speaker, int take, bool replay) const
{
    const auto it = m_corpus.find({digit, speaker, take});
    if (it == m_corpus.end()) return std::vector<short>(kTakeSamples, 0);
    STakeRecipe recipe;
    recipe.nLength = kTakeSamples;
    recipe.nOffset = kOffsetSamples + (replay ? kReplayShiftSamples : 0);
    const auto gain = m_speakerGainDb.find(speaker);
    recipe.fGainDb = m_fGainDb + (gain != m_speakerGainDb.end() ? gain->second : 0.0) + (replay ? kReplayGainDb : 0.0);
    recipe.fNoiseRms = replay ? kReplayNoiseRms : kNoiseRms;
    recipe.nSeed = SeedOf(digit, speaker, take, replay);
    return CTakeSynthesizer::Make(it->second, recipe);
}

std::string CEvalProtocol::Nick(int digit, const std::string& speaker) const
{
    return "m" + std::to_string(digit) + speaker;
}

// The dialog's engine set-up, in its order.
void CEvalProtocol::SetUp(int mode)
{
    using Setup = SDialogEngineSetup;
    VRE_Initialize();
    VRE_SetbNetVersion(Setup::kNetVersion);
    VRE_PutDir(m_strWorkDir.c_str());
    VRE_PutMode(mode);
    if (mode == Setup::kModeEnrol) VRE_PutMaxRepeat(Setup::kEnrolTakes);
    VRE_AnalParams(Setup::kSampleRate, Setup::kTakeMs, Setup::kFrameLength, Setup::kFrameShift);
    VRE_NoiseParams(Setup::kNoiseSubtraction, Setup::kFixedNoiseFloorDb, Setup::kNoiseFloorMarginDb,
                    Setup::kAdaptiveNoiseFloor);
    VRE_EngineParams(Setup::kCepstra, Setup::kMelChannels, Setup::kMinTrainTakes, Setup::kMaxTemplateFrames);
    VRE_CopyParams(Setup::kReplaySensitivity);
    VRE_SetbSpeech(Setup::kSpeechFlag);
    VRE_SameWordDist(Setup::kSameWordRatio);
    VRE_HMMParams(Setup::kModelKind, Setup::kSpreadFloor, Setup::kAdaptMargin, Setup::kAdaptRate, Setup::kMaxDrift);
    VRE_EPDParams(Setup::kMarginMs, Setup::kMaxGapMs, Setup::kMinSpeechMs, Setup::kQuietPower);
    VRE_Security(Setup::kSecurity);
    VRE_PutMode(mode);
    VRE_SetbAdapt(0);
}

int CEvalProtocol::Enrol(int digit, const std::string& speaker, int first, int last, int& refused, int& missed,
                         int& marginal, double& trainMs)
{
    refused = missed = marginal = 0;
    trainMs = 0.0;
    SetUp(1);
    m_strNick = Nick(digit, speaker);
    VRE_PutID(speaker.c_str());
    VRE_PutPW(std::to_string(digit).c_str());
    VRE_PutNick(m_strNick.c_str());
    int index = 0;
    for (int take = first; take <= last; ++take, ++index) {
        const std::vector<short> s = MakeTake(digit, speaker, take, false);
        // Digits are short words.
        if (!VRE_GetEndpointShort(s.data(), kTakeSamples, 1)) {
            ++refused;
            // The number is read only after a refusal, as the dialog does.
            const int error = VRE_GetErrorNumber();
            if (error == -4 || error == -5) ++marginal;
            else ++missed;
            continue;
        }
        if (!VRE_CheckSexSpeech(s.data(), kTakeSamples, index)) ++refused;
    }
    const auto t0 = std::chrono::steady_clock::now();
    const int ok = VRE_Train();
    trainMs = MsSince(t0);
    VRE_DestructMemories();
    VRE_Destruct();
    return ok;
}

STrialResult CEvalProtocol::Trial(const std::vector<short>& take)
{
    STrialResult r = {false, false, false, false, 1e9, {0, 0, 0, 0}, {0, 0, 0, 0}, 0.0, 0.0};
    SetUp(2);
    VRE_PutNick(m_strNick.c_str());
    VRE_Security(SDialogEngineSetup::kSecurity);
    r.bEndpoint = VRE_GetEndpointShort(take.data(), kTakeSamples, 1) != 0;
    if (r.bEndpoint) r.bChecked = VRE_CheckSexSpeech(take.data(), kTakeSamples, 0) != 0;
    if (r.bChecked) {
        r.bCopy = VRE_VCopy() == 0;
        r.fCopyDistance = VRE_GetCopyDistance();
        const auto t0 = std::chrono::steady_clock::now();
        r.bAccepted = VRE_Verify() != 0;
        r.fVerifyMs = MsSince(t0);
        r.fScore = VRE_GetScore();
        for (int p = 0; p < 4; ++p) {
            r.fParts[p] = VRE_GetScorePart(p);
            r.fModel[p] = VRE_GetModelPart(p);
        }
    }
    VRE_DestructMemories();
    VRE_Destruct();
    return r;
}

double CEvalProtocol::OperatingThreshold()
{
    SetUp(2);
    const double t = VRE_GetThreshold();
    VRE_Destruct();
    return t;
}
