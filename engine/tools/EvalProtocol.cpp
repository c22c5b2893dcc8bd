#include "EvalProtocol.h"

#include "DialogEngineSetup.h"
#include "Resampler.h"
#include "TakeSynthesizer.h"
#include "VoiceEngine.h"
#include "WaveFile.h"

#include <algorithm>
#include <ctime>
#include <cstdio>
#include <cctype>
#include <cstdlib>
#include <dirent.h>
#include <set>
#ifdef _WIN32
#include <direct.h>
#else
#include <sys/stat.h>
#endif

namespace {

bool IsName(const std::string& s)
{
    if (s.empty() || s.size() > 40) return false;
    for (char c : s)
        if (!std::isalnum(static_cast<unsigned char>(c))) return false;
    return true;
}

// WORD_SPEAKER_TAKE.wav: false for any other name.
bool ParseName(const std::string& name, std::string& word, std::string& speaker, int& take)
{
    if (name.size() < 9 || name.compare(name.size() - 4, 4, ".wav") != 0) return false;
    const std::string stem = name.substr(0, name.size() - 4);
    const size_t a = stem.find('_'), b = stem.rfind('_');
    if (a == std::string::npos || a == b) return false;
    word = stem.substr(0, a);
    speaker = stem.substr(a + 1, b - a - 1);
    const std::string number = stem.substr(b + 1);
    if (!IsName(word) || !IsName(speaker) || number.empty() || number.size() > 6) return false;
    for (char c : number)
        if (!std::isdigit(static_cast<unsigned char>(c))) return false;
    take = std::atoi(number.c_str());
    return true;
}

} // namespace

std::string CEvalProtocol::CorpusName(std::string dir)
{
    while (!dir.empty() && (dir.back() == '/' || dir.back() == '\\')) dir.pop_back();
    const size_t slash = dir.find_last_of("/\\");
    return slash == std::string::npos ? dir : dir.substr(slash + 1);
}

double CEvalProtocol::ProcessorMs()
{
    return 1000.0 * static_cast<double>(std::clock()) / CLOCKS_PER_SEC;
}

int CEvalProtocol::LoadCorpus(const std::string& dir, const std::vector<std::string>& speakers,
                              const std::vector<std::string>& words, int lastTake)
{
    DIR* d = opendir(dir.c_str());
    if (!d) return 0;
    std::vector<std::string> names;
    while (dirent* e = readdir(d)) names.push_back(e->d_name);
    closedir(d);
    std::sort(names.begin(), names.end());
    const std::string corpus = CorpusName(dir);
    int read = 0;
    for (const std::string& name : names) {
        std::string word, speaker;
        int take = 0;
        if (!ParseName(name, word, speaker, take)) continue;
        if (!speakers.empty() && std::find(speakers.begin(), speakers.end(), speaker) == speakers.end()) continue;
        if (!words.empty() && std::find(words.begin(), words.end(), corpus + "/" + word) == words.end()) continue;
        if (lastTake >= 0 && take > lastTake) continue;
        std::vector<short> pcm;
        int rate = 0;
        if (!CWaveFile::Read(dir + "/" + name, pcm, rate)) continue;
        m_corpus[{corpus + "/" + word, speaker, take}] = CResampler::Convert(pcm, rate, kRate);
        ++read;
    }
    return read;
}

std::vector<std::string> CEvalProtocol::Speakers() const
{
    std::set<std::string> s;
    for (const auto& kv : m_corpus) s.insert(std::get<1>(kv.first));
    return std::vector<std::string>(s.begin(), s.end());
}

std::vector<std::string> CEvalProtocol::Words(const std::string& speaker) const
{
    std::set<std::string> s;
    for (const auto& kv : m_corpus)
        if (std::get<1>(kv.first) == speaker) s.insert(std::get<0>(kv.first));
    return std::vector<std::string>(s.begin(), s.end());
}

