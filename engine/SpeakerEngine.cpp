#include "SpeakerEngine.h"

#include "AnsiFileSystem.h"
#include "DialogEngineSetup.h"
#include "WaveformPrint.h"

#include <algorithm>
#include <cmath>
#include <cstring>


namespace {

// --- Defaults: the dialog's set-up, except where noted -------------------------
using Dialog = SDialogEngineSetup;
const int kDefaultMinTakes = 3;           // fewest enrolment takes that train (the dialog asks for 5)
const int kMaxTakeMs = 10000;

// --- Adaptation -----------------------------------------------------------------------
const int kFixedTemplates = 3;            // enrolment templates adaptation never replaces

// --- Replay check -------------------------------------------------------------------
// A take replays a known recording when its fingerprint distance is below
// replay sensitivity x kReplayUnit of the typical distance between two
// enrolment takes (2.4 -> 0.30), or its pitch contour is within replay
// sensitivity x kReplayPitchUnit semitones of a known one (2.4 -> 0.07).
// Both limits were chosen together on the tuning speakers (fsdd's four,
// arabicsc's seven): the most replays through a loudspeaker and a room caught
// with at most 1 % of their fresh takes flagged. The fingerprint catches
// digital copies (99.6 %) but hardly a replay through a room (0.4 %), whose
// echoes smear the spectra; the pitch contour survives the room for a fifth
// of them. The fingerprint's limit was 0.40 when only fsdd's four speakers
// were known; arabicsc's, who say their words more alike, came to 0.17-0.42
// in fresh takes, all of them loud (word peaks 50-61 dB over the noise).
// The noise a replay adds moves a quiet take's fingerprint most (replays at
// 28 dB reached 0.36), so below kReplaySnrKneeDb the limit rises by
// kReplayUnitPerDb for every dB, up to kReplaySnrRangeDb (2.4 -> 0.40 at 35 dB).
const double kReplayUnit = 0.30 / 2.4;
const double kReplayPitchUnit = 0.07 / 2.4;
const double kReplaySnrKneeDb = 45.0;
const double kReplaySnrRangeDb = 10.0;
const double kReplayUnitPerDb = 0.01 / 2.4;
// Third cue, the waveform itself (CWaveformPrint): a replay when the take's
// waveform is at least kReplayWaveformUnit / replay sensitivity (2.4 -> 2.3)
// times as like an enrolment take's as two enrolment takes are like each
// other. Chosen on the tuning speakers: the lowest limit at which the whole
// replay check flags at most about 0.6 % of their fresh clean takes (2 of 525
// in the engine, 0.19 % before); replays through a loudspeaker and a room
// caught 19 -> 90 %. This cue alone catches them where the spectra and the
// pitch contour are smeared: at the direct sound's delay the waveform still
// follows the recording's.
const double kReplayWaveformUnit = 2.3 * 2.4;
// The second framing is only tried for a take within this many times the
// limit in the first (replays of quiet takes: 0.55 in the first, 0.43 in the
// second framing, against a limit of 0.40).
const double kHalfShiftReach = 2.0;
const int kWordLeadFrames = 16;

std::string SafeString(const char* s)
{
    if (s == nullptr) return std::string();
    // Bounded: nothing the dialog passes is longer than a path.
    const size_t kMaxText = 1024;
    size_t n = 0;
    while (n < kMaxText && s[n] != '\0') ++n;
    return std::string(s, n);
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
    m_halfShiftFeatures.SetCapacity(0, 1);
    m_halfShiftLevels.clear();
    m_halfShiftTake.Reset();
    m_takeSamples.clear();
    m_nKeptSamples = 0;
    m_nTakeHash = 0;
    m_nTakeCount = 0;
    m_nAnalysedShortWord = 0;
    ForgetAnalysis();
    m_endpoint = SEndpointResult{0, kEpdLengthAbnormal, 0, 0, 0, 0, 0.0f, 0.0f, 0.0f};
    m_nError = 0;
    m_bTakeReady = false;
    m_fVoicedFraction = 0.0f;
    m_take.Reset();
    for (int i = 0; i < CSpeakerModel::kMaxTemplates; ++i) {
        m_enrol[i].Reset();
        m_enrolFilled[i] = false;
    }
    m_model.Reset();
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
    m_features.SetCapacity(maxFrames, m_extractor.Dims());
    m_levelDb.assign(maxFrames, 0.0f);
    m_bandDb.assign(maxFrames, 0.0f);
    m_halfShiftFeatures.SetCapacity(maxFrames, m_extractor.Dims());
    m_halfShiftLevels.assign(maxFrames, 0.0f);
    m_takeSamples.assign(static_cast<size_t>(maxSamples), 0);
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
    m_bAnalysisOk = false;
    m_bModelReady = false;
    m_bTakeReady = false;
    m_bTakeReplayed = false;
    m_bHalfShiftTake = false;
    m_bHalfShiftTried = false;
}

int CSpeakerEngine::ForgetTakes()
{
    if (!m_bInitialized) return 0;
    ForgetAnalysis();
    m_take.Reset();
    m_halfShiftTake.Reset();
    for (int i = 0; i < CSpeakerModel::kMaxTemplates; ++i) {
        m_enrol[i].Reset();
        m_enrolFilled[i] = false;
    }
    m_model.Reset();
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
    if (!m_bInitialized || dir == nullptr) return 0;
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
    if (!m_bInitialized || count < m_nMinTakes || count > CSpeakerModel::kMaxTemplates) return 0;
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
    if (!m_bInitialized || nick == nullptr) return 0;
    const std::string n = SafeString(nick);
    // The nick names a file: no separators, no parent references.
    if (n.empty() || n.find_first_of("\\/:") != std::string::npos || n == "." || n == "..") return 0;
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
        m_bHalfShiftTake = false;
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
    m_bHalfShiftTake = false;
    m_bHalfShiftTried = false;
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
    float pitch = 0.0f;
    m_voicing.Analyse(samples, count, m_endpoint.nCoreFirst, m_endpoint.nCoreLast, m_fVoicedFraction, pitch);
    m_take.SetPitch(pitch);
    m_take.SetPitchTrack(m_voicing.Track(), m_voicing.TrackLength());
    StoreWaveformPrint(samples, count, frames);
    // Kept for the replay check, which frames the word a second time.
    const int kept = std::min(count, static_cast<int>(m_takeSamples.size()));
    std::copy(samples, samples + kept, m_takeSamples.begin());
    m_nKeptSamples = kept;
    m_bAnalysisOk = true;
    m_bTakeReady = true;
    return 1;
}

// The signs of the word's waveform (from a few frames before its first frame
// above the hold level, so that its start is in them whole), and the print
// of the middle of its loudest frame in the print's band: the part of the
// word a room's echoes and noise cover least.
void CSpeakerEngine::StoreWaveformPrint(const short* samples, int count, int frames)
{
    const int first = std::max(m_endpoint.nCoreFirst - kWordLeadFrames, 0) * m_nShift;
    const int last = (m_endpoint.nCoreLast + kWordLeadFrames) * m_nShift + m_nFrameLength - 1;
    CWaveformPrint::Signs(samples, count, first, last, m_nSampleRate, m_wordSigns, m_nWordSigns);
    m_nLoudestSign = 0;
    if (m_extractor.BandLevelsDb(CWaveformPrint::kLowHz, CWaveformPrint::kHighHz, frames, m_bandDb.data()) > 0) {
        int loudest = m_endpoint.nCoreFirst;
        for (int f = m_endpoint.nCoreFirst; f <= m_endpoint.nCoreLast && f < frames; ++f)
            if (m_bandDb[f] > m_bandDb[loudest]) loudest = f;
        m_nLoudestSign = (loudest * m_nShift + m_nFrameLength / 2 - first) / CWaveformPrint::kStep;
    }
    unsigned char print[CWaveformPrint::kBytes];
    const bool made = CWaveformPrint::Excerpt(m_wordSigns[0], m_nWordSigns[0], m_nLoudestSign - CWaveformPrint::kBits / 2, print);
    m_take.SetWaveformPrint(made ? print : nullptr);
}

// The replay check compares frame for frame, but a replay's samples may fall
// anywhere between the original's frame starts. The word framed again half a
// frame shift later halves the worst misalignment; without it the replays of
// quiet takes, whose weak frames change most with the framing, came close to
// the replay limit or beyond it. Built when the replay check first asks.
bool CSpeakerEngine::BuildHalfShiftTake()
{
    if (m_bHalfShiftTried) return m_bHalfShiftTake;
    m_bHalfShiftTried = true;
    m_bHalfShiftTake = false;
    const int offset = m_nShift / 2;
    if (offset < 1 || m_nKeptSamples <= offset) return false;
    // Only the word's frames, masked as the take was.
    const int frames = m_extractor.ComputeRange(m_takeSamples.data() + offset, m_nKeptSamples - offset,
                                                m_endpoint.nCoreFirst, m_endpoint.nCoreLast, m_halfShiftFeatures,
                                                m_halfShiftLevels.data());
    const int last = std::min(m_endpoint.nCoreLast, frames - 1);
    const int limit = std::min(m_nMaxTemplateFrames, CSpeakerModel::TemplateFrameLimit(m_extractor.Dims()));
    if (m_halfShiftTake.Build(m_halfShiftFeatures, m_endpoint.nCoreFirst, last, limit) < 1) return false;
    m_halfShiftTake.SetPitch(m_take.Pitch());
    m_halfShiftTake.SetPitchTrack(m_voicing.Track(), m_voicing.TrackLength());
    m_bHalfShiftTake = true;
    return true;
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
    m_enrolFilled[index] = true;
    return 1;
}

int CSpeakerEngine::Train()
{
    if (!m_bInitialized || m_nMode != kModeEnrol || m_strNick.empty()) return 0;
    CTakeFeatures* takes = new CTakeFeatures[CSpeakerModel::kMaxTemplates];
    int count = 0;
    for (int i = 0; i < CSpeakerModel::kMaxTemplates; ++i)
        if (m_enrolFilled[i]) takes[count++] = m_enrol[i];
    int ok = 0;
    if (count >= m_nMinTakes) {
        m_model.Reset();
        m_model.nSampleRate = m_nSampleRate;
        m_model.nFrameLength = m_nFrameLength;
        m_model.nShift = m_nShift;
        m_model.nCepstra = m_nCepstra;
        m_model.nChannels = m_nChannels;
        m_model.nDims = m_nCepstra + 1;
        if (m_scorer.Train(takes, count, m_model)) {
            CAnsiFileSystem::MakeFolder(CAnsiFileSystem::Join(m_strDir, "work"));
            ok = m_model.Save(ModelPath());
        }
    }
    delete[] takes;
    return ok;
}

// Reads the model file and checks that it was made with this analysis set;
// once per take (the replay check and the verification share it).
int CSpeakerEngine::LoadModelForTake()
{
    if (!m_bInitialized || m_nMode != kModeVerify || !m_bTakeReady || m_strNick.empty()) return 0;
    if (m_bModelReady) return 1;
    if (!m_model.Load(ModelPath())) return 0;
    if (m_model.nSampleRate != m_nSampleRate || m_model.nFrameLength != m_nFrameLength ||
        m_model.nShift != m_nShift || m_model.nCepstra != m_nCepstra || m_model.nChannels != m_nChannels)
        return 0;
    m_bModelReady = m_scorer.Load(m_model) != 0;
    return m_bModelReady ? 1 : 0;
}

// 1 when the checked take replays a recording the model has seen.
int CSpeakerEngine::IsReplay()
{
    m_fLastReplayDistance = 0.0;
    m_fLastReplayPitchDistance = 0.0;
    m_fLastReplayWaveform = 0.0;
    // Without a model or a take nothing can be recognised as a replay.
    if (!LoadModelForTake()) return 0;
    const double snr = m_endpoint.fSnrDb;
    const double quiet = std::isfinite(snr) ? std::clamp(kReplaySnrKneeDb - snr, 0.0, kReplaySnrRangeDb) : 0.0;
    const double limit = m_fReplaySensitivity * (kReplayUnit + kReplayUnitPerDb * quiet);
    m_fLastReplayDistance = m_scorer.ReplayDistance(m_take, m_model);
    m_fLastReplayPitchDistance = m_scorer.ReplayPitchDistance(m_take, m_model);
    m_fLastReplayWaveform = CSpeakerScorer::ReplayWaveformSimilarity(m_wordSigns, m_nWordSigns, m_nLoudestSign, m_model);
    // A replay whose frames fall between the original's comes at most about
    // half as near again in the second framing; a take further off than
    // that is not analysed twice (half the replay check's time for nearly
    // every fresh take).
    if (m_fLastReplayDistance <= kHalfShiftReach * limit && BuildHalfShiftTake())
        m_fLastReplayDistance = std::min(m_fLastReplayDistance,
                                         static_cast<double>(m_scorer.ReplayDistance(m_halfShiftTake, m_model)));
    m_bTakeReplayed = m_fLastReplayDistance <= limit ||
                      m_fLastReplayPitchDistance <= m_fReplaySensitivity * kReplayPitchUnit ||
                      (m_fReplaySensitivity > 0.0 && m_fLastReplayWaveform >= kReplayWaveformUnit / m_fReplaySensitivity);
    return m_bTakeReplayed ? 1 : 0;
}

int CSpeakerEngine::Verify()
{
    m_bUpdate = 0;
    m_fLastScore = 0.0;
    std::memset(m_lastParts, 0, sizeof(m_lastParts));
    if (!LoadModelForTake()) return 0;
    const float score = m_scorer.Score(m_take, m_model, m_lastParts, m_lastParts + CSpeakerModel::kScoreParts);
    m_fLastScore = score;
    // A take the replay check recognised is refused whatever its score: a
    // recording of the user's own voice is the best impostor there is, and
    // learning from it would teach the model the recording.
    if (m_bTakeReplayed) return 0;
    const float threshold = CSpeakerScorer::Threshold(m_fSecurity, m_endpoint.fSnrDb);
    if (!(score <= threshold)) return 0;
    // Adapt only on a clear accept of a clean take: a marginal accept may be
    // an impostor near the boundary, and learning from it would pull the
    // model towards them. The margin is a share of the threshold's size (the
    // score has its speaker's typical distance taken off and may be below 0).
    const float clear = threshold - static_cast<float>(1.0 - m_fAdaptMargin) * std::fabs(threshold);
    if (m_bAdapt && m_endpoint.nError == kEpdOk && score <= clear) Adapt(m_lastParts);
    return 1;
}

// Adaptation: the accepted take replaces one of the two adaptive templates
// (the last two slots, in turn), so the model follows slow changes of the
// voice; the first three templates are always the enrolment takes, which
// bounds the drift to two fifths of the model whatever happens. The typical
// distances move a step towards the take's, within +-maxDrift of enrolment.
void CSpeakerEngine::Adapt(const float* parts)
{
    CSpeakerModel updated = m_model;
    for (int p = 0; p < CSpeakerModel::kScoreParts; ++p) {
        const double moved = (1.0 - m_fAdaptRate) * updated.adaptedMean[p] + m_fAdaptRate * parts[p];
        const double lo = updated.enrolMean[p] * (1.0 - m_fMaxDrift);
        const double hi = updated.enrolMean[p] * (1.0 + m_fMaxDrift);
        updated.adaptedMean[p] = static_cast<float>(std::clamp(moved, lo, hi));
    }
    if (updated.nTemplates > kFixedTemplates) {
        const int adaptive = updated.nTemplates - kFixedTemplates;
        const int slot = kFixedTemplates + static_cast<int>(updated.nAdaptations % static_cast<uint32_t>(adaptive));
        if (!m_take.StoreAsTemplate(updated, slot)) return;
    }
    ++updated.nAdaptations;
    // The accepted take joins the ring of fingerprints, so that a recording
    // of it is recognised as a replay later on.
    const int ringStart = std::clamp(updated.nTemplates, 1, CSpeakerModel::kMaxFingerprints - 1);
    int slot = updated.nNextRingSlot;
    if (slot < ringStart || slot > updated.nFingerprints || slot >= CSpeakerModel::kMaxFingerprints)
        slot = updated.nFingerprints < CSpeakerModel::kMaxFingerprints ? updated.nFingerprints : ringStart;
    if (!m_take.StoreFingerprint(updated, slot)) return;
    updated.nFingerprints = std::max(updated.nFingerprints, slot + 1);
    updated.nNextRingSlot = slot + 1 < CSpeakerModel::kMaxFingerprints ? slot + 1 : ringStart;
    if (!updated.Save(ModelPath())) return;
    m_model = updated;
    m_bModelReady = false;   // the scorer still holds the templates before the update
    m_bUpdate = 1;
}

double CSpeakerEngine::LastScorePart(int index) const
{
    if (index < 0 || index >= 2 * CSpeakerModel::kScoreParts) return 0.0;
    return m_lastParts[index];
}

double CSpeakerEngine::Threshold() const
{
    // For the last take (a clean one before any take).
    return CSpeakerScorer::Threshold(m_fSecurity, m_bAnalysed ? m_endpoint.fSnrDb : 1000.0f);
}

double CSpeakerEngine::ModelPart(int index) const
{
    if (index == CSpeakerModel::kScoreParts) return m_model.fingerprintTypical;
    if (index < 0 || index > CSpeakerModel::kScoreParts) return 0.0;
    return m_model.adaptedMean[index];
}
