#include "FeatureMatrix.h"

#include <algorithm>

void CFeatureMatrix::SetCapacity(int maxFrames, int dims)
{
    maxFrames = std::max(maxFrames, 0);
    dims = std::max(dims, 1);
    m_data.assign(static_cast<size_t>(maxFrames) * dims, 0.0f);
    m_nCapacityFrames = maxFrames;
    m_nCapacityValues = maxFrames * dims;
    m_nFrames = 0;
    m_nDims = dims;
}

int CFeatureMatrix::Resize(int frames, int dims)
{
    if (dims < 1) dims = 1;
    const int maxFrames = m_nCapacityValues / dims;
    m_nDims = dims;
    m_nFrames = std::clamp(frames, 0, maxFrames);
    return m_nFrames;
}
