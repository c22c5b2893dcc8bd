#include "voice/WinmmWaveIn.h"

MMRESULT CWinmmWaveIn::Open(HWAVEIN* device, const WAVEFORMATEX* format)
{
    return waveInOpen(device, WAVE_MAPPER, format, 0, 0, CALLBACK_NULL);
}

MMRESULT CWinmmWaveIn::PrepareHeader(HWAVEIN device, WAVEHDR* header)
{
    return waveInPrepareHeader(device, header, sizeof(WAVEHDR));
}

MMRESULT CWinmmWaveIn::UnprepareHeader(HWAVEIN device, WAVEHDR* header)
{
    return waveInUnprepareHeader(device, header, sizeof(WAVEHDR));
}

MMRESULT CWinmmWaveIn::AddBuffer(HWAVEIN device, WAVEHDR* header)
{
    return waveInAddBuffer(device, header, sizeof(WAVEHDR));
}

MMRESULT CWinmmWaveIn::Start(HWAVEIN device) { return waveInStart(device); }

MMRESULT CWinmmWaveIn::Stop(HWAVEIN device) { return waveInStop(device); }

MMRESULT CWinmmWaveIn::Reset(HWAVEIN device) { return waveInReset(device); }

MMRESULT CWinmmWaveIn::Close(HWAVEIN device) { return waveInClose(device); }
