#include "Dtw.h"

#include <algorithm>
#include <cmath>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
// Four frames per instruction; the additions keep the order of the plain
// loop (PlainSquaredDistances), so both give the same figures.
#define SONVERA_DTW_SSE 1
#endif

// StepRow stays a call of its own: inlined into the row loop, the plain
// distance ran slower (about 0.5 % in the 32-bit build).
#if defined(__GNUC__)
#define SONVERA_DTW_OUT_OF_LINE __attribute__((noinline))
#else
#define SONVERA_DTW_OUT_OF_LINE
#endif

namespace {
// --- Path constraints ---------------------------------------------------------
// Longer/shorter beyond this: not the same word. A speaker may draw a
// one-syllable word out to nearly three times its usual length.
const float kMaxLengthRatio = 3.5f;
const float kBandFraction = 0.35f;      // band half-width, fraction of the longer length
const float kInf = 1e30f;
} // namespace

const float CDtw::kUnreachable = 1e6f;

int CDtw::Init(int maxFrames)
{
    Reset();
    if (maxFrames <= 0) return 0;
    m_nMaxFrames = maxFrames;
    m_prev.assign(maxFrames + 1, kInf);
    m_curr.assign(maxFrames + 1, kInf);
    m_prevWeight.assign(maxFrames + 1, 0.0f);
    m_currWeight.assign(maxFrames + 1, 0.0f);
    return 1;
}

void CDtw::Reset()
{
    m_nMaxFrames = 0;
    m_prev.clear();
    m_curr.clear();
    m_prevWeight.clear();
    m_currWeight.clear();
}

bool CDtw::Joinable(int na, int nb, int dims) const
{
    if (na <= 0 || nb <= 0 || na > m_nMaxFrames || nb > m_nMaxFrames || dims <= 0) return false;
    return na <= kMaxLengthRatio * nb && nb <= kMaxLengthRatio * na;
}

int CDtw::BandOf(int na, int nb)
{
    // The band follows the straight diagonal from (0,0) to (na-1,nb-1); its
    // half-width covers the length difference plus a share of the length.
    return static_cast<int>(kBandFraction * std::max(na, nb)) + std::abs(na - nb) / 2 + 1;
}

void CDtw::RowRange(int i, int na, int nb, int band, int& lo, int& hi)
{
    const float slope = static_cast<float>(nb) / na;
    const int centre = static_cast<int>(i * slope);
    lo = std::max(0, centre - band);
    hi = std::min(nb - 1, centre + band);
}

float CDtw::Distance(const float* a, int na, const float* b, int nb, int dims, const float* weights)
{
    if (!Joinable(na, nb, dims)) return kUnreachable;
    const int stride = ToColumns(b, nb, dims, dims, m_columns);
    return DistanceToColumns(a, na, m_columns.data(), stride, nb, dims, weights);
}

float CDtw::DistanceToColumns(const float* a, int na, const float* columns, int stride, int nb, int dims,
                              const float* weights)
{
    return Align<false>(a, na, columns, stride, nb, dims, weights, nullptr, nullptr);
}

float CDtw::PairWeightedDistance(const float* a, int na, const float* columns, int stride, int nb, int dims,
                                 const float* wa, const float* wb, const float* weights)
{
    return Align<true>(a, na, columns, stride, nb, dims, weights, wa, wb);
}

