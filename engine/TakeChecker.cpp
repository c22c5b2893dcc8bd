#include "TakeChecker.h"

#include <algorithm>
#include <cmath>

namespace {

// --- Plausible speech ------------------------------------------------------------
// Hiss has no voiced frames at all, a whistle or a hum barely changes its
// spectrum (0.3 dB per word frame), while words heavy in fricatives ("six")
// can be voiced for only 17 % of their frames and change by 0.75 dB; the
// limits sit between the two.
const float kMinVoicedFraction = 0.1f;    // share of the word's frames
const float kMinCepstralChange = 0.55f;   // mean |c_k(t) - c_k(t-1)| over the word, dB per word frame
// --- Same word, same voice ------------------------------------------------------
// References: typical distances between two takes of one word by one speaker.
// The measure is 0.5 x DTW / kSameWordRefDtw + 0.5 x mean-cepstrum distance /
// kSameWordRefMean, averaged over the earlier takes.
const float kSameWordRefDtw = 25.0f;       // DTW distance of the scorer's vectors, weighted dB
const float kSameWordRefMean = 20.0f;      // distance of the mean cepstra (c1..cN), dB
const float kDefaultSameWordRatio = 1.2f;

// Reason texts shown by the dialog, Shift-JIS.
// "音声ではないようです。" (this does not sound like speech)
const char kReasonNotSpeech[] =
    "\x89\xB9\x90\xBA\x82\xC5\x82\xCD\x82\xC8\x82\xA2\x82\xE6\x82\xA4\x82\xC5\x82\xB7\x81\x42";
// "別の言葉か、別の人の声のようです。" (another word or another voice)
const char kReasonOtherWord[] =
    "\x95\xCA\x82\xCC\x8C\xBE\x97\x74\x82\xA9\x81\x41\x95\xCA\x82\xCC\x90\x6C\x82\xCC\x90\xBA\x82\xCC\x82\xE6"
    "\x82\xA4\x82\xC5\x82\xB7\x81\x42";

} // namespace

int CTakeChecker::Init()
{
    Reset();
    return m_dtw.Init(CTakeFeatures::kMaxFrames);
}

void CTakeChecker::Reset()
{
    m_dtw.Reset();
    m_fSameWordRatio = kDefaultSameWordRatio;
    m_fLastChange = 0.0f;
    m_fLastRatio = 0.0f;
}

int CTakeChecker::SetSameWordRatio(float ratio)
{
    if (!std::isfinite(ratio) || ratio <= 0.0f) return 0;
    m_fSameWordRatio = ratio;
    return 1;
}

CTakeChecker::EVerdict CTakeChecker::CheckSpeech(const CTakeFeatures& take, float voicedFraction)
{
    // The change is taken over c1..cN of the word frames (pairs of analysis
    // frames), so that it does not depend on the loudness.
    const int cep = take.Dims() - 1;
    const float* s = take.Statics();
    double change = 0.0;
    for (int i = 1; i < take.Frames(); ++i)
        for (int d = 0; d < cep; ++d)
            change += std::fabs(s[i * CTakeFeatures::kMaxDims + d] - s[(i - 1) * CTakeFeatures::kMaxDims + d]);
    const int steps = std::max(1, take.Frames() - 1);
    m_fLastChange = cep > 0 ? static_cast<float>(change / (steps * static_cast<double>(cep))) : 0.0f;
    if (!(voicedFraction >= kMinVoicedFraction)) return kNotSpeech;
    return m_fLastChange >= kMinCepstralChange ? kTakeOk : kNotSpeech;
}

CTakeChecker::EVerdict CTakeChecker::CheckSameWord(const CTakeFeatures& take, const CTakeFeatures* const* earlier,
                                                  int count)
{
    m_fLastRatio = 0.0f;
    if (earlier == nullptr || count <= 0) return kTakeOk;
    const int cep = take.Dims() - 1;
    double ratio = 0.0;
    for (int i = 0; i < count; ++i) {
        const CTakeFeatures& other = *earlier[i];
        const float dtw = m_dtw.Distance(take.Vectors(), take.Frames(), other.Vectors(), other.Frames(),
                                         take.VectorDims());
        double m = 0.0;
        for (int k = 0; k < cep; ++k) {
            const double x = take.MeanCepstrum()[k] - other.MeanCepstrum()[k];
            m += x * x;
        }
        ratio += 0.5 * dtw / kSameWordRefDtw + 0.5 * std::sqrt(m) / kSameWordRefMean;
    }
    m_fLastRatio = static_cast<float>(ratio / count);
    return m_fLastRatio <= m_fSameWordRatio ? kTakeOk : kOtherWord;
}

const char* CTakeChecker::Reason(EVerdict verdict)
{
    switch (verdict) {
    case kNotSpeech: return kReasonNotSpeech;
    case kOtherWord: return kReasonOtherWord;
    default: return "";
    }
}
