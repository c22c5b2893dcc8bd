// FeatureMatrix.h - a frames x dims block of float features with a fixed capacity.
//
// Every processing stage of the engine hands features around in this form. The
// storage is sized once (SetCapacity) from the analysis parameters, so that no
// stage allocates while it walks through the frames of a take.
#pragma once

#include <cstddef>
#include <vector>

class CFeatureMatrix {
public:
    // Reserves room for maxFrames x dims values; clears the content.
    void SetCapacity(int maxFrames, int dims);
    // Sets the number of rows in use (clamped to the capacity) and the row width.
    // Returns the number of frames actually set.
    int Resize(int frames, int dims);
    void Clear() { m_nFrames = 0; }

    int Frames() const { return m_nFrames; }
    int Dims() const { return m_nDims; }
    int Capacity() const { return m_nCapacityFrames; }
    float* Row(int frame) { return m_data.data() + static_cast<size_t>(frame) * m_nDims; }
    const float* Row(int frame) const { return m_data.data() + static_cast<size_t>(frame) * m_nDims; }

private:
    std::vector<float> m_data;
    int m_nCapacityFrames = 0;
    int m_nCapacityValues = 0;
    int m_nFrames = 0;
    int m_nDims = 0;
};