template <bool kPairWeighted>
float CDtw::Align(const float* a, int na, const float* columns, int stride, int nb, int dims, const float* weights,
                  const float* wa, const float* wb)
{
    if (!Joinable(na, nb, dims)) return kUnreachable;
    const int band = BandOf(na, nb);
    // Each row's frame distances are worked out together before the path
    // steps through them.
    m_local.resize(static_cast<size_t>(stride));
    // Plain pointers, swapped per row: the rows' loops read nothing through
    // `this` (the 32-bit build has few registers to keep it all in). A
    // path weight is read only with its cell's cost, so the cells off the
    // band, whose costs are kInf, need no weight.
    float* prev = m_prev.data();
    float* curr = m_curr.data();
    float* local = m_local.data();
    SPathWeights path = {0.0f, wb, m_prevWeight.data(), m_currWeight.data()};
    std::fill(prev, prev + nb, kInf);
    for (int i = 0; i < na; ++i) {
        int lo = 0, hi = 0;
        RowRange(i, na, nb, band, lo, hi);
        std::fill(curr, curr + nb, kInf);
        if (lo <= hi) {
            SquaredDistances(columns, stride, lo, hi, a + static_cast<size_t>(i) * dims, dims, local, weights);
            Roots(local, lo, hi);
            if constexpr (kPairWeighted) path.rowWeight = wa[i];
            StepRow<kPairWeighted>(prev, curr, local, i, lo, hi, path);
        }
        std::swap(prev, curr);
        if constexpr (kPairWeighted) std::swap(path.prev, path.curr);
    }
    const float total = prev[nb - 1];
    if (total >= kInf) return kUnreachable;
    if constexpr (kPairWeighted) {
        const float weight = path.prev[nb - 1];
        if (weight <= 0.0f) return kUnreachable;
        return total / weight;
    }
    return total / static_cast<float>(na + nb);
}

template <bool kPairWeighted>
SONVERA_DTW_OUT_OF_LINE void CDtw::StepRow(const float* prev, float* curr, const float* local, int i, int lo, int hi,
                   const SPathWeights& path)
{
    // The first cell and the first row and column tested once, outside the
    // loop. A cell's cost is the least of its steps' (never a NaN: a step
    // that is one loses to kInf), whatever the order they are compared in:
    // the two from the row before first, so that the one chain from cell
    // to cell along the row is an addition and one comparison. The weight
    // a cell carries is its least step's; of equal steps the one compared
    // first: vertical, then diagonal, then horizontal.
    auto pairWeight = [&](int j) { return kPairWeighted ? std::max(path.rowWeight, path.wb[j]) : 1.0f; };
    auto step = [&](int j) { return kPairWeighted ? pairWeight(j) * local[j] : local[j]; };
    int j = lo;
    if (j == 0) {
        const float d = step(0);
        curr[0] = i == 0 ? 2.0f * d : std::min(kInf, prev[0] + d);
        if constexpr (kPairWeighted) path.curr[0] = i == 0 ? 2.0f * pairWeight(0) : path.prev[0] + pairWeight(0);
        ++j;
    }
    if (i == 0) {
        for (; j <= hi; ++j) {
            curr[j] = std::min(kInf, curr[j - 1] + step(j));
            if constexpr (kPairWeighted) path.curr[j] = path.curr[j - 1] + pairWeight(j);
        }
        return;
    }
    for (; j <= hi; ++j) {
        const float d = step(j);
        const float vertical = std::min(kInf, prev[j] + d);
        const float diagonal = prev[j - 1] + 2.0f * d;
        const float fromRowBefore = std::min(vertical, diagonal);
        const float horizontal = curr[j - 1] + d;
        curr[j] = std::min(fromRowBefore, horizontal);
        if constexpr (kPairWeighted) {
            const float w = pairWeight(j);
            const float weightBefore = diagonal < vertical ? path.prev[j - 1] + 2.0f * w : path.prev[j] + w;
            path.curr[j] = horizontal < fromRowBefore ? path.curr[j - 1] + w : weightBefore;
        }
    }
}