std::vector<int> CEvalProtocol::Takes(const std::string& word, const std::string& speaker) const
{
    std::vector<int> takes;
    for (auto it = m_corpus.lower_bound({word, speaker, 0}); it != m_corpus.end(); ++it) {
        if (std::get<0>(it->first) != word || std::get<1>(it->first) != speaker) break;
        takes.push_back(std::get<2>(it->first));
    }
    return takes;
}

bool CEvalProtocol::Has(const std::string& word, const std::string& speaker, int take) const
{
    return m_corpus.count({word, speaker, take}) != 0;
}

uint64_t CEvalProtocol::SeedOf(const std::string& word, const std::string& speaker, int take, bool copy) const
{
    uint64_t h = 1469598103934665603ULL;   // FNV-1a over the names
    for (char c : word + "|" + speaker) h = (h ^ static_cast<unsigned char>(c)) * 1099511628211ULL;
    return h ^ (static_cast<uint64_t>(take) << 20) ^ (copy ? 0x5555ULL : 0ULL);
}

std::vector<short> CEvalProtocol::MakeTake(const std::string& word, const std::string& speaker, int take,
                                           const STakeConditionRecipe& condition, bool copy) const
{
    const auto it = m_corpus.find({word, speaker, take});
    if (it == m_corpus.end()) return std::vector<short>(kTakeSamples, 0);
    STakeConditionRecipe recipe = condition;
    const auto gain = m_speakerGainDb.find(speaker);
    recipe.fGainDb += (gain != m_speakerGainDb.end() ? gain->second : 0.0) + (copy ? kReplayGainDb : 0.0);
    const int offset = kOffsetSamples + (copy ? kReplayShiftSamples : 0);
    return CTakeCondition::Make(it->second, recipe, kRate, kTakeSamples, offset, copy ? kReplayNoiseRms : kNoiseRms,
                                SeedOf(word, speaker, take, copy));
}

std::string CEvalProtocol::Nick(const std::string& word, const std::string& speaker) const
{
    std::string nick = "m_" + word + "_" + speaker;
    for (char& c : nick)
        if (c == '/') c = '_';
    return nick;
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
    VRE_EngineParams(Setup::kCepstra, Setup::kMelChannels, m_nMinTrainTakes, Setup::kMaxTemplateFrames);
    VRE_CopyParams(Setup::kReplaySensitivity);
    VRE_SetbSpeech(Setup::kSpeechFlag);
    VRE_SameWordDist(Setup::kSameWordRatio);
    VRE_HMMParams(Setup::kModelKind, Setup::kSpreadFloor, Setup::kAdaptMargin, Setup::kAdaptRate, Setup::kMaxDrift);
    VRE_EPDParams(Setup::kMarginMs, Setup::kMaxGapMs, Setup::kMinSpeechMs, Setup::kQuietPower);
    VRE_Security(Setup::kSecurity);
    VRE_PutMode(mode);
    VRE_SetbAdapt(0);
}

int CEvalProtocol::Enrol(const std::string& word, const std::string& speaker, const std::vector<int>& takes,
                         int& refused, int& missed, int& marginal, double& trainMs)
{
    refused = missed = marginal = 0;
    trainMs = 0.0;
    SetUp(SDialogEngineSetup::kModeEnrol);
    m_strNick = Nick(word, speaker);
    VRE_PutID(speaker.c_str());
    VRE_PutPW(word.c_str());
    VRE_PutNick(m_strNick.c_str());
    STakeConditionRecipe clean;
    CTakeCondition::Find("clean", clean);
    m_enrolSnrDb[m_strNick].clear();
    int index = 0;
    for (int take : takes) {
        const std::vector<short> s = MakeTake(word, speaker, take, clean, false);
        // The corpora's words are short (digits, commands).
        if (!VRE_GetEndpointShort(s.data(), kTakeSamples, 1)) {
            ++refused;
            // The number is read only after a refusal, as the dialog does.
            const int error = VRE_GetErrorNumber();
            if (error == -4 || error == -5) ++marginal;
            else ++missed;
            continue;
        }
        const double snr = VRE_GetTakeSnr();
        if (!VRE_CheckSexSpeech(s.data(), kTakeSamples, index)) ++refused;
        else m_enrolSnrDb[m_strNick].push_back(snr);   // the takes the model learns from
        ++index;
    }
    const double t0 = m_clock();
    const int ok = VRE_Train();
    trainMs = m_clock() - t0;
    VRE_DestructMemories();
    VRE_Destruct();
    return ok;
}

