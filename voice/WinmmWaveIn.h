// The microphone: the wave mapper of the Windows multimedia functions,
// opened without a completion callback.
#pragma once

#include "voice/WaveInDevice.h"

class CWinmmWaveIn : public IWaveInDevice
{
public:
    MMRESULT Open(HWAVEIN* device, const WAVEFORMATEX* format) override;
    MMRESULT PrepareHeader(HWAVEIN device, WAVEHDR* header) override;
    MMRESULT UnprepareHeader(HWAVEIN device, WAVEHDR* header) override;
    MMRESULT AddBuffer(HWAVEIN device, WAVEHDR* header) override;
    MMRESULT Start(HWAVEIN device) override;
    MMRESULT Stop(HWAVEIN device) override;
    MMRESULT Reset(HWAVEIN device) override;
    MMRESULT Close(HWAVEIN device) override;
};