int CDtw::Path(const float* a, int na, const float* b, int nb, int dims, std::vector<int>& pathA,
               std::vector<int>& pathB, const float* weights)
{
    pathA.clear();
    pathB.clear();
    if (!Joinable(na, nb, dims)) return 0;
    const int band = BandOf(na, nb);
    const int stride = ToColumns(b, nb, dims, dims, m_columns);
    m_local.resize(static_cast<size_t>(stride));
    m_cost.assign(static_cast<size_t>(na) * nb, kInf);
    m_frameCost.assign(static_cast<size_t>(na) * nb, 0.0f);
    auto cost = [&](int i, int j) -> float& { return m_cost[static_cast<size_t>(i) * nb + j]; };
    for (int i = 0; i < na; ++i) {
        int lo = 0, hi = 0;
        RowRange(i, na, nb, band, lo, hi);
        if (lo > hi) continue;
        SquaredDistances(m_columns.data(), stride, lo, hi, a + static_cast<size_t>(i) * dims, dims, m_local.data(),
                         weights);
        Roots(m_local.data(), lo, hi);
        for (int j = lo; j <= hi; ++j) {
            const float d = m_local[j];
            m_frameCost[static_cast<size_t>(i) * nb + j] = d;
            float best;
            if (i == 0 && j == 0) best = 2.0f * d;
            else {
                best = kInf;
                if (i > 0) best = std::min(best, cost(i - 1, j) + d);
                if (j > 0) best = std::min(best, cost(i, j - 1) + d);
                if (i > 0 && j > 0) best = std::min(best, cost(i - 1, j - 1) + 2.0f * d);
            }
            cost(i, j) = best;
        }
    }
    if (cost(na - 1, nb - 1) >= kInf) return 0;
    // Back from the end, each step to the predecessor the forward pass chose.
    int i = na - 1, j = nb - 1;
    for (;;) {
        pathA.push_back(i);
        pathB.push_back(j);
        if (i == 0 && j == 0) break;
        const float d = m_frameCost[static_cast<size_t>(i) * nb + j];
        float best = kInf;
        int bi = i, bj = j;
        if (i > 0 && j > 0 && cost(i - 1, j - 1) + 2.0f * d < best) { best = cost(i - 1, j - 1) + 2.0f * d; bi = i - 1; bj = j - 1; }
        if (i > 0 && cost(i - 1, j) + d < best) { best = cost(i - 1, j) + d; bi = i - 1; bj = j; }
        if (j > 0 && cost(i, j - 1) + d < best) { best = cost(i, j - 1) + d; bi = i; bj = j - 1; }
        if (best >= kInf) { pathA.clear(); pathB.clear(); return 0; }
        i = bi;
        j = bj;
    }
    std::reverse(pathA.begin(), pathA.end());
    std::reverse(pathB.begin(), pathB.end());
    return static_cast<int>(pathA.size());
}

