// DimensionWeights.h - how much each feature dimension counts for one
// speaker, learnt from his own enrolment takes.
//
// Training aligns every enrolment take with every other one's template and
// collects the differences of the aligned frames, dimension by dimension.
// A dimension the speaker keeps steady from take to take (a small spread of
// differences) says more about him than one he varies; each squared
// difference in dimension d is then multiplied by
//   w_d = clip((mean spread / spread_d)^kPower, 1/kClip, kClip),
// the weights scaled to a mean of 1 so that the distances stay on their
// scale. The weights hold for takes recorded as the enrolment was: noise
// fills the quiet dimensions they weigh up for every voice alike, so the
// scorer uses them only for such takes (CSpeakerScorer::TakePath).
#pragma once

#include "SpeakerModel.h"

class CDimensionWeights {
public:
    static constexpr float kPower = 1.0f;
    static constexpr float kClip = 2.0f;

    // Starts a new collection over `dims` dimensions (at most
    // CSpeakerModel::kMaxDims).
    void Reset(int dims);
    // One aligned frame pair: a and b hold dims values each.
    void Add(const float* a, const float* b);
    int Pairs() const { return m_nPairs; }

    // The weights of the pairs added so far (dims values); 0 when no pair
    // was added (weights then all 1).
    int Weights(float* weights) const;
    // (mean spread / spread[k])^power clipped to [1/clip, clip] and scaled
    // to a mean of 1; all 1 when the spreads say nothing (mean 0, clip < 1).
    static void FromSpreads(const float* spread, int count, float power, float clip, float* weights);

    // A weight kept in the model as a u8 code on a log scale,
    // 2^((code - kUnitCode) / 32): 1/16 .. 15.7 in steps of 2.2 %.
    static constexpr int kUnitCode = 128;
    static float WeightOfCode(int code);
    static int CodeOfWeight(float weight);

private:
    int m_nDims = 0;
    int m_nPairs = 0;
    double m_sum[CSpeakerModel::kMaxDims] = {};
    double m_squares[CSpeakerModel::kMaxDims] = {};
};
