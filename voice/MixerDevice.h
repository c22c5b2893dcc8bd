// The mixer calls of the voice dialog's volume bars, behind one thin interface.
//
// The library itself only ever uses the system's mixer through CWinmmMixer;
// the interface exists so that tests can stand in a mixer of their own
// through the dialog's protected seam. Nothing in the library chooses another
// mixer from a setting, a file or the environment.
#pragma once

#include <windows.h>
#include <mmsystem.h>

#include "fw/Api.h"

class SONVERA_API IMixerDevice
{
public:
    virtual ~IMixerDevice() = default;

    // mixerGetDevCapsA (of a mixer number, or of an open mixer's handle cast
    // to a number), mixerOpen with the window as notification target
    // (CALLBACK_WINDOW), mixerClose, and the line and control queries, with
    // the flags of the system's calls.
    virtual MMRESULT GetDevCaps(UINT_PTR device, MIXERCAPSA* caps) = 0;
    virtual MMRESULT Open(HMIXER* mixer, UINT device, HWND notify) = 0;
    virtual MMRESULT Close(HMIXER mixer) = 0;
    virtual MMRESULT GetLineInfo(HMIXER mixer, MIXERLINEA* line, DWORD flags) = 0;
    virtual MMRESULT GetLineControls(HMIXER mixer, MIXERLINECONTROLSA* controls, DWORD flags) = 0;
    virtual MMRESULT GetControlDetails(HMIXER mixer, MIXERCONTROLDETAILS* details, DWORD flags) = 0;
    virtual MMRESULT SetControlDetails(HMIXER mixer, MIXERCONTROLDETAILS* details, DWORD flags) = 0;
};
