// The system's mixers, through the Windows multimedia functions.
#pragma once

#include "voice/MixerDevice.h"

class CWinmmMixer : public IMixerDevice
{
public:
    MMRESULT GetDevCaps(UINT_PTR device, MIXERCAPSA* caps) override;
    MMRESULT Open(HMIXER* mixer, UINT device, HWND notify) override;
    MMRESULT Close(HMIXER mixer) override;
    MMRESULT GetLineInfo(HMIXER mixer, MIXERLINEA* line, DWORD flags) override;
    MMRESULT GetLineControls(HMIXER mixer, MIXERLINECONTROLSA* controls, DWORD flags) override;
    MMRESULT GetControlDetails(HMIXER mixer, MIXERCONTROLDETAILS* details, DWORD flags) override;
    MMRESULT SetControlDetails(HMIXER mixer, MIXERCONTROLDETAILS* details, DWORD flags) override;

    // The one instance the library uses.
    static IMixerDevice& System();
};
