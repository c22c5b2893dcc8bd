// CWaveInHandle: one open wave-in device, released by the object that opened
// it: a device still open when the object goes is reset and closed, so the
// driver never writes into a block that has been freed.
#pragma once

#include <windows.h>
#include <mmsystem.h>

#include "voice/WaveInDevice.h"

class CWaveInHandle
{
public:
    // The device must outlive the handle.
    explicit CWaveInHandle(IWaveInDevice& device) : m_device(device) {}
    ~CWaveInHandle();
    CWaveInHandle(const CWaveInHandle&) = delete;
    CWaveInHandle& operator=(const CWaveInHandle&) = delete;

    // Opens the device for the format. Opening while a device is open is a
    // bug and raises std::logic_error.
    MMRESULT Open(const WAVEFORMATEX& format);
    // Closes the device; the handle is let go only when the close succeeded.
    MMRESULT Close();

    bool IsOpen() const { return m_hWaveIn != nullptr; }
    // The device handle, null when none is open (calls on it then fail).
    HWAVEIN Get() const { return m_hWaveIn; }
    IWaveInDevice& Device() const { return m_device; }

private:
    IWaveInDevice& m_device;
    HWAVEIN m_hWaveIn = nullptr;
};
