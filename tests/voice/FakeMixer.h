// A mixer for tests: lines and controls in plain structures, answering the
// mixer calls as the system's mixer does and keeping every value written.
// SoundCard(): headphones; speakers with volume, mute and a wave and a
// microphone source; a wave-in line with a line-in and a microphone source.
#pragma once

#include <windows.h>
#include <mmsystem.h>

#include <algorithm>
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

// A destination line (source kDestination) or one of a destination's sources.
const DWORD kDestination = ~0u;
struct FakeLine {
    DWORD destination, source, componentType, lineId;
    std::vector<FakeControl> controls;
    DWORD claimedControls = 0;   // not 0: the control count the line reports instead
};

class CFakeMixer : public IMixerDevice {
public:
    enum : DWORD { kSpeakersVolume = 11, kSpeakersMute = 12, kSpeakersMicVolume = 21, kWaveInMicVolume = 31 };

    static FakeControl Volume(DWORD id, DWORD maximum, DWORD value)
    {
        return FakeControl{id, MIXERCONTROL_CONTROLTYPE_VOLUME, maximum, 0, {value}};
    }

    static CFakeMixer SoundCard()
    {
        CFakeMixer mixer;
        mixer.lines = {
            {0, kDestination, MIXERLINE_COMPONENTTYPE_DST_HEADPHONES, 0x3000, {}},
            {1, kDestination, MIXERLINE_COMPONENTTYPE_DST_SPEAKERS, 0x1000,
             {Volume(kSpeakersVolume, 65535, 32768), {kSpeakersMute, MIXERCONTROL_CONTROLTYPE_MUTE, 1, 0, {0}}}},
            {1, 0, MIXERLINE_COMPONENTTYPE_SRC_WAVEOUT, 0x1001, {Volume(51, 65535, 65535)}},
            {1, 1, MIXERLINE_COMPONENTTYPE_SRC_MICROPHONE, 0x1002, {Volume(kSpeakersMicVolume, 65535, 0)}},
            {2, kDestination, MIXERLINE_COMPONENTTYPE_DST_WAVEIN, 0x2000, {}},
            {2, 0, MIXERLINE_COMPONENTTYPE_SRC_LINE, 0x2001, {Volume(41, 65535, 100)}},
            {2, 1, MIXERLINE_COMPONENTTYPE_SRC_MICROPHONE, 0x2002, {Volume(kWaveInMicVolume, 1000, 250)}}};
        return mixer;
    }

    HMIXER Handle() const { return reinterpret_cast<HMIXER>(static_cast<INT_PTR>(0x4D49)); }

    FakeControl* Control(DWORD id)
    {
        for (FakeLine& line : lines)
            for (FakeControl& control : line.controls)
                if (control.id == id)
                    return &control;
        return nullptr;
    }

    MMRESULT GetDevCaps(UINT_PTR device, MIXERCAPSA* caps) override
    {
        if (device != 0 && device != reinterpret_cast<UINT_PTR>(Handle()))
            return MMSYSERR_BADDEVICEID;
        *caps = MIXERCAPSA{};
        caps->cDestinations = static_cast<DWORD>(std::count_if(lines.begin(), lines.end(), IsDestination));
        return MMSYSERR_NOERROR;
    }
    MMRESULT Open(HMIXER* mixer, UINT device, HWND notify) override
    {
        if (failOpen || device != 0)
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
        const DWORD source = query == MIXER_GETLINEINFOF_SOURCE ? line->dwSource : kDestination;
        const bool byPlace = query == MIXER_GETLINEINFOF_DESTINATION || query == MIXER_GETLINEINFOF_SOURCE;
        for (const FakeLine& found : lines) {
            if (query == MIXER_GETLINEINFOF_LINEID ? found.lineId == line->dwLineID
                                                   : byPlace && found.destination == line->dwDestination &&
                                                         found.source == source) {
                // A destination's sources: the other lines of its destination.
                const auto ofDestination = [&found](const FakeLine& other) {
                    return other.destination == found.destination;
                };
                const DWORD sources = std::count_if(lines.begin(), lines.end(), ofDestination) - 1;
                line->dwDestination = found.destination;
                line->dwSource = IsDestination(found) ? 0 : found.source;
                line->dwLineID = found.lineId;
                line->dwComponentType = found.componentType;
                line->cConnections = IsDestination(found) ? sources : 0;
                line->cControls = found.claimedControls != 0 ? found.claimedControls : found.controls.size();
                return MMSYSERR_NOERROR;
            }
        }
        return MIXERR_INVALLINE;
    }
    MMRESULT GetLineControls(HMIXER mixer, MIXERLINECONTROLSA* query, DWORD flags) override
    {
        const FakeLine* line = nullptr;
        for (const FakeLine& candidate : lines)
            line = candidate.lineId == query->dwLineID ? &candidate : line;
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
        if (control != nullptr)
            std::memcpy(details->paDetails, control->values.data(), control->values.size() * sizeof(DWORD));
        return control != nullptr ? MMSYSERR_NOERROR : MMSYSERR_INVALPARAM;
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

    bool failOpen = false;
    bool failLineInfo = false;
    std::vector<FakeLine> lines;
    HWND notifyWindow = nullptr;
    int opens = 0;
    int closes = 0;
    std::vector<std::pair<DWORD, std::vector<DWORD>>> writes;   // control, values written

private:
    static bool IsDestination(const FakeLine& line) { return line.source == kDestination; }

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
