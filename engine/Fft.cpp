#include "Fft.h"

#include <cmath>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define SONVERA_FFT_SSE 1
#endif

int CFft::Init(int size)
{
    if (size < 16 || size > 4096 || (size & (size - 1)) != 0) {
        m_nSize = 0;
        return 0;
    }
    m_nSize = size;
    // A real frame of `size` samples is transformed as a complex one of half
    // the size (even samples real, odd samples imaginary), then unpacked.
    const int half = size / 2;
    int bits = 0;
    while ((1 << bits) < half) ++bits;
    m_bitReverse.assign(half, 0);
    for (int i = 0; i < half; ++i) {
        int r = 0;
        for (int b = 0; b < bits; ++b)
            if (i & (1 << b)) r |= 1 << (bits - 1 - b);
        m_bitReverse[i] = r;
    }
    m_cos.assign(half, 0.0f);
    m_sin.assign(half, 0.0f);
    const double pi = 3.14159265358979323846;
    for (int k = 0; k < half; ++k) {
        m_cos[k] = static_cast<float>(std::cos(2.0 * pi * k / size));
        m_sin[k] = static_cast<float>(-std::sin(2.0 * pi * k / size));
    }
    m_stageCos.assign(half, 0.0f);
    m_stageSin.assign(half, 0.0f);
    for (int h = 1; h < half; h <<= 1)
        for (int k = 0; k < h; ++k) {
            m_stageCos[h + k] = m_cos[k * (size / (2 * h))];
            m_stageSin[h + k] = m_sin[k * (size / (2 * h))];
        }
    m_re.assign(half, 0.0f);
    m_im.assign(half, 0.0f);
    return 1;
}

namespace {

// The butterflies of one group of a stage: a and b are the group's two
// halves (they never overlap), w its twiddles.
void Butterflies(float* __restrict ar, float* __restrict ai, float* __restrict br, float* __restrict bi,
                 const float* __restrict wr, const float* __restrict wi, int h)
{
    for (int k = 0; k < h; ++k) {
        const float tr = br[k] * wr[k] - bi[k] * wi[k];
        const float ti = br[k] * wi[k] + bi[k] * wr[k];
        br[k] = ar[k] - tr;
        bi[k] = ai[k] - ti;
        ar[k] += tr;
        ai[k] += ti;
    }
}

} // namespace

void CFft::Power(const float* in, int count, float* power)
{
    const int n = m_nSize;
    if (n == 0) return;
    const int half = n / 2;
    for (int i = 0; i < half; ++i) {
        const int src = 2 * m_bitReverse[i];
        m_re[i] = src < count ? in[src] : 0.0f;
        m_im[i] = src + 1 < count ? in[src + 1] : 0.0f;
    }
    // Iterative Cooley-Tukey butterflies over the half-size transform; the
    // twiddles e^(-2 pi i k / len) of a stage are consecutive in the stage tables.
    float* re = m_re.data();
    float* im = m_im.data();
    for (int h = 1; h < half; h <<= 1) {
        const float* wr = m_stageCos.data() + h;
        const float* wi = m_stageSin.data() + h;
        for (int start = 0; start < half; start += 2 * h)
            Butterflies(re + start, im + start, re + start + h, im + start + h, wr, wi, h);
    }
    // Unpacking: with Z the half-size transform and Zc[k] = conj(Z[half - k]),
    // even part E = (Z + Zc) / 2, odd part O = (Z - Zc) / 2i, and
    // X[k] = E[k] + e^(-2 pi i k / n) O[k].
    int first = 0;
#if defined(SONVERA_FFT_SSE)
    // Bins 1 .. half - 1 four at a time (their Zc read backwards), each
    // with UnpackBin's steps in the same order.
    first = 1;
    const __m128 plusHalf = _mm_set1_ps(0.5f), minusHalf = _mm_set1_ps(-0.5f), sign = _mm_set1_ps(-0.0f);
    for (; first + 4 <= half; first += 4) {
        const int k = first;
        const __m128 zr = _mm_loadu_ps(re + k), zi = _mm_loadu_ps(im + k);
        const __m128 backRe = _mm_loadu_ps(re + half - k - 3), backIm = _mm_loadu_ps(im + half - k - 3);
        const __m128 cr = _mm_shuffle_ps(backRe, backRe, _MM_SHUFFLE(0, 1, 2, 3));
        const __m128 ci = _mm_xor_ps(_mm_shuffle_ps(backIm, backIm, _MM_SHUFFLE(0, 1, 2, 3)), sign);
        const __m128 er = _mm_mul_ps(plusHalf, _mm_add_ps(zr, cr)), ei = _mm_mul_ps(plusHalf, _mm_add_ps(zi, ci));
        const __m128 orr = _mm_mul_ps(plusHalf, _mm_sub_ps(zi, ci)), oi = _mm_mul_ps(minusHalf, _mm_sub_ps(zr, cr));
        const __m128 wr = _mm_loadu_ps(m_cos.data() + k), wi = _mm_loadu_ps(m_sin.data() + k);
        const __m128 xr = _mm_sub_ps(_mm_add_ps(er, _mm_mul_ps(wr, orr)), _mm_mul_ps(wi, oi));
        const __m128 xi = _mm_add_ps(_mm_add_ps(ei, _mm_mul_ps(wr, oi)), _mm_mul_ps(wi, orr));
        _mm_storeu_ps(power + k, _mm_add_ps(_mm_mul_ps(xr, xr), _mm_mul_ps(xi, xi)));
    }
    UnpackBin(0, power);
#endif
    for (int k = first; k <= half; ++k) UnpackBin(k, power);
}

void CFft::UnpackBin(int k, float* power) const
{
    const int half = m_nSize / 2;
    // k % half and (half - k) % half, without a division per bin.
    const int a = k < half ? k : 0, b = k > 0 ? half - k : 0;
    const float zr = m_re[a], zi = m_im[a], cr = m_re[b], ci = -m_im[b];
    const float er = 0.5f * (zr + cr), ei = 0.5f * (zi + ci);
    const float orr = 0.5f * (zi - ci), oi = -0.5f * (zr - cr);
    const float wr = k < half ? m_cos[k] : -1.0f, wi = k < half ? m_sin[k] : 0.0f;
    const float xr = er + wr * orr - wi * oi;
    const float xi = ei + wr * oi + wi * orr;
    power[k] = xr * xr + xi * xi;
}
