#include "Fft.h"

#include <cmath>

int CFft::Init(int size)
{
    if (size < 16 || size > 4096 || (size & (size - 1)) != 0) {
        m_nSize = 0;
        return 0;
    }
    m_nSize = size;
    int bits = 0;
    while ((1 << bits) < size) ++bits;
    m_bitReverse.assign(size, 0);
    for (int i = 0; i < size; ++i) {
        int r = 0;
        for (int b = 0; b < bits; ++b)
            if (i & (1 << b)) r |= 1 << (bits - 1 - b);
        m_bitReverse[i] = r;
    }
    m_cos.assign(size / 2, 0.0f);
    m_sin.assign(size / 2, 0.0f);
    const double pi = 3.14159265358979323846;
    for (int k = 0; k < size / 2; ++k) {
        m_cos[k] = static_cast<float>(std::cos(2.0 * pi * k / size));
        m_sin[k] = static_cast<float>(-std::sin(2.0 * pi * k / size));
    }
    m_re.assign(size, 0.0f);
    m_im.assign(size, 0.0f);
    return 1;
}

void CFft::Power(const float* in, int count, float* power)
{
    const int n = m_nSize;
    if (n == 0) return;
    for (int i = 0; i < n; ++i) {
        const int src = m_bitReverse[i];
        m_re[i] = src < count ? in[src] : 0.0f;
        m_im[i] = 0.0f;
    }
    // Iterative Cooley-Tukey butterflies; twiddle index stride halves per stage.
    for (int len = 2; len <= n; len <<= 1) {
        const int half = len / 2;
        const int stride = n / len;
        for (int start = 0; start < n; start += len) {
            for (int k = 0; k < half; ++k) {
                const float wr = m_cos[k * stride];
                const float wi = m_sin[k * stride];
                const int a = start + k;
                const int b = a + half;
                const float tr = m_re[b] * wr - m_im[b] * wi;
                const float ti = m_re[b] * wi + m_im[b] * wr;
                m_re[b] = m_re[a] - tr;
                m_im[b] = m_im[a] - ti;
                m_re[a] += tr;
                m_im[a] += ti;
            }
        }
    }
    for (int k = 0; k <= n / 2; ++k)
        power[k] = m_re[k] * m_re[k] + m_im[k] * m_im[k];
}
