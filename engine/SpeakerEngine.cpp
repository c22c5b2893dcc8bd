#include "SpeakerEngine.h"

#include "AnsiFileSystem.h"
#include "DialogEngineSetup.h"
#include "NoisyCopy.h"
#include "WaveformPrint.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>


namespace {

// --- Defaults: the dialog's set-up, except where noted -------------------------
using Dialog = SDialogEngineSetup;
// Fewest enrolment takes that train: the scorer's least, and the default
// until VRE_EngineParams asks for more (the dialog asks for 5).
const int kDefaultMinTakes = 3;
const int kMaxTakeMs = 10000;

// --- Replay check -------------------------------------------------------------------
// A take replays a known take (enrolment or accepted) when its pitch contour
// is within replay sensitivity x kReplayPitchUnit semitones of the known
// take's (2.4 -> 0.07), or its waveform is at least kReplayWaveformUnit /
// replay sensitivity (2.4 -> 2.15) times as like one of the known take's
// prints as two enrolment takes' prints are like each other (CWaveformPrint).
// The pitch contour catches a fifth of the replays through a loudspeaker and
// a room (sixth round); the waveform, whose direct sound a room leaves in
// step with the recording, most of the rest (tenth round). Both limits were
// chosen on the tuning speakers (fsdd's four, arabicsc's seven): the
// waveform's is the lowest (in steps of 0.05) at which the whole check flags
// at most 0.6 % of their fresh clean takes (3 of 525; replays through a
// loudspeaker and a room caught 91.6 %). A cepstral fingerprint of the word,
// compared frame for frame, was a cue until the eleventh round; on the
// tuning speakers it added one digital copy in 525 to the other two (99.6
// against 99.4 %) and flagged fresh takes of speakers who say a word alike
// every time; without it the waveform's limit came down from 2.3.
const double kReplayPitchUnit = 0.07 / 2.4;
const double kReplayWaveformUnit = 2.15 * 2.4;
// An accepted take's print counts at this share of its similarity (its limit
// is 2.5 instead of 2.15): the ring holds eight prints of the user's recent
// logins, which come nearer a fresh take by chance than the enrolment takes
// do. Chosen on the tuning speakers with takes to spare (fsdd's four: takes
// 10-17 as logins that adapt, 18-49 as trials): the lowest ring limit at
// which the ring's prints flag at most 0.1 % of the fresh takes the other
// cues pass (at 2.15 they flagged 0.9 %); a replay of an accepted take
// through a loudspeaker and a room is still caught 91-93 % of the time.
const float kAcceptedPrintWeight = static_cast<float>(2.15 / 2.5);
// An accepted take's pitch contour likewise counts at this multiple of its
// distance (its limit 0.04 semitones instead of 0.07), chosen the same way:
// at 0.07 the ring's contours flagged 1.5 % of the fresh takes the other
// cues pass; at 0.04 one of 1280, with replays of accepted takes caught 90.6
// % (92.6 %) and their digital copies 99.7 % (100 %).
const float kAcceptedContourScale = static_cast<float>(0.07 / 0.04);
const int kWordLeadFrames = 16;
// --- Training: the enrolment takes under noise ---------------------------------------
// Each take's noisy copy (CNoisyCopy) has its own seed; fewer copies than
// kMinNoiseCopies whose word was found leave the model without a figure.
const uint32_t kNoiseSeed = 0x2545F491u;
const uint32_t kNoiseSeedStep = 7919u;
const int kMinNoiseCopies = 3;
// --- Verification ----------------------------------------------------------------------
// The band a telephone line passes: a take that came through such a line is
// compared on the channels inside it only (CSpeakerScorer::Score). It is
// told by its noise floor: a microphone's and a room's noise reach the top
// of the filter bank (over every clean, soft and noisy take of the tuning
// speakers the floor above the band lies 0.9 to 4.1 dB over the band's top
// channels), a line that passes only the band carries none of it beyond
// (-9.8 to -8.8 dB through a 300-3400 Hz line). The word's own spectrum
// does not tell: recordings differ more at the band's edges, by
// microphone and voice, than a line changes them.
const float kLineLowHz = 300.0f;
const float kLineHighHz = 3400.0f;
const float kLineNoiseDropDb = -6.0f;
const double kFarFromAnyReplay = 1e3;   // VRE_GetCopyDistance when no cue can tell

// Bounded: nothing the dialog passes is longer than a path.
const size_t kMaxText = 1024;

std::string SafeString(const char* s)
{
    if (s == nullptr) return std::string();
    size_t n = 0;
    while (n < kMaxText && s[n] != '\0') ++n;
    return std::string(s, n);
}

// A text the model file's name is built from is taken whole or not at all:
// cut at the bound, it would name another file or folder.
bool FitsBound(const char* s)
{
    for (size_t n = 0; n <= kMaxText; ++n)
        if (s[n] == '\0') return true;
    return false;
}

// Windows opens a device, not a file, for a name whose part before the
// first dot, trailing spaces dropped, is a device's: "COM1.bin" is the
// serial port, and reading it waits for the line.
bool IsDeviceName(const std::string& name)
{
    std::string base = name.substr(0, name.find('.'));
    while (!base.empty() && base.back() == ' ') base.pop_back();
    for (char& c : base)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    static const char* const kDevices[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
    for (const char* device : kDevices)
        if (base == device) return true;
    const bool numbered = base.size() == 4 && (base.compare(0, 3, "COM") == 0 || base.compare(0, 3, "LPT") == 0);
    return numbered && base[3] >= '1' && base[3] <= '9';
}

} // namespace

CSpeakerEngine::CSpeakerEngine()
{
    ResetFields();
}

void CSpeakerEngine::ResetFields()
{
    m_bInitialized = false;
    m_bStagesReady = false;
    m_nMode = 0;
    m_nMaxRepeat = Dialog::kEnrolTakes;
    m_nNetVersion = 0;
    m_nSpeechFlag = 0;
    m_nSampleRate = Dialog::kSampleRate;
    m_nTakeMs = Dialog::kTakeMs;
    m_nFrameLength = Dialog::kFrameLength;
    m_nShift = Dialog::kFrameShift;
    m_nCepstra = Dialog::kCepstra;
    m_nChannels = Dialog::kMelChannels;
    m_nMinTakes = kDefaultMinTakes;
    m_nMaxTemplateFrames = CSpeakerModel::kMaxTemplateFrames;
    m_noiseParams = SNoiseParams{Dialog::kNoiseSubtraction, Dialog::kFixedNoiseFloorDb, Dialog::kNoiseFloorMarginDb,
                                 Dialog::kAdaptiveNoiseFloor};
    m_epdParams = SEndpointParams{0, 0, 0, 0};
    m_fReplaySensitivity = Dialog::kReplaySensitivity;
    m_nModelKind = Dialog::kModelKind;
    m_fSpreadFloor = Dialog::kSpreadFloor;
    m_fAdaptMargin = Dialog::kAdaptMargin;
    m_fAdaptRate = Dialog::kAdaptRate;
    m_fMaxDrift = Dialog::kMaxDrift;
    m_fSecurity = Dialog::kSecurity;
    m_bAdapt = true;
    m_strDir.clear();
    m_strId.clear();
    m_strWord.clear();
    m_strNick.clear();
    m_strReason.clear();
    m_extractor.Reset();
    m_detector.Reset();
    m_voicing.Reset();
    m_checker.Reset();
    m_scorer.Reset();
    m_features.SetCapacity(0, 1);
    m_levelDb.clear();
    m_bandDb.clear();
    m_nTakeHash = 0;
    m_nTakeCount = 0;
    m_nAnalysedShortWord = 0;
    ForgetAnalysis();
    m_endpoint = SEndpointResult{0, kEpdLengthAbnormal, 0, 0, 0, 0, 0.0f, 0.0f, 0.0f};
    m_nError = 0;
    m_bTakeReady = false;
    m_fVoicedFraction = 0.0f;
    ClearTakesAndModel();
    m_bUpdate = 0;
    m_fLastScore = 0.0;
    std::memset(m_lastParts, 0, sizeof(m_lastParts));
    m_fLastReplayDistance = 0.0;
    m_fLastReplayPitchDistance = 0.0;
    m_fLastReplayWaveform = 0.0;
}

int CSpeakerEngine::BuildStages()
{
    m_bStagesReady = false;
    const long maxSamples = static_cast<long>(m_nSampleRate) * m_nTakeMs / 1000;
    if (!m_extractor.Init(m_nSampleRate, m_nFrameLength, m_nShift, m_nCepstra, m_nChannels,
                          static_cast<int>(maxSamples)))
        return 0;
    const int maxFrames = m_extractor.MaxFrames();
    if (!m_detector.Init(m_nSampleRate, m_nFrameLength, m_nShift, maxFrames, m_epdParams)) return 0;
    if (!m_voicing.Init(m_nSampleRate, m_nFrameLength, m_nShift)) return 0;
    if (!m_scorer.Init()) return 0;
    // Analysis settings whose bank holds no channel in the band never tell a line.
    if (!m_extractor.ChannelsWithin(kLineLowHz, kLineHighHz, m_lineBand.nFirst, m_lineBand.nLast))
        m_lineBand = SChannelRange{-1, -1};
    m_features.SetCapacity(maxFrames, m_extractor.Dims());
    m_levelDb.assign(maxFrames, 0.0f);
    m_bandDb.assign(maxFrames, 0.0f);
    ForgetAnalysis();
    m_bStagesReady = true;
    return 1;
}

int CSpeakerEngine::Initialize()
{
    ResetFields();
    m_bInitialized = true;
    return m_checker.Init() && BuildStages() ? 1 : 0;
}

int CSpeakerEngine::Shutdown()
{
    ResetFields();
    return 1;
}

// The next take is analysed afresh, and the model read again for it.
void CSpeakerEngine::ForgetAnalysis()
{
    m_bAnalysed = false;
    m_bTakeScored = false;
    m_bAnalysisOk = false;
    m_bModelReady = false;
    m_bTakeReady = false;
    m_bTakeReplayed = false;
}

void CSpeakerEngine::ClearTakesAndModel()
{
    m_take.Reset();
    for (int i = 0; i < CSpeakerModel::kMaxTemplates; ++i) {
        m_enrol[i].Reset();
        m_enrolFilled[i] = false;
        m_enrolSnrDb[i] = 0.0f;
        m_enrolSamples[i].clear();
    }
    m_model.Reset();
    m_strModelNick.clear();
}

int CSpeakerEngine::ForgetTakes()
{
    if (!m_bInitialized) return 0;
    ForgetAnalysis();
    ClearTakesAndModel();
    return 1;
}

int CSpeakerEngine::SetNetVersion(int value)
{
    if (!m_bInitialized) return 0;
    m_nNetVersion = value;
    return 1;
}

int CSpeakerEngine::SetFolder(const char* dir)
{
    // An empty folder would put the model under the process's current one.
    if (!m_bInitialized || dir == nullptr || *dir == '\0' || !FitsBound(dir)) return 0;
    m_strDir = SafeString(dir);
    ForgetAnalysis();
    return 1;
}

int CSpeakerEngine::SetMode(int mode)
{
    if (!m_bInitialized || (mode != kModeEnrol && mode != kModeVerify)) return 0;
    m_nMode = mode;
    // A mode starts a fresh series of takes.
    for (int i = 0; i < CSpeakerModel::kMaxTemplates; ++i) m_enrolFilled[i] = false;
    ForgetAnalysis();
    m_bUpdate = 0;
    return 1;
}

int CSpeakerEngine::SetEnrolTakes(int count)
{
    if (!m_bInitialized || count < kDefaultMinTakes || count > CSpeakerModel::kMaxTemplates) return 0;
    m_nMaxRepeat = count;
    return 1;
}

int CSpeakerEngine::SetAnalysis(int sampleRate, int takeMs, int frameLength, int shift)
{
    if (!m_bInitialized || takeMs < 100 || takeMs > kMaxTakeMs) return 0;
    const int oldRate = m_nSampleRate, oldMs = m_nTakeMs, oldLen = m_nFrameLength, oldShift = m_nShift;
    m_nSampleRate = sampleRate;
    m_nTakeMs = takeMs;
    m_nFrameLength = frameLength;
    m_nShift = shift;
    if (BuildStages()) return 1;
    // Refused: keep the working set.
    m_nSampleRate = oldRate; m_nTakeMs = oldMs; m_nFrameLength = oldLen; m_nShift = oldShift;
    BuildStages();
    return 0;
}

int CSpeakerEngine::SetNoiseParams(const SNoiseParams& params)
{
    if (!m_bInitialized) return 0;
    m_noiseParams = params;
    return 1;
}

int CSpeakerEngine::SetModelShape(int cepstra, int channels, int minTakes, int maxTemplateFrames)
{
    if (!m_bInitialized || minTakes < 3 || minTakes > CSpeakerModel::kMaxTemplates || maxTemplateFrames < 16)
        return 0;
    const int oldCep = m_nCepstra, oldCh = m_nChannels;
    m_nCepstra = cepstra;
    m_nChannels = channels;
    if (cepstra + 1 > CSpeakerModel::kMaxDims || !BuildStages()) {
        m_nCepstra = oldCep;
        m_nChannels = oldCh;
        BuildStages();
        return 0;
    }
    m_nMinTakes = minTakes;
    m_nMaxTemplateFrames = std::min(maxTemplateFrames, CSpeakerModel::kMaxTemplateFrames);
    return 1;
}

int CSpeakerEngine::SetReplaySensitivity(double sensitivity)
{
    if (!m_bInitialized || !std::isfinite(sensitivity) || sensitivity < 0.0) return 0;
    m_fReplaySensitivity = sensitivity;
    return 1;
}

int CSpeakerEngine::SetSpeechFlag(int value)
{
    if (!m_bInitialized) return 0;
    m_nSpeechFlag = value;
    return 1;
}

int CSpeakerEngine::SetSameWordRatio(float ratio)
{
    if (!m_bInitialized) return 0;
    return m_checker.SetSameWordRatio(ratio);
}

int CSpeakerEngine::SetAdaptation(int kind, double spreadFloor, double adaptMargin, double adaptRate, double maxDrift)
{
    if (!m_bInitialized || !std::isfinite(spreadFloor) || !std::isfinite(adaptMargin) ||
        !std::isfinite(adaptRate) || !std::isfinite(maxDrift) || adaptMargin <= 0.0 || adaptMargin > 1.0 ||
        adaptRate < 0.0 || adaptRate > 1.0 || maxDrift < 0.0 || maxDrift > 1.0)
        return 0;
    m_nModelKind = kind;
    m_fSpreadFloor = spreadFloor;
    m_fAdaptMargin = adaptMargin;
    m_fAdaptRate = adaptRate;
    m_fMaxDrift = maxDrift;
    return 1;
}

int CSpeakerEngine::SetEndpointParams(int marginMs, int maxGapMs, int minSpeechMs, int quietPower)
{
    if (!m_bInitialized || marginMs < 0 || maxGapMs < 0 || minSpeechMs < 0 || quietPower < 0) return 0;
    m_epdParams = SEndpointParams{marginMs, maxGapMs, minSpeechMs, quietPower};
    return BuildStages();
}

int CSpeakerEngine::SetSecurity(float security)
{
    if (!m_bInitialized || !std::isfinite(security)) return 0;
    m_fSecurity = std::clamp(security, 0.0f, 1.0f);
    return 1;
}

int CSpeakerEngine::SetUserId(const char* id)
{
    if (!m_bInitialized || id == nullptr) return 0;
    m_strId = SafeString(id);
    return 1;
}

int CSpeakerEngine::SetWord(const char* word)
{
    if (!m_bInitialized || word == nullptr) return 0;
    m_strWord = SafeString(word);
    return 1;
}

int CSpeakerEngine::SetNick(const char* nick)
{
    if (!m_bInitialized || nick == nullptr || !FitsBound(nick)) return 0;
    const std::string n = SafeString(nick);
    // The nick names a file: no separators, no parent references, no device.
    if (n.empty() || n.find_first_of("\\/:") != std::string::npos || n == "." || n == ".." || IsDeviceName(n))
        return 0;
    m_strNick = n;
    ForgetAnalysis();
    return 1;
}

int CSpeakerEngine::SetAdaptationOn(int on)
{
    if (!m_bInitialized) return 0;
    m_bAdapt = on != 0;
    return 1;
}

std::string CSpeakerEngine::ModelPath() const
{
    return CAnsiFileSystem::Join(CAnsiFileSystem::Join(m_strDir, "work"), m_strNick + ".bin");
}

namespace {

// FNV-1a over the samples in four interleaved lanes, folded at the end:
// tells the take the dialog checks after finding its end points from a new
// one. Each lane's multiplications wait for one another; four lanes overlap,
// a few microseconds a take.
uint64_t HashOfSamples(const short* samples, int count)
{
    const uint64_t kBasis = 1469598103934665603ULL, kPrime = 1099511628211ULL;
    uint64_t lanes[4] = {kBasis, kBasis + 1, kBasis + 2, kBasis + 3};
    int i = 0;
    for (; i + 4 <= count; i += 4)
        for (int j = 0; j < 4; ++j) lanes[j] = (lanes[j] ^ static_cast<uint16_t>(samples[i + j])) * kPrime;
    for (; i < count; ++i) lanes[0] = (lanes[0] ^ static_cast<uint16_t>(samples[i])) * kPrime;
    uint64_t h = kBasis;
    for (uint64_t lane : lanes) h = (h ^ lane) * kPrime;
    return h;
}

} // namespace

// Features and end points of a take; keeps the word's features for the
// calls that follow. The dialog finds the end points and then checks the
// same take: the second call reuses the first's analysis (a word found
// without the short-word flag is found with it as well). Returns 1 when a
// usable word was found.
int CSpeakerEngine::AnalyseTake(const short* samples, int count, int shortWord)
{
    m_bTakeReady = false;
    if (!m_bInitialized || !m_bStagesReady || samples == nullptr || count <= 0) {
        m_bAnalysed = false;
        m_endpoint = SEndpointResult{0, kEpdLengthAbnormal, 0, 0, 0, 0, 0.0f, 0.0f, 0.0f};
        m_nError = kEpdLengthAbnormal;
        return 0;
    }
    const uint64_t hash = HashOfSamples(samples, count);
    const bool sameFlag = (shortWord != 0) == (m_nAnalysedShortWord != 0) || (m_bAnalysisOk && shortWord != 0);
    if (m_bAnalysed && hash == m_nTakeHash && count == m_nTakeCount && sameFlag) {
        m_nError = m_endpoint.nError;
        m_bTakeReady = m_bAnalysisOk;
        return m_bAnalysisOk ? 1 : 0;
    }
    m_bAnalysed = true;
    m_bAnalysisOk = false;
    m_bModelReady = false;
    m_bTakeReplayed = false;
    m_bLineLimited = false;
    m_nTakeHash = hash;
    m_nTakeCount = count;
    m_nAnalysedShortWord = shortWord;
    m_endpoint = SEndpointResult{0, kEpdLengthAbnormal, 0, 0, 0, 0, 0.0f, 0.0f, 0.0f};
    m_nError = kEpdLengthAbnormal;
    const int frames = m_extractor.Compute(samples, count, m_features, m_levelDb.data());
    if (frames <= 0) return 0;
    const int used = std::min(count, (frames - 1) * m_nShift + m_nFrameLength);
    m_detector.Detect(m_levelDb.data(), m_extractor.SpectralSnrDb(), frames, samples, used, shortWord, m_endpoint);
    m_nError = m_endpoint.nError;
    if (!m_endpoint.bSpeech) return 0;
    const int limit = std::min(m_nMaxTemplateFrames, CSpeakerModel::TemplateFrameLimit(m_extractor.Dims()));
    if (m_take.Build(m_features, m_endpoint.nCoreFirst, m_endpoint.nCoreLast, limit) < 1) {
        m_endpoint.bSpeech = 0;
        m_nError = kEpdLengthAbnormal;
        return 0;
    }
    m_bLineLimited = m_lineBand.nLast >= 0 && m_extractor.NoiseDropAboveDb(m_lineBand.nLast) < kLineNoiseDropDb;
    m_take.SetNoise(m_extractor.ChannelNoiseDb(), m_nChannels, m_extractor.PeakCellDb(),
                    m_extractor.FilterBankOverFrameEnergyDb(m_features, m_endpoint.nCoreFirst, m_endpoint.nCoreLast));
    float pitch = 0.0f;
    m_voicing.Analyse(samples, count, m_endpoint.nCoreFirst, m_endpoint.nCoreLast, m_fVoicedFraction, pitch);
    m_take.SetPitch(pitch);
    m_take.SetPitchTrack(m_voicing.Track(), m_voicing.TrackLength());
    StoreWaveformPrint(samples, count, frames);
    m_bAnalysisOk = true;
    m_bTakeReady = true;
    return 1;
}

int CSpeakerEngine::WordFeatures(const short* samples, int count, CTakeFeatures& out)
{
    if (!AnalyseTake(samples, count, 1)) return 0;
    out = m_take;
    return 1;
}

// The signs of the word's waveform (from a few frames before its first frame
// above the hold level, so that its start is in them whole), and the print
// of the middle of its loudest frame in the print's band: the part of the
// word a room's echoes and noise cover least. The known takes' prints are
// looked for around that frame (and another stretch about as loud).
void CSpeakerEngine::StoreWaveformPrint(const short* samples, int count, int frames)
{
    const int first = std::max(m_endpoint.nCoreFirst - kWordLeadFrames, 0) * m_nShift;
    const int last = (m_endpoint.nCoreLast + kWordLeadFrames) * m_nShift + m_nFrameLength - 1;
    CWaveformPrint::Signs(samples, count, first, last, m_nSampleRate, m_wordSigns, m_nWordSigns);
    m_searchSigns[0] = 0;
    m_nSearchSigns = 1;
    if (m_extractor.BandLevelsDb(CWaveformPrint::kLowHz, CWaveformPrint::kHighHz, frames, m_bandDb.data()) > 0) {
        int centres[CSpeakerScorer::kMaxSearchCentres];
        m_nSearchSigns = CSpeakerScorer::WaveformSearchFrames(
            m_bandDb.data(), m_endpoint.nCoreFirst, std::min(m_endpoint.nCoreLast, frames - 1), m_nShift, centres);
        for (int c = 0; c < m_nSearchSigns; ++c)
            m_searchSigns[c] = (centres[c] * m_nShift + m_nFrameLength / 2 - first) / CWaveformPrint::kStep;
    }
    unsigned char print[CWaveformPrint::kBytes];
    const int printStart = m_searchSigns[0] - CWaveformPrint::kBits / 2;
    const bool made = CWaveformPrint::Excerpt(m_wordSigns[0], m_nWordSigns[0], printStart, print);
    m_take.SetWaveformPrint(made ? print : nullptr);
}

// In enrolment a marginal take (low signal-to-noise ratio, word cut by the
// take's edge) is refused with its error number: the dialog reads the number
// only after a refusal, retakes the take and counts the warning, and a model
// should not be built from such takes. In verification the same take is
// still judged, so it passes with the warning kept.
bool CSpeakerEngine::RefusedAsMarginal() const
{
    return m_nMode == kModeEnrol && (m_nError == kEpdLowSnr || m_nError == kEpdCutByEdge);
}

int CSpeakerEngine::FindWord(const short* samples, int count, int shortWord)
{
    if (!AnalyseTake(samples, count, shortWord)) return 0;
    if (!RefusedAsMarginal()) return 1;
    m_bTakeReady = false;
    return 0;
}

int64_t CSpeakerEngine::WordFrames() const
{
    if (!m_endpoint.bSpeech) return 0;
    return (static_cast<int64_t>(static_cast<uint32_t>(m_endpoint.nLastFrame)) << 32) |
           static_cast<uint32_t>(m_endpoint.nFirstFrame);
}

int CSpeakerEngine::FrameShift() const
{
    return m_bInitialized ? m_nShift : 0;
}

// The take check: plausible speech always; in enrolment also the same word
// as the takes already kept under other indices.
int CSpeakerEngine::CheckTake(const short* samples, int count, int index)
{
    m_strReason.clear();
    if (!m_bInitialized || m_nMode == 0) return 0;
    if (!AnalyseTake(samples, count, 1)) return 0;
    if (RefusedAsMarginal()) {
        m_bTakeReady = false;
        return 0;
    }
    CTakeChecker::EVerdict verdict = m_checker.CheckSpeech(m_take, m_fVoicedFraction);
    if (verdict != CTakeChecker::kTakeOk) {
        m_strReason = CTakeChecker::Reason(verdict);
        m_bTakeReady = false;
        return 0;
    }
    if (m_nMode == kModeVerify) return 1;
    if (index < 0 || index >= m_nMaxRepeat) return 0;
    const CTakeFeatures* earlier[CSpeakerModel::kMaxTemplates];
    int kept = 0;
    for (int i = 0; i < CSpeakerModel::kMaxTemplates; ++i)
        if (i != index && m_enrolFilled[i]) earlier[kept++] = &m_enrol[i];
    verdict = m_checker.CheckSameWord(m_take, earlier, kept);
    if (verdict != CTakeChecker::kTakeOk) {
        m_strReason = CTakeChecker::Reason(verdict);
        return 0;
    }
    m_enrol[index] = m_take;
    m_enrolSamples[index].assign(samples, samples + count);
    m_enrolFilled[index] = true;
    m_enrolSnrDb[index] = m_endpoint.fSnrDb;
    return 1;
}

int CSpeakerEngine::Train()
{
    if (!m_bInitialized || m_nMode != kModeEnrol || m_strNick.empty() || m_strDir.empty()) return 0;
    CTakeFeatures* takes = new CTakeFeatures[CSpeakerModel::kMaxTemplates];
    int count = 0;
    float snrs[CSpeakerModel::kMaxTemplates];
    const std::vector<short>* samples[CSpeakerModel::kMaxTemplates];
    double snrSum = 0.0;
    int snrCount = 0;
    for (int i = 0; i < CSpeakerModel::kMaxTemplates; ++i) {
        if (!m_enrolFilled[i]) continue;
        samples[count] = &m_enrolSamples[i];
        snrs[count] = m_enrolSnrDb[i];
        takes[count++] = m_enrol[i];
        if (std::isfinite(m_enrolSnrDb[i])) { snrSum += m_enrolSnrDb[i]; ++snrCount; }
    }
    int ok = 0;
    // An enrolment of fewer takes than that trains on all of them: it gets
    // no more, and would otherwise retake its last take for ever.
    if (count >= std::min(m_nMinTakes, m_nMaxRepeat)) {
        // Built aside and taken on only once written: a training that fails
        // leaves the engine with the model it held before, never with part
        // of one, nor with one its file does not hold.
        const auto model = std::make_unique<CSpeakerModel>();
        model->nSampleRate = m_nSampleRate;
        model->nFrameLength = m_nFrameLength;
        model->nShift = m_nShift;
        model->nCepstra = m_nCepstra;
        model->nChannels = m_nChannels;
        model->nDims = m_nCepstra + 1;
        if (m_scorer.Train(takes, count, *model)) {
            // How far the user's logins fall under the enrolment's snr is
            // what loosens the threshold (CSpeakerScorer::Threshold).
            if (snrCount > 0)
                model->enrolSnrDb = std::clamp(static_cast<float>(snrSum / snrCount), 0.0f, CSpeakerModel::kMaxSnrDb);
            // How far this model's own takes move in noise sets its own
            // allowance for a noisy login; a model without it gets none.
            MeasureNoiseMove(takes, samples, snrs, count, *model);
            // A login's noise is read against the enrolment's own: whether
            // it was recorded as the enrolment was decides its hold.
            STakeNoise noises[CSpeakerModel::kMaxTemplates];
            for (int t = 0; t < count; ++t) noises[t] = takes[t].Noise();
            CSpeakerScorer::KeepEnrolNoise(noises, count, *model);
            CAnsiFileSystem::MakeFolder(CAnsiFileSystem::Join(m_strDir, "work"));
            ok = model->Save(ModelPath());
        }
        if (ok) {
            m_model = *model;
            m_strModelNick = m_strNick;
        }
    }
    delete[] takes;
    return ok;
}

void CSpeakerEngine::MeasureNoiseMove(const CTakeFeatures* takes, const std::vector<short>* const* samples,
                                      const float* snrs, int count, CSpeakerModel& model)
{
    std::vector<CTakeFeatures> copies(static_cast<size_t>(count));
    bool made[CSpeakerModel::kMaxTemplates] = {};
    float copySnr[CSpeakerModel::kMaxTemplates] = {};
    std::vector<short> noisy;
    for (int t = 0; t < count; ++t) {
        const std::vector<short>& take = *samples[t];
        made[t] = CNoisyCopy::Make(take.data(), static_cast<int>(take.size()), m_nSampleRate,
                                   kNoiseSeed + kNoiseSeedStep * static_cast<uint32_t>(t), noisy) &&
                  AnalyseCopy(noisy, copies[t], copySnr[t]);
    }
    float move = 0.0f, impostorMove = 0.0f, meanSnr = 0.0f;
    if (m_scorer.MeasureCopyMove(takes, copies.data(), made, snrs, copySnr, count, model, move, impostorMove,
                                 meanSnr) >= kMinNoiseCopies) {
        model.bNoiseMove = true;
        model.noiseMove = move;
        model.noiseImpostorMove = impostorMove;
        model.noiseCopySnrDb = std::clamp(meanSnr, 0.0f, CSpeakerModel::kMaxSnrDb);
    }
    // The same copies on the matched path say where this model's own noisy
    // logins will land against the matched threshold.
    float margin = 0.0f;
    if (m_scorer.MeasureMatchedMargin(copies.data(), made, copySnr, count, model, margin) > 0) {
        model.bMatchedMargin = true;
        model.matchedMargin = margin;
    }
    // The analysis buffers now hold the last copy's: the next call analyses
    // its take afresh.
    ForgetAnalysis();
}

int CSpeakerEngine::AnalyseCopy(const std::vector<short>& samples, CTakeFeatures& out, float& snrDb)
{
    const int count = static_cast<int>(samples.size());
    const int frames = m_extractor.Compute(samples.data(), count, m_features, m_levelDb.data());
    if (frames <= 0) return 0;
    const int used = std::min(count, (frames - 1) * m_nShift + m_nFrameLength);
    SEndpointResult endpoint = SEndpointResult{0, kEpdLengthAbnormal, 0, 0, 0, 0, 0.0f, 0.0f, 0.0f};
    m_detector.Detect(m_levelDb.data(), m_extractor.SpectralSnrDb(), frames, samples.data(), used, 1, endpoint);
    if (!endpoint.bSpeech) return 0;
    const int limit = std::min(m_nMaxTemplateFrames, CSpeakerModel::TemplateFrameLimit(m_extractor.Dims()));
    if (out.Build(m_features, endpoint.nCoreFirst, endpoint.nCoreLast, limit) < 1) return 0;
    // The copy's noise as a login's is read: the matched path meets it.
    out.SetNoise(m_extractor.ChannelNoiseDb(), m_nChannels, m_extractor.PeakCellDb(),
                 m_extractor.FilterBankOverFrameEnergyDb(m_features, endpoint.nCoreFirst, endpoint.nCoreLast));
    float voiced = 0.0f, pitch = 0.0f;
    m_voicing.Analyse(samples.data(), count, endpoint.nCoreFirst, endpoint.nCoreLast, voiced, pitch);
    out.SetPitch(pitch);
    out.SetPitchTrack(m_voicing.Track(), m_voicing.TrackLength());
    snrDb = endpoint.fSnrDb;
    return 1;
}

// Reads the model file and checks that it was made with this analysis set;
// once per take (the replay check and the verification share it).
int CSpeakerEngine::LoadModelForTake()
{
    if (!m_bInitialized || m_nMode != kModeVerify || !m_bTakeReady || m_strNick.empty() || m_strDir.empty())
        return 0;
    if (m_bModelReady) return 1;
    m_strModelNick.clear();
    if (!m_model.Load(ModelPath())) return 0;
    if (m_model.nSampleRate != m_nSampleRate || m_model.nFrameLength != m_nFrameLength ||
        m_model.nShift != m_nShift || m_model.nCepstra != m_nCepstra || m_model.nChannels != m_nChannels)
        return 0;
    m_bModelReady = m_scorer.Load(m_model) != 0;
    if (m_bModelReady) m_strModelNick = m_strNick;
    return m_bModelReady ? 1 : 0;
}

// 1 when the checked take replays a take the model knows.
int CSpeakerEngine::IsReplay()
{
    m_fLastReplayDistance = 0.0;
    m_fLastReplayPitchDistance = 0.0;
    m_fLastReplayWaveform = 0.0;
    // Without a model or a take nothing can be recognised as a replay.
    if (!LoadModelForTake()) return 0;
    m_fLastReplayPitchDistance = m_scorer.ReplayPitchDistance(m_take, m_model, kAcceptedContourScale);
    m_fLastReplayWaveform = CSpeakerScorer::ReplayWaveformSimilarity(m_wordSigns, m_nWordSigns, m_searchSigns,
                                                                     m_nSearchSigns, m_model, kAcceptedPrintWeight);
    if (!(m_fReplaySensitivity > 0.0)) {
        m_fLastReplayDistance = kFarFromAnyReplay;
        m_bTakeReplayed = false;
        return 0;
    }
    const double pitchLimit = m_fReplaySensitivity * kReplayPitchUnit;
    const double waveformLimit = kReplayWaveformUnit / m_fReplaySensitivity;
    // The nearer cue, as a share of its limit (1: at the limit).
    m_fLastReplayDistance = std::min(m_fLastReplayPitchDistance / pitchLimit,
                                     m_fLastReplayWaveform > 0.0 ? waveformLimit / m_fLastReplayWaveform
                                                                 : kFarFromAnyReplay);
    m_bTakeReplayed = m_fLastReplayDistance <= 1.0;
    return m_bTakeReplayed ? 1 : 0;
}

int CSpeakerEngine::Verify()
{
    m_bUpdate = 0;
    m_fLastScore = 0.0;
    m_bTakeScored = false;
    std::memset(m_lastParts, 0, sizeof(m_lastParts));
    if (!LoadModelForTake()) return 0;
    const CSpeakerScorer::EScorePath path = TakePath();
    // How the take's noise stands against the model's decides how it is
    // scored and held (CSpeakerScorer::NoiseHold), so both are read first.
    const float excess = m_scorer.NoiseExcessDb(m_take.Noise(), m_model.nChannels);
    const float enrolShape = CSpeakerScorer::EnrolNoiseShapeDb(m_take.Noise(), m_model);
    m_lastHold = CSpeakerScorer::NoiseHold(path, TakeSnrDb(), excess, enrolShape);
    const bool match = CSpeakerScorer::MatchesNoise(m_lastHold);
    const CSpeakerScorer::EScorePath scoredPath = CSpeakerScorer::ScoredPath(path, m_lastHold);
    float score = m_scorer.Score(m_take, m_model, scoredPath, m_lastParts, m_lastParts + CSpeakerModel::kScoreParts,
                                 m_bLineLimited ? &m_lineBand : nullptr, match ? &m_take.Noise() : nullptr,
                                 m_lastHold == CSpeakerScorer::ENoiseHold::kMatchedOverBound);
    // A take whose templates could not be given its noise is scored as its
    // path scores it, and is held so too.
    if (match && !m_scorer.LastMatched()) {
        m_lastHold = CSpeakerScorer::ENoiseHold::kPath;
        if (scoredPath != path)
            score = m_scorer.Score(m_take, m_model, path, m_lastParts, m_lastParts + CSpeakerModel::kScoreParts);
    }
    m_fLastScore = score;
    m_bTakeScored = true;
    for (int v = 0; v < CSpeakerScorer::kNeighbours; ++v)
        for (int p = 0; p < CSpeakerModel::kScoreParts; ++p)
            m_lastParts[(2 + v) * CSpeakerModel::kScoreParts + p] = m_scorer.LastNeighbourPart(v, p);
    for (int c = 0; c < CSpeakerScorer::kCues; ++c) m_lastParts[kCuePartsAt + c] = m_scorer.LastCue(c);
    m_lastParts[kNoiseExcessPartAt] = excess;
    m_lastParts[kEnrolNoiseShapePartAt] = enrolShape;
    m_lastParts[kNoiseHoldPartAt] = static_cast<float>(m_lastHold);
    // A take the replay check recognised is refused whatever its score: a
    // recording of the user's own voice is the best impostor there is, and
    // learning from it would teach the model the recording.
    if (m_bTakeReplayed) return 0;
    const float threshold = static_cast<float>(ThresholdOnPath(path));
    if (!(score <= threshold)) return 0;
    // Adapt only on a clear accept of a clean take: a marginal accept may be
    // an impostor near the boundary, and learning from it would pull the
    // model towards them. The margin is a share of the threshold's size (the
    // score has its speaker's typical distance taken off and may be below 0).
    // Nor from a take through a telephone line: its distances are the band's,
    // and its spectrum outside the band is the line's, not the speaker's.
    // Nor from a take matched to its noise: its distances were taken against
    // the templates given that noise, not the model's own, and its noise
    // lies well over what the templates hold.
    const float clear = threshold - static_cast<float>(1.0 - m_fAdaptMargin) * std::fabs(threshold);
    const bool matched = CSpeakerScorer::MatchesNoise(m_lastHold);
    if (m_bAdapt && !m_bLineLimited && !matched && m_endpoint.nError == kEpdOk && score <= clear)
        Adapt(m_lastParts, path == CSpeakerScorer::EScorePath::kWeighted);
    return 1;
}

// Adaptation: the accepted take replaces one of the two adaptive templates
// (the last two slots, in turn), so the model follows slow changes of the
// voice; the first three templates are always the enrolment takes, which
// bounds the drift to two fifths of the model whatever happens. The typical
// distances move a step towards the take's, within +-maxDrift of enrolment:
// those taken with the weights when the take was scored with them, the
// others when not (each way's typical distances follow the takes scored
// that way).
void CSpeakerEngine::Adapt(const float* parts, bool weighted)
{
    CSpeakerModel updated = m_model;
    const float* enrolMean = weighted ? updated.weightedEnrolMean : updated.enrolMean;
    float* adaptedMean = weighted ? updated.weightedAdaptedMean : updated.adaptedMean;
    for (int p = 0; p < CSpeakerModel::kScoreParts; ++p) {
        const double moved = (1.0 - m_fAdaptRate) * adaptedMean[p] + m_fAdaptRate * parts[p];
        const double lo = enrolMean[p] * (1.0 - m_fMaxDrift);
        const double hi = enrolMean[p] * (1.0 + m_fMaxDrift);
        adaptedMean[p] = static_cast<float>(std::clamp(moved, lo, hi));
    }
    const int replaced = updated.NextAdaptedTemplate();
    if (replaced >= 0 && !m_take.StoreAsTemplate(updated, replaced)) return;
    ++updated.nAdaptations;
    // The accepted take joins the ring of known takes, so that a recording
    // of it is recognised as a replay later on.
    const int ringStart = std::clamp(updated.nTemplates, 1, CSpeakerModel::kMaxKnownTakes - 1);
    int slot = updated.nNextRingSlot;
    if (slot < ringStart || slot > updated.nKnownTakes || slot >= CSpeakerModel::kMaxKnownTakes)
        slot = updated.nKnownTakes < CSpeakerModel::kMaxKnownTakes ? updated.nKnownTakes : ringStart;
    if (!m_take.StoreKnownTake(updated, slot)) return;
    updated.nKnownTakes = std::max(updated.nKnownTakes, slot + 1);
    updated.nNextRingSlot = slot + 1 < CSpeakerModel::kMaxKnownTakes ? slot + 1 : ringStart;
    if (!updated.Save(ModelPath())) return;
    m_model = updated;
    m_bModelReady = false;   // the scorer still holds the templates before the update
    m_bUpdate = 1;
}

double CSpeakerEngine::LastScorePart(int index) const
{
    if (index < 0 || index > kNoiseHoldPartAt) return 0.0;
    return m_lastParts[index];
}

bool CSpeakerEngine::OwnModelLoaded() const
{
    return m_nMode == kModeVerify && !m_strNick.empty() && m_strModelNick == m_strNick;
}

CSpeakerScorer::EScorePath CSpeakerEngine::TakePath() const
{
    // Another nick's model, still loaded, says nothing about the take.
    const bool modelWeighted = m_bAnalysed && OwnModelLoaded() && m_model.bWeighted;
    return CSpeakerScorer::TakePath(m_bAnalysed && m_bLineLimited, modelWeighted, TakeSnrDb(), OwnEnrolSnrDb());
}

float CSpeakerEngine::TakeSnrDb() const
{
    // Before any take: a clean one's.
    return m_bAnalysed ? m_endpoint.fSnrDb : 1000.0f;
}

float CSpeakerEngine::OwnEnrolSnrDb() const
{
    return OwnModelLoaded() ? m_model.enrolSnrDb : 0.0f;
}

double CSpeakerEngine::Threshold() const
{
    // The limit Verify applies to the last take (a clean one before any
    // take).
    return ThresholdOnPath(TakePath());
}

float CSpeakerEngine::ThresholdOnPath(CSpeakerScorer::EScorePath path) const
{
    // Against the current nick's model: another nick's, still loaded, says
    // nothing about the take.
    const SNoiseFigure figure = {m_model.noiseMove, m_model.noiseImpostorMove, m_model.noiseCopySnrDb};
    const bool ownFigure = OwnModelLoaded() && m_model.bNoiseMove;
    // The excess is the scored take's against the model it was scored on;
    // before a take is scored there is none.
    const float excess = m_bTakeScored ? m_lastParts[kNoiseExcessPartAt] : CSpeakerScorer::kNoExcess;
    const CSpeakerScorer::ENoiseHold hold = m_bTakeScored ? m_lastHold : CSpeakerScorer::ENoiseHold::kPath;
    const float matchedMargin = OwnModelLoaded() && m_model.bMatchedMargin ? m_model.matchedMargin
                                                                             : CSpeakerScorer::kNoMatchedMargin;
    return CSpeakerScorer::Threshold(path, m_fSecurity, TakeSnrDb(), OwnEnrolSnrDb(), ownFigure ? &figure : nullptr,
                                     excess, hold, matchedMargin);
}

double CSpeakerEngine::ModelPart(int index) const
{
    if (index == CSpeakerModel::kScoreParts) return m_model.printTypical;
    if (index == CSpeakerModel::kScoreParts + 1) return m_model.bNoiseMove ? m_model.noiseMove : 0.0;
    if (index == CSpeakerModel::kScoreParts + 2) return m_model.bNoiseMove ? m_model.noiseCopySnrDb : 0.0;
    if (index == CSpeakerModel::kScoreParts + 3) return m_model.bNoiseMove ? m_model.noiseImpostorMove : 0.0;
    if (index == CSpeakerModel::kScoreParts + 4) return m_model.bMatchedMargin ? m_model.matchedMargin : 0.0;
    if (index < 0 || index > CSpeakerModel::kScoreParts) return 0.0;
    // The typical distances the last take was scored against (a line's
    // take: the band's own, taken afresh for it).
    if (m_bTakeScored) return m_scorer.LastTypical(index);
    const bool weighted = TakePath() == CSpeakerScorer::EScorePath::kWeighted;
    return weighted ? m_model.weightedAdaptedMean[index] : m_model.adaptedMean[index];
}
