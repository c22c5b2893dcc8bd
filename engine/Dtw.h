// Dtw.h - dynamic time warping distance between two feature sequences.
//
// Symmetric DTW with the three classic steps (horizontal, vertical and
// diagonal, the diagonal counted twice so that every path has the weight
// na + nb) and a Sakoe-Chiba band. The result is the path's accumulated
// Euclidean frame distance divided by na + nb: the mean frame distance along
// the best alignment, comparable across sequence lengths.
#pragma once

#include <vector>

class CDtw {
public:
    // maxFrames: longest sequence either side. Returns 1 on success.
    int Init(int maxFrames);
    void Reset();

    // a (na x dims), b (nb x dims): row-major features; weights: dims values
    // scaling each dimension (nullptr: all 1). Returns the normalised distance,
    // or kUnreachable when either sequence is empty, too long, or the lengths
    // differ by more than a factor of kMaxLengthRatio.
    float Distance(const float* a, int na, const float* b, int nb, int dims, const float* weights);

    static const float kUnreachable;

private:
    int m_nMaxFrames = 0;
    std::vector<float> m_prev;
    std::vector<float> m_curr;
};
