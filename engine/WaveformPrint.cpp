#include "WaveformPrint.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {

const double kPi = 3.14159265358979323846;
const int kSettleSamples = 256;   // band-pass run before the first sign kept
const int kWords = CWaveformPrint::kBits / 64;
const int kLpcOrder = 12;
const int kCoarseStride = 2;   // print words used in the first pass of a search (every other one)
const int kCandidates = 8;     // offsets of the first pass looked at with the whole print
const double kWhiteningFloor = 1e-3;   // white floor 30 dB under the word, so that no gap is boosted past it
// Below half a step of the recording's quantisation the filters' output is
// only their own ringing, which decays in the same pattern in every take; a
// microphone that delivers digital silence between words would make any two
// takes agree there. Such signs are drawn at random instead.
const double kSilentLevel = 0.5;

// One RBJ biquad section (Q = 1/sqrt 2), direct form I.
class CSection {
public:
    CSection(bool highPass, double hz, int rate)
    {
        const double w = 2.0 * kPi * hz / rate, alpha = std::sin(w) / (2.0 * 0.70710678), c = std::cos(w);
        const double a0 = 1.0 + alpha;
        const double b1 = highPass ? -(1.0 + c) : 1.0 - c;
        const double b0 = highPass ? (1.0 + c) / 2.0 : (1.0 - c) / 2.0;
        m_b[0] = b0 / a0;
        m_b[1] = b1 / a0;
        m_b[2] = b0 / a0;
        m_a[0] = -2.0 * c / a0;
        m_a[1] = (1.0 - alpha) / a0;
    }
    double Run(double x)
    {
        const double y = m_b[0] * x + m_b[1] * m_x[0] + m_b[2] * m_x[1] - m_a[0] * m_y[0] - m_a[1] * m_y[1];
        m_x[1] = m_x[0];
        m_x[0] = x;
        m_y[1] = m_y[0];
        m_y[0] = y;
        return y;
    }
private:
    double m_b[3], m_a[2];
    double m_x[2] = {0.0, 0.0}, m_y[2] = {0.0, 0.0};
};

// 64 signs from bit `at` on (bit i of the result: sign at + i).
uint64_t WordAt(const std::vector<uint64_t>& bits, int at)
{
    const int w = at >> 6, s = at & 63;
    if (s == 0) return bits[w];
    const uint64_t hi = static_cast<size_t>(w + 1) < bits.size() ? bits[w + 1] : 0;
    return (bits[w] >> s) | (hi << (64 - s));
}

// Sets sign `at` of packed signs.
void SetBit(std::vector<uint64_t>& bits, int at)
{
    bits[static_cast<size_t>(at) >> 6] |= uint64_t{1} << (at & 63);
}

// The print's bytes as 64-sign words.
void PrintWords(const unsigned char* print, uint64_t* p)
{
    for (int w = 0; w < kWords; ++w) {
        p[w] = 0;
        for (int b = 0; b < 8; ++b) p[w] |= static_cast<uint64_t>(print[8 * w + b]) << (8 * b);
    }
}

// The set bits of each byte of x, in that byte, branch-free (a compiler's
// own built-in may be a library call on processors without the
// instruction). Such counts of up to 31 words add up without carrying into
// the next byte, so that a window of words needs one final sum instead of
// one per word.
uint64_t ByteCounts(uint64_t x)
{
    x = x - ((x >> 1) & 0x5555555555555555ULL);
    x = (x & 0x3333333333333333ULL) + ((x >> 2) & 0x3333333333333333ULL);
    return (x + (x >> 4)) & 0x0F0F0F0F0F0F0F0FULL;
}

// The sum of per-byte counts of at most 255 each: pairs of bytes first, so
// that the total (up to 2040) is summed in 16-bit fields. Shifts and adds
// only, which the compiler can do for several offsets at once.
int SumOfBytes(uint64_t counts)
{
    const uint64_t pairs = (counts & 0x00FF00FF00FF00FFULL) + ((counts >> 8) & 0x00FF00FF00FF00FFULL);
    const uint64_t quads = pairs + (pairs >> 16);
    return static_cast<int>((quads + (quads >> 32)) & 0xFFFF);
}

// Signs that disagree between the whole print and the take's signs from
// words[0] on (words[64 w]: the 64 signs of print word w).
int Disagreeing(const uint64_t* words, const uint64_t* p)
{
    static_assert(kWords * 8 <= 255, "per-byte counts of a whole print must fit in a byte");
    uint64_t counts = 0;
    for (int w = 0; w < kWords; ++w) counts += ByteCounts(words[64 * w] ^ p[w]);
    return SumOfBytes(counts);
}

// Disagreeing signs of the coarse pass (every kCoarseStride-th print word)
// at `n` consecutive offsets from words[0] on. Kept apart from choosing the
// best offsets, so that the compiler can count several offsets at once.
void CoarseDisagreeing(const uint64_t* words, int n, const uint64_t* p, int* differ)
{
    for (int i = 0; i < n; ++i) {
        uint64_t counts = 0;
        for (int w = 0; w < kWords; w += kCoarseStride) counts += ByteCounts(words[i + 64 * w] ^ p[w]);
        differ[i] = SumOfBytes(counts);
    }
}

