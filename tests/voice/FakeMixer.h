// A mixer for tests: lines and controls in plain structures, answering the
// mixer calls as the system's mixer does and keeping every value written.
// SoundCard(): headphones; speakers with volume, mute and a wave and a
// microphone source; a wave-in line with a line-in and a microphone source.
#pragma once

#include <windows.h>
#include <mmsystem.h>

#include <cstring>
#include <utility>
#include <vector>

#include "voice/MixerDevice.h"

namespace sonvera_test {

struct FakeControl {
    DWORD id, type, maximum;
    DWORD items;   // several items: MIXERCONTROL_CONTROLF_MULTIPLE
    std::vector<DWORD> values;
};

struct FakeLine {
    DWORD componentType, lineId;
    std::vector<FakeControl> controls;
    std::vector<FakeLine> sources;
};

class CFakeMixer : public IMixerDevice {
public:
    enum : DWORD { kSpeakersVolume = 11, kSpeakersMute = 12, kSpeakersMicVolume = 21, kWaveInMicVolume = 31, kLineInVolume = 41 };

    static FakeControl Volume(DWORD id, DWORD maximum, DWORD value)
    {
        return FakeControl{id, MIXERCONTROL_CONTROLTYPE_VOLUME, maximum, 0, {value}};
    }
    static FakeControl Mute(DWORD id) { return FakeControl{id, MIXERCONTROL_CONTROLTYPE_MUTE, 1, 0, {0}}; }

    static CFakeMixer SoundCard()
    {
        CFakeMixer mixer;
        mixer.destinations = {
            FakeLine{MIXERLINE_COMPONENTTYPE_DST_HEADPHONES, 0x3000, {}, {}},
            FakeLine{MIXERLINE_COMPONENTTYPE_DST_SPEAKERS, 0x1000,
                     {Volume(kSpeakersVolume, 65535, 32768), Mute(kSpeakersMute)},
                     {FakeLine{MIXERLINE_COMPONENTTYPE_SRC_WAVEOUT, 0x1001, {Volume(51, 65535, 65535)}, {}},
                      FakeLine{MIXERLINE_COMPONENTTYPE_SRC_MICROPHONE, 0x1002,
                               {Volume(kSpeakersMicVolume, 65535, 0)}, {}}}},
            FakeLine{MIXERLINE_COMPONENTTYPE_DST_WAVEIN, 0x2000, {},
                     {FakeLine{MIXERLINE_COMPONENTTYPE_SRC_LINE, 0x2001, {Volume(kLineInVolume, 65535, 100)}, {}},
                      FakeLine{MIXERLINE_COMPONENTTYPE_SRC_MICROPHONE, 0x2002,
                               {Volume(kWaveInMicVolume, 1000, 250)}, {}}}}};
        return mixer;
    }

    HMIXER Handle() const { return reinterpret_cast<HMIXER>(static_cast<INT_PTR>(0x4D49)); }

    FakeControl* Control(DWORD id)
    {
        for (FakeLine* line : Lines())
            for (FakeControl& control : line->controls)
                if (control.id == id)
                    return &control;
        return nullptr;
    }

