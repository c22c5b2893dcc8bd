// The wave-in calls of the recorder, behind one thin interface.
//
// The library itself only ever uses the microphone through CWinmmWaveIn; the
// interface exists so that test and sample-host code, which links its own
// subclass of CWaveRecorder, can hand takes from files to the same recorder
// logic. Nothing in the library chooses another source from a setting, a file
// or the environment.
#pragma once

#include <windows.h>
#include <mmsystem.h>

#include "fw/Api.h"

class SONVERA_API IWaveInDevice
{
public:
    virtual ~IWaveInDevice() = default;

    virtual MMRESULT Open(HWAVEIN* device, const WAVEFORMATEX* format) = 0;
    virtual MMRESULT PrepareHeader(HWAVEIN device, WAVEHDR* header) = 0;
    virtual MMRESULT UnprepareHeader(HWAVEIN device, WAVEHDR* header) = 0;
    virtual MMRESULT AddBuffer(HWAVEIN device, WAVEHDR* header) = 0;
    virtual MMRESULT Start(HWAVEIN device) = 0;
    virtual MMRESULT Stop(HWAVEIN device) = 0;
    virtual MMRESULT Reset(HWAVEIN device) = 0;
    virtual MMRESULT Close(HWAVEIN device) = 0;
};
