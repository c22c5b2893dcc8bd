#include "voice/WinmmMixer.h"

MMRESULT CWinmmMixer::GetDevCaps(UINT_PTR device, MIXERCAPSA* caps)
{
    return mixerGetDevCapsA(device, caps, sizeof(MIXERCAPSA));
}

MMRESULT CWinmmMixer::Open(HMIXER* mixer, UINT device, HWND notify)
{
    return mixerOpen(mixer, device, reinterpret_cast<DWORD_PTR>(notify), 0, CALLBACK_WINDOW);
}

MMRESULT CWinmmMixer::Close(HMIXER mixer) { return mixerClose(mixer); }

MMRESULT CWinmmMixer::GetLineInfo(HMIXER mixer, MIXERLINEA* line, DWORD flags)
{
    return mixerGetLineInfoA(reinterpret_cast<HMIXEROBJ>(mixer), line, flags);
}

MMRESULT CWinmmMixer::GetLineControls(HMIXER mixer, MIXERLINECONTROLSA* controls, DWORD flags)
{
    return mixerGetLineControlsA(reinterpret_cast<HMIXEROBJ>(mixer), controls, flags);
}

MMRESULT CWinmmMixer::GetControlDetails(HMIXER mixer, MIXERCONTROLDETAILS* details, DWORD flags)
{
    return mixerGetControlDetailsA(reinterpret_cast<HMIXEROBJ>(mixer), details, flags);
}

MMRESULT CWinmmMixer::SetControlDetails(HMIXER mixer, MIXERCONTROLDETAILS* details, DWORD flags)
{
    return mixerSetControlDetails(reinterpret_cast<HMIXEROBJ>(mixer), details, flags);
}

IMixerDevice& CWinmmMixer::System()
{
    static CWinmmMixer mixer;
    return mixer;
}