// The largest |agreeing - disagreeing| signs of print p against the signs
// at any offset within `reach` of the one that puts p's middle on `centre`.
// First every offset with half the print (every other word): at a replay's
// own offset its correlation (0.3 and more) stands far out of the chance
// ones (spread about 0.045 over 512 signs). Then the best few offsets and
// their neighbours with the whole print.
// The 64 signs from every sign of the searched span on are taken out of the
// packed signs once: every offset reads the same shifted words (the word 64
// signs after an offset's first is the next offset's 64 later), and
// unpacking them per offset and print word cost as much as comparing them.
int BestAgreement(const std::vector<uint64_t>& bits, int count, const uint64_t* p, int centre, int reach)
{
    constexpr int kBits = CWaveformPrint::kBits;
    const int from = std::max(0, centre - kBits / 2 - reach), to = std::min(count - kBits, centre - kBits / 2 + reach);
    if (from > to) return 0;
    // words[i]: signs from + i .. from + i + 63; print word w at offset `at`
    // lies at words[at - from + 64 w].
    std::vector<uint64_t> words(static_cast<size_t>(to - from + kBits - 63));
    for (size_t i = 0; i < words.size(); ++i) words[i] = WordAt(bits, from + static_cast<int>(i));
    std::vector<int> coarse(static_cast<size_t>(to - from + 1));
    CoarseDisagreeing(words.data(), to - from + 1, p, coarse.data());
    // The kCandidates best offsets, best first; an offset ties with an
    // earlier one after it.
    int candidates[kCandidates];
    int scores[kCandidates];
    int found = 0;
    for (int at = from; at <= to; ++at) {
        const int score = std::abs(kBits / kCoarseStride - 2 * coarse[static_cast<size_t>(at - from)]);
        int slot = found < kCandidates ? found++ : kCandidates;
        for (; slot > 0 && scores[slot - 1] < score; --slot) {
            if (slot < kCandidates) {
                scores[slot] = scores[slot - 1];
                candidates[slot] = candidates[slot - 1];
            }
        }
        if (slot < kCandidates) {
            scores[slot] = score;
            candidates[slot] = at;
        }
    }
    int best = 0;
    for (int c = 0; c < found; ++c)
        for (int at = std::max(from, candidates[c] - 1); at <= std::min(to, candidates[c] + 1); ++at) {
            const int differ = Disagreeing(&words[static_cast<size_t>(at - from)], p);
            best = std::max(best, std::abs(kBits - 2 * differ));
        }
    return best;
}

// Sum of samples[i] samples[i - lag] over i = first + lag .. last. In whole
// numbers, which add up in any order and several at once: a take's sums stay
// far below 2^53 (products under 2^30, fewer than 2^23 of them), where a
// double, added one after the other, held them exactly as well.
int64_t LaggedProducts(const short* samples, int first, int last, int lag)
{
    int64_t sum = 0;
    for (int i = first + lag; i <= last; ++i) sum += static_cast<int32_t>(samples[i]) * samples[i - lag];
    return sum;
}

// What the linear prediction a leaves of samples from .. last, into e[i - from].
// A loop of its own: every sample's residual is independent of the others',
// so that several are computed at once (the band-pass after it is recursive).
void PredictionResidual(const short* samples, int from, int last, const double* a, double* e)
{
    for (int i = from; i <= last; ++i) {
        double v = samples[i];
        for (int k = 1; k <= kLpcOrder; ++k) v += a[k] * samples[i - k];
        e[i - from] = v;
    }
}

} // namespace