    MMRESULT GetDevCaps(UINT_PTR device, MIXERCAPSA* caps) override
    {
        if (!present || (device != 0 && device != reinterpret_cast<UINT_PTR>(Handle())))
            return MMSYSERR_BADDEVICEID;
        *caps = MIXERCAPSA{};
        caps->cDestinations = static_cast<DWORD>(destinations.size());
        return MMSYSERR_NOERROR;
    }
    MMRESULT Open(HMIXER* mixer, UINT device, HWND notify) override
    {
        if (!present || failOpen || device != 0)
            return MMSYSERR_NODRIVER;
        *mixer = Handle();
        notifyWindow = notify;
        ++opens;
        return MMSYSERR_NOERROR;
    }
    MMRESULT Close(HMIXER mixer) override
    {
        closes += mixer == Handle() ? 1 : 0;
        return mixer == Handle() ? MMSYSERR_NOERROR : MMSYSERR_INVALHANDLE;
    }
    MMRESULT GetLineInfo(HMIXER mixer, MIXERLINEA* line, DWORD flags) override
    {
        if (mixer != Handle() || line->cbStruct != sizeof(MIXERLINEA) || failLineInfo)
            return MMSYSERR_INVALPARAM;
        const DWORD query = flags & MIXER_GETLINEINFOF_QUERYMASK;
        for (DWORD d = 0; d < destinations.size(); ++d) {
            if ((query == MIXER_GETLINEINFOF_DESTINATION && d == line->dwDestination) ||
                (query == MIXER_GETLINEINFOF_LINEID && destinations[d].lineId == line->dwLineID))
                return Describe(destinations[d], d, 0, line);
            for (DWORD s = 0; s < destinations[d].sources.size(); ++s)
                if ((query == MIXER_GETLINEINFOF_SOURCE && d == line->dwDestination && s == line->dwSource) ||
                    (query == MIXER_GETLINEINFOF_LINEID && destinations[d].sources[s].lineId == line->dwLineID))
                    return Describe(destinations[d].sources[s], d, s, line);
        }
        return MIXERR_INVALLINE;
    }
    MMRESULT GetLineControls(HMIXER mixer, MIXERLINECONTROLSA* query, DWORD flags) override
    {
        const FakeLine* line = nullptr;
        for (FakeLine* candidate : Lines())
            line = candidate->lineId == query->dwLineID ? candidate : line;
        if (mixer != Handle() || flags != MIXER_GETLINECONTROLSF_ALL || line == nullptr ||
            query->cbmxctrl != sizeof(MIXERCONTROLA) || query->cControls != line->controls.size())
            return MMSYSERR_INVALPARAM;
        for (size_t i = 0; i < line->controls.size(); ++i) {
            const FakeControl& control = line->controls[i];
            MIXERCONTROLA& out = query->pamxctrl[i] = MIXERCONTROLA{};
            out.cbStruct = sizeof out;
            out.dwControlID = control.id;
            out.dwControlType = control.type;
            out.fdwControl = control.items > 0 ? MIXERCONTROL_CONTROLF_MULTIPLE : 0;
            out.cMultipleItems = control.items;
            out.Bounds.dwMaximum = control.maximum;
        }
        return MMSYSERR_NOERROR;
    }
    MMRESULT GetControlDetails(HMIXER mixer, MIXERCONTROLDETAILS* details, DWORD) override
    {
        FakeControl* control = Checked(mixer, details);
        if (control == nullptr)
            return MMSYSERR_INVALPARAM;
        std::memcpy(details->paDetails, control->values.data(), control->values.size() * sizeof(DWORD));
        return MMSYSERR_NOERROR;
    }
    MMRESULT SetControlDetails(HMIXER mixer, MIXERCONTROLDETAILS* details, DWORD) override
    {
        FakeControl* control = Checked(mixer, details);
        if (control == nullptr)
            return MMSYSERR_INVALPARAM;
        std::memcpy(control->values.data(), details->paDetails, control->values.size() * sizeof(DWORD));
        writes.emplace_back(control->id, control->values);
        return MMSYSERR_NOERROR;
    }

    bool present = true;
    bool failOpen = false;
    bool failLineInfo = false;
    std::vector<FakeLine> destinations;
    HWND notifyWindow = nullptr;
    int opens = 0;
    int closes = 0;
    std::vector<std::pair<DWORD, std::vector<DWORD>>> writes;   // control, values written

private:
    std::vector<FakeLine*> Lines()
    {
        std::vector<FakeLine*> lines;
        for (FakeLine& destination : destinations) {
            lines.push_back(&destination);
            for (FakeLine& source : destination.sources)
                lines.push_back(&source);
        }
        return lines;
    }

    static MMRESULT Describe(const FakeLine& found, DWORD destination, DWORD source, MIXERLINEA* line)
    {
        line->dwDestination = destination;
        line->dwSource = source;
        line->dwLineID = found.lineId;
        line->dwComponentType = found.componentType;
        line->cConnections = static_cast<DWORD>(found.sources.size());
        line->cControls = static_cast<DWORD>(found.controls.size());
        return MMSYSERR_NOERROR;
    }

    // The control a details call names, when the call is formed as the system wants it.
    FakeControl* Checked(HMIXER mixer, MIXERCONTROLDETAILS* details)
    {
        FakeControl* control = Control(details->dwControlID);
        const bool wellFormed = mixer == Handle() && details->cbStruct == sizeof(MIXERCONTROLDETAILS) &&
                                details->cChannels == 1 && details->cbDetails == sizeof(DWORD);
        return wellFormed && control != nullptr && details->cMultipleItems == control->items ? control : nullptr;
    }
};

}  // namespace sonvera_test