namespace {

// The plain loop: frame y's squared distances to frames first..last of
// `columns`, four running sums (dimension k into sum k % 4, the rest into
// the first) added pairwise at the end, eight frames at a time.
void PlainSquaredDistances(const float* columns, int stride, int first, int last, const float* y, int dims,
                           float* out, const float* weights)
{
    constexpr int kBlock = CDtw::kColumnBlock;
    for (int j0 = first; j0 <= last; j0 += kBlock) {
        float block[kBlock];
        float s[4][kBlock] = {};
        auto add = [&](float* sum, int k) {
            const float* col = columns + static_cast<size_t>(k) * stride + j0;
            if (weights != nullptr) {
                for (int j = 0; j < kBlock; ++j) { const float d = col[j] - y[k]; sum[j] += d * d * weights[k]; }
                return;
            }
            for (int j = 0; j < kBlock; ++j) { const float d = col[j] - y[k]; sum[j] += d * d; }
        };
        int k = 0;
        for (; k + 4 <= dims; k += 4)
            for (int lane = 0; lane < 4; ++lane) add(s[lane], k + lane);
        for (; k < dims; ++k) add(s[0], k);
        for (int j = 0; j < kBlock; ++j) block[j] = (s[0][j] + s[1][j]) + (s[2][j] + s[3][j]);
        const int n = std::min(kBlock, last + 1 - j0);
        std::copy(block, block + n, out + j0);
    }
}

#if defined(SONVERA_DTW_SSE)
// Dimensions whose values SquaredDistances spreads over the four lanes
// once per frame y (the DTW's vectors have 34).
const int kMaxSpreadDims = 64;

// The plain loop's sums for the four frames of `columns` from frame j0 on;
// y and weights: each dimension's value in all four lanes. Four frames at
// a time, so that the sums and their operands stay in the eight registers
// of the 32-bit build (eight frames' sums did not, and went through memory
// at every dimension).
template <bool kWeighted>
__m128 FourFrames(const float* columns, int stride, int j0, const __m128* y, int dims, const __m128* weights)
{
    auto term = [&](int k) {
        const __m128 d = _mm_sub_ps(_mm_loadu_ps(columns + static_cast<size_t>(k) * stride + j0), y[k]);
        const __m128 squared = _mm_mul_ps(d, d);
        return kWeighted ? _mm_mul_ps(squared, weights[k]) : squared;
    };
    __m128 s0 = _mm_setzero_ps(), s1 = _mm_setzero_ps(), s2 = _mm_setzero_ps(), s3 = _mm_setzero_ps();
    int k = 0;
    for (; k + 4 <= dims; k += 4) {
        s0 = _mm_add_ps(s0, term(k));
        s1 = _mm_add_ps(s1, term(k + 1));
        s2 = _mm_add_ps(s2, term(k + 2));
        s3 = _mm_add_ps(s3, term(k + 3));
    }
    for (; k < dims; ++k) s0 = _mm_add_ps(s0, term(k));
    return _mm_add_ps(_mm_add_ps(s0, s1), _mm_add_ps(s2, s3));
}

template <bool kWeighted>
void SpreadSquaredDistances(const float* columns, int stride, int first, int last, const float* y, int dims,
                            float* out, const float* weights)
{
    __m128 ys[kMaxSpreadDims], ws[kMaxSpreadDims];
    for (int k = 0; k < dims; ++k) {
        ys[k] = _mm_set1_ps(y[k]);
        if (kWeighted) ws[k] = _mm_set1_ps(weights[k]);
    }
    for (int j0 = first; j0 <= last; j0 += 4) {
        float block[4];
        _mm_storeu_ps(block, FourFrames<kWeighted>(columns, stride, j0, ys, dims, ws));
        const int n = std::min(4, last + 1 - j0);
        std::copy(block, block + n, out + j0);
    }
}
#endif

} // namespace

void CDtw::SquaredDistances(const float* columns, int stride, int first, int last, const float* y, int dims,
                            float* out, const float* weights)
{
#if defined(SONVERA_DTW_SSE)
    if (dims <= kMaxSpreadDims) {
        if (weights != nullptr) SpreadSquaredDistances<true>(columns, stride, first, last, y, dims, out, weights);
        else SpreadSquaredDistances<false>(columns, stride, first, last, y, dims, out, nullptr);
        return;
    }
#endif
    PlainSquaredDistances(columns, stride, first, last, y, dims, out, weights);
}

void CDtw::Roots(float* values, int first, int last)
{
    int j = first;
#if defined(SONVERA_DTW_SSE)
    for (; j + 4 <= last + 1; j += 4) _mm_storeu_ps(values + j, _mm_sqrt_ps(_mm_loadu_ps(values + j)));
#endif
    for (; j <= last; ++j) values[j] = std::sqrt(values[j]);
}

int CDtw::ToColumns(const float* rows, int frames, int dims, int rowStride, std::vector<float>& columns)
{
    // One block of padding beyond the last frame: a block starting at any
    // frame reads whole blocks.
    const int stride = (frames + 2 * kColumnBlock - 1) / kColumnBlock * kColumnBlock;
    columns.assign(static_cast<size_t>(stride) * dims, 0.0f);
    for (int j = 0; j < frames; ++j)
        for (int k = 0; k < dims; ++k)
            columns[static_cast<size_t>(k) * stride + j] = rows[static_cast<size_t>(j) * rowStride + k];
    return stride;
}
