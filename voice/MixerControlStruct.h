// One mixer line and its volume and mute controls, as the voice dialog's
// volume bars need them. All zero until the line is found: a record whose
// control descriptions are empty drives nothing and is never written.
#pragma once

#include <windows.h>
#include <mmsystem.h>

struct MixerControlStruct
{
    short nIndex;         // destination index of a destination line, source index of a source line
    short nConnections;   // source lines of a destination line
    DWORD dwLineID;
    DWORD dwVolumeMax;    // upper bound of the volume control
    char szName[MIXER_LONG_NAME_CHARS];   // filled for destination lines
    MIXERCONTROLA volumeControl;
    MIXERCONTROLA muteControl;
};
