#include "voice/WaveInHandle.h"

#include <stdexcept>

CWaveInHandle::~CWaveInHandle()
{
    if (!IsOpen())
        return;
    // Reset hands every queued buffer back, which a close needs.
    m_device.Reset(m_hWaveIn);
    m_device.Close(m_hWaveIn);
}

MMRESULT CWaveInHandle::Open(const WAVEFORMATEX& format)
{
    if (IsOpen())
        throw std::logic_error("CWaveInHandle::Open: a device is still open");
    HWAVEIN opened = nullptr;
    const MMRESULT result = m_device.Open(&opened, &format);
    if (result == MMSYSERR_NOERROR)
        m_hWaveIn = opened;
    return result;
}

MMRESULT CWaveInHandle::Close()
{
    const MMRESULT result = m_device.Close(m_hWaveIn);
    if (result == MMSYSERR_NOERROR)
        m_hWaveIn = nullptr;
    return result;
}