STrialResult CEvalProtocol::Trial(const std::vector<short>& take)
{
    STrialResult r{};
    r.fScore = 1e9;
    SetUp(SDialogEngineSetup::kModeVerify);
    VRE_PutNick(m_strNick.c_str());
    VRE_Security(SDialogEngineSetup::kSecurity);
    const double t0 = m_clock();
    r.bEndpoint = VRE_GetEndpointShort(take.data(), kTakeSamples, 1) != 0;
    r.nError = VRE_GetErrorNumber();
    const double t1 = m_clock();
    if (r.bEndpoint) r.bChecked = VRE_CheckSexSpeech(take.data(), kTakeSamples, 0) != 0;
    const double t2 = m_clock();
    if (r.bChecked) r.bCopy = VRE_VCopy() == 0;
    const double t3 = m_clock();
    if (r.bChecked) r.bAccepted = VRE_Verify() != 0;
    const double t4 = m_clock();
    r.fTakeMs = t4 - t0;
    r.fStageMs[0] = t1 - t0;
    r.fStageMs[1] = t2 - t1;
    r.fStageMs[2] = t3 - t2;
    r.fStageMs[3] = t4 - t3;
    r.fSnrDb = VRE_GetTakeSnr();
    if (r.bChecked) {
        r.fCopyDistance = VRE_GetCopyDistance();
        r.fCopyPitchDistance = VRE_GetCopyPitchDistance();
        r.fCopyWaveform = VRE_GetCopyWaveform();
        r.fCopyTypical = VRE_GetModelPart(4);
        r.fNoiseMove = VRE_GetModelPart(5);
        r.fNoiseCopySnrDb = VRE_GetModelPart(6);
        r.fNoiseImpostorMove = VRE_GetModelPart(7);
        r.fMatchedMargin = VRE_GetModelPart(8);
        r.fThreshold = VRE_GetThreshold();
        r.fScore = VRE_GetScore();
        for (int p = 0; p < kScorePartCount; ++p) r.fParts[p] = VRE_GetScorePart(p);
        for (int p = 0; p < 4; ++p) r.fModelParts[p] = VRE_GetModelPart(p);
    }
    VRE_DestructMemories();
    VRE_Destruct();
    return r;
}

int CEvalProtocol::AdaptingLogin(const std::vector<short>& take)
{
    SetUp(SDialogEngineSetup::kModeVerify);
    VRE_SetbAdapt(1);
    VRE_PutNick(m_strNick.c_str());
    int updated = 0;
    if (VRE_GetEndpointShort(take.data(), kTakeSamples, 1) && VRE_CheckSexSpeech(take.data(), kTakeSamples, 0)) {
        VRE_VCopy();
        VRE_Verify();
        updated = VRE_GetbUpdate();
    }
    VRE_DestructMemories();
    VRE_Destruct();
    return updated;
}

double CEvalProtocol::OperatingThreshold()
{
    SetUp(SDialogEngineSetup::kModeVerify);
    const double t = VRE_GetThreshold();
    VRE_Destruct();
    return t;
}

std::vector<std::string> CEvalProtocol::SplitList(const std::string& text, char sep)
{
    std::vector<std::string> out;
    size_t start = 0;
    while (start <= text.size()) {
        const size_t end = text.find(sep, start);
        const std::string item = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (!item.empty()) out.push_back(item);
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return out;
}

void CEvalProtocol::MakeFolder(const std::string& path)
{
#ifdef _WIN32
    _mkdir(path.c_str());
#else
    mkdir(path.c_str(), 0777);
#endif
}
