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

    // a (na x dims), b (nb x dims): row-major features. Returns the
    // normalised distance, or kUnreachable when either sequence is empty, too
    // long, or the lengths differ by more than a factor of kMaxLengthRatio.
    // weights (optional, dims values): each dimension's squared difference
    // multiplied by its weight.
    float Distance(const float* a, int na, const float* b, int nb, int dims, const float* weights = nullptr);
    // Distance to b laid out by ToColumns(b, nb, dims, dims, ...) (stride
    // its return), for a b that many sequences are matched against.
    float DistanceToColumns(const float* a, int na, const float* columns, int stride, int nb, int dims,
                            const float* weights = nullptr);
    // DistanceToColumns with frame i of a weighing wa[i] and frame j of b
    // wb[j] (each in 0..1): a pair on the path counts by the greater of its
    // two weights, the path is the one of least weighted sum, and the result
    // is the weighted mean frame distance along it. A pair counts fully
    // where either side holds the word over its noise; only the frames both
    // sides hold under it (the noise's own pattern) count less.
    float PairWeightedDistance(const float* a, int na, const float* columns, int stride, int nb, int dims,
                               const float* wa, const float* wb, const float* weights = nullptr);
    // The best path of Distance (with the same weights) as frame pairs
    // (pathA[k], pathB[k]), from (0, 0) to (na - 1, nb - 1). Returns the
    // pair count (0 when Distance would be kUnreachable).
    int Path(const float* a, int na, const float* b, int nb, int dims, std::vector<int>& pathA,
             std::vector<int>& pathB, const float* weights = nullptr);

    // out[j] = the squared Euclidean distance of frame y to frame j of
    // `columns`, for j = first..last. columns: dims-major (dimension k of
    // frame j at columns[k * stride + j]), stride a multiple of kColumnBlock
    // with the frames beyond the last one padded. The additions run in the
    // order of one frame pair at a time with four running sums, so the
    // figures are those of the plain loop, several frames at a time.
    // weights (optional, dims values): each dimension's squared difference
    // multiplied by its weight.
    static void SquaredDistances(const float* columns, int stride, int first, int last, const float* y, int dims,
                                 float* out, const float* weights = nullptr);
    // Lays `frames` frames of `dims` values (row stride rowStride) out as
    // SquaredDistances' columns; returns the stride.
    static int ToColumns(const float* rows, int frames, int dims, int rowStride, std::vector<float>& columns);

    static constexpr int kColumnBlock = 8;
    static const float kUnreachable;

private:
    // PairWeightedDistance's weights: row i's frame weight, b's, and the
    // summed pair weights along the paths to the row before (prev) and to
    // this row (curr).
    struct SPathWeights {
        float rowWeight;
        const float* wb;
        float* prev;
        float* curr;
    };
    // The sequences' lengths are ones the path can join (otherwise the
    // distance is kUnreachable).
    bool Joinable(int na, int nb, int dims) const;
    // The band's half-width, and the frames of b that row i reaches.
    static int BandOf(int na, int nb);
    static void RowRange(int i, int na, int nb, int band, int& lo, int& hi);
    // DistanceToColumns, and with kPairWeighted PairWeightedDistance.
    template <bool kPairWeighted>
    float Align(const float* a, int na, const float* columns, int stride, int nb, int dims, const float* weights,
                const float* wa, const float* wb);
    // Row i's accumulated costs curr[lo..hi] from the row before (prev) and
    // the row's frame distances (local); with kPairWeighted each step's
    // distance is multiplied by its pair's weight, and the weight it adds
    // goes along with its cost (path).
    template <bool kPairWeighted>
    static void StepRow(const float* prev, float* curr, const float* local, int i, int lo, int hi,
                        const SPathWeights& path);
    // values[first..last] replaced by their square roots.
    static void Roots(float* values, int first, int last);

    int m_nMaxFrames = 0;
    std::vector<float> m_prev;
    std::vector<float> m_curr;
    std::vector<float> m_prevWeight;   // PairWeightedDistance's weights along the rows' paths
    std::vector<float> m_currWeight;
    std::vector<float> m_columns;   // b, dims-major
    std::vector<float> m_local;     // one row's squared frame distances
    std::vector<float> m_cost;      // Path's accumulated costs, na x nb
    std::vector<float> m_frameCost; // Path's frame distances, na x nb
};