int CWaveformPrint::Signs(const short* samples, int count, int first, int last, int rate,
                          std::vector<uint64_t>* bits, int* counts)
{
    for (int phase = 0; phase < kStep; ++phase) {
        bits[phase].clear();
        counts[phase] = 0;
    }
    first = std::max(first, 0);
    last = std::min(last, count - 1);
    if (samples == nullptr || last - first < kLpcOrder || rate < 2 * static_cast<int>(kHighHz) + 1) return 0;
    // The word's spectral envelope is taken off first (linear prediction
    // over the whole word): what is left is the fine structure that two
    // takes do not share, while a vowel's formant left in would ring alike
    // in any take of it and line up with any other at some offset.
    double r[kLpcOrder + 1];
    for (int k = 0; k <= kLpcOrder; ++k) r[k] = static_cast<double>(LaggedProducts(samples, first, last, k));
    r[0] *= 1.0 + kWhiteningFloor;
    double a[kLpcOrder + 1] = {1.0};
    if (r[0] > 0.0) {
        double error = r[0];
        for (int m = 1; m <= kLpcOrder && error > 0.0; ++m) {
            double acc = r[m];
            for (int k = 1; k < m; ++k) acc += a[k] * r[m - k];
            const double reflection = -acc / error;
            double next[kLpcOrder + 1];
            for (int k = 1; k < m; ++k) next[k] = a[k] + reflection * a[m - k];
            for (int k = 1; k < m; ++k) a[k] = next[k];
            a[m] = reflection;
            error *= 1.0 - reflection * reflection;
        }
    }
    for (int phase = 0; phase < kStep && first + phase <= last; ++phase) {
        counts[phase] = (last - first - phase) / kStep + 1;
        bits[phase].assign(static_cast<size_t>((counts[phase] + 63) / 64), 0);
    }
    // The random signs follow the take's own samples: a bit-exact copy draws
    // the same ones, a fresh take others.
    uint32_t random = 2166136261u;
    for (int i = first; i <= last; ++i) random = (random ^ static_cast<uint16_t>(samples[i])) * 16777619u;
    random |= 1u;   // xorshift never leaves 0
    const int start = std::max(first - kSettleSamples, kLpcOrder);
    std::vector<double> residual(static_cast<size_t>(last - start + 1));
    PredictionResidual(samples, start, last, a, residual.data());
    CSection high(true, kLowHz, rate), low(false, kHighHz, rate);
    for (int i = start; i <= last; ++i) {
        const double y = low.Run(high.Run(residual[static_cast<size_t>(i - start)]));
        if (i < first)
            continue;
        random ^= random << 13;
        random ^= random >> 17;
        random ^= random << 5;
        const bool positive = std::fabs(y) < kSilentLevel ? (random & 1u) != 0 : y > 0.0;
        if (!positive)
            continue;
        SetBit(bits[(i - first) % kStep], (i - first) / kStep);
    }
    return counts[0];
}

int CWaveformPrint::Excerpt(const std::vector<uint64_t>& bits, int nbits, int start, unsigned char* print)
{
    if (print == nullptr || nbits < kBits || static_cast<size_t>(nbits) > bits.size() * 64) return 0;
    start = std::clamp(start, 0, nbits - kBits);
    for (int w = 0; w < kWords; ++w) {
        const uint64_t v = WordAt(bits, start + 64 * w);
        for (int b = 0; b < 8; ++b) print[8 * w + b] = static_cast<unsigned char>((v >> (8 * b)) & 0xFF);
    }
    return 1;
}

float CWaveformPrint::PairSimilarity(const unsigned char* a, const unsigned char* b)
{
    if (a == nullptr || b == nullptr) return 0.0f;
    // Print b as signs with room around it, so that print a slides over it
    // by the same code as over a take.
    std::vector<uint64_t> padded(static_cast<size_t>((kBits + 2 * kPairReach) / 64), 0);
    std::vector<uint64_t> mask(padded.size(), 0);
    for (int i = 0; i < kBits; ++i) {
        if (b[i / 8] & (1 << (i % 8)))
            SetBit(padded, i + kPairReach);
        SetBit(mask, i + kPairReach);
    }
    uint64_t p[kWords];
    PrintWords(a, p);
    // Every 64-sign window of print b and of its mask, cut once: an offset
    // and its print word read the window from at + 64 w.
    const int windows = 2 * kPairReach + 64 * (kWords - 1) + 1;
    std::vector<uint64_t> signs(static_cast<size_t>(windows)), inside(static_cast<size_t>(windows));
    for (int x = 0; x < windows; ++x) {
        signs[static_cast<size_t>(x)] = WordAt(padded, x);
        inside[static_cast<size_t>(x)] = WordAt(mask, x);
    }
    float best = 0.0f;
    for (int at = 0; at <= 2 * kPairReach; ++at) {
        // The signs the two prints share: print a from `at` over print b
        // from kPairReach.
        const int overlap = kBits - std::abs(at - kPairReach);
        if (overlap < kPairMinOverlap) continue;
        uint64_t counts = 0;
        for (int w = 0; w < kWords; ++w) {
            const size_t x = static_cast<size_t>(at + 64 * w);
            counts += ByteCounts((signs[x] ^ p[w]) & inside[x]);
        }
        const int differ = SumOfBytes(counts);
        best = std::max(best, static_cast<float>(std::abs(overlap - 2 * differ)) / static_cast<float>(overlap));
    }
    return best;
}

float CWaveformPrint::Similarity(const std::vector<uint64_t>* bits, const int* counts, const unsigned char* print,
                                 int centre, int reach)
{
    if (bits == nullptr || counts == nullptr || print == nullptr) return 0.0f;
    for (int phase = 0; phase < kStep; ++phase)
        if (counts[phase] < kBits || static_cast<size_t>(counts[phase]) > bits[phase].size() * 64) return 0.0f;
    uint64_t p[kWords];
    PrintWords(print, p);
    int best = 0;   // largest |agreeing - disagreeing| signs
    for (int phase = 0; phase < kStep; ++phase)
        best = std::max(best, BestAgreement(bits[phase], counts[phase], p, centre, reach));
    return static_cast<float>(best) / kBits;
}
