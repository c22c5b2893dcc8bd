// A mixer for tests: lines, sources and controls held in plain structures,
// answering the mixer calls the way the system's mixer does, and keeping
// every value written. SoundCard() is a typical card: speakers with volume
// and mute and a microphone source; a wave-in line with a microphone and a
// line-in source.
#pragma once

#include <windows.h>
#include <mmsystem.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "voice/MixerDevice.h"

namespace voicetest {

struct FakeControl {
    DWORD id;
    DWORD type;
    DWORD maximum;
    DWORD flags;   // MIXERCONTROL_CONTROLF_MULTIPLE for a control of several items
    DWORD items;
    std::vector<DWORD> values;
};

struct FakeLine {
    DWORD componentType;
    DWORD lineId;
    std::string name;
    std::vector<FakeControl> controls;
    std::vector<FakeLine> sources;
};

class CFakeMixer : public IMixerDevice {
public:
    enum : DWORD {
        kSpeakersVolume = 11, kSpeakersMute = 12, kSpeakersMicVolume = 21, kWaveInMicVolume = 31,
        kLineInVolume = 41
    };

    static CFakeMixer SoundCard()
    {
        CFakeMixer mixer;
        FakeLine speakers{MIXERLINE_COMPONENTTYPE_DST_SPEAKERS, 0x1000, "Speakers", {}, {}};
        speakers.controls = {Volume(kSpeakersVolume, 65535, 32768), Mute(kSpeakersMute)};
        speakers.sources = {
            FakeLine{MIXERLINE_COMPONENTTYPE_SRC_WAVEOUT, 0x1001, "Wave", {Volume(51, 65535, 65535)}, {}},
            FakeLine{MIXERLINE_COMPONENTTYPE_SRC_MICROPHONE, 0x1002, "Mic", {Volume(kSpeakersMicVolume, 65535, 0)},
                     {}}};
        FakeLine waveIn{MIXERLINE_COMPONENTTYPE_DST_WAVEIN, 0x2000, "Recording", {}, {}};
        waveIn.sources = {
            FakeLine{MIXERLINE_COMPONENTTYPE_SRC_LINE, 0x2001, "Line", {Volume(kLineInVolume, 65535, 100)}, {}},
            FakeLine{MIXERLINE_COMPONENTTYPE_SRC_MICROPHONE, 0x2002, "Mic", {Volume(kWaveInMicVolume, 1000, 250)},
                     {}}};
        mixer.destinations = {FakeLine{MIXERLINE_COMPONENTTYPE_DST_HEADPHONES, 0x3000, "Phones", {}, {}},
                              std::move(speakers), std::move(waveIn)};
        return mixer;
    }

    static FakeControl Volume(DWORD id, DWORD maximum, DWORD value)
    {
        return FakeControl{id, MIXERCONTROL_CONTROLTYPE_VOLUME, maximum, 0, 0, {value}};
    }

    static FakeControl Mute(DWORD id) { return FakeControl{id, MIXERCONTROL_CONTROLTYPE_MUTE, 1, 0, 0, {0}}; }

    FakeControl* Control(DWORD id)
    {
        for (FakeLine& destination : destinations) {
            if (FakeControl* control = ControlOf(destination, id))
                return control;
            for (FakeLine& source : destination.sources)
                if (FakeControl* control = ControlOf(source, id))
                    return control;
        }
        return nullptr;
    }

    HMIXER Handle() const { return reinterpret_cast<HMIXER>(static_cast<INT_PTR>(0x4D49)); }

    MMRESULT GetDevCaps(UINT_PTR device, MIXERCAPSA* caps) override
    {
        if (!present || (device != 0 && device != reinterpret_cast<UINT_PTR>(Handle())))
            return MMSYSERR_BADDEVICEID;
        *caps = MIXERCAPSA{};
        std::strcpy(caps->szPname, "Fake mixer");
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
        if (mixer != Handle())
            return MMSYSERR_INVALHANDLE;
        ++closes;
        return MMSYSERR_NOERROR;
    }

    MMRESULT GetLineInfo(HMIXER mixer, MIXERLINEA* line, DWORD flags) override
    {
        if (mixer != Handle() || line->cbStruct != sizeof(MIXERLINEA))
            return MMSYSERR_INVALPARAM;
        if (failLineInfo)
            return MMSYSERR_ERROR;
        const FakeLine* found = nullptr;
        DWORD destination = 0, source = 0;
        switch (flags & MIXER_GETLINEINFOF_QUERYMASK) {
        case MIXER_GETLINEINFOF_DESTINATION:
            destination = line->dwDestination;
            if (destination < destinations.size())
                found = &destinations[destination];
            break;
        case MIXER_GETLINEINFOF_SOURCE:
            destination = line->dwDestination;
            source = line->dwSource;
            if (destination < destinations.size() && source < destinations[destination].sources.size())
                found = &destinations[destination].sources[source];
            break;
        case MIXER_GETLINEINFOF_LINEID:
            for (DWORD d = 0; d < destinations.size() && found == nullptr; ++d) {
                if (destinations[d].lineId == line->dwLineID)
                    found = &destinations[d], destination = d;
                for (DWORD s = 0; s < destinations[d].sources.size() && found == nullptr; ++s)
                    if (destinations[d].sources[s].lineId == line->dwLineID)
                        found = &destinations[d].sources[s], destination = d, source = s;
            }
            break;
        default:
            return MMSYSERR_NOTSUPPORTED;
        }
        if (found == nullptr)
            return MIXERR_INVALLINE;
        line->dwDestination = destination;
        line->dwSource = source;
        line->dwLineID = found->lineId;
        line->dwComponentType = found->componentType;
        line->cConnections = static_cast<DWORD>(found->sources.size());
        line->cControls = static_cast<DWORD>(found->controls.size());
        std::strncpy(line->szName, found->name.c_str(), sizeof line->szName - 1);
        return MMSYSERR_NOERROR;
    }

    MMRESULT GetLineControls(HMIXER mixer, MIXERLINECONTROLSA* query, DWORD flags) override
    {
        if (mixer != Handle() || (flags & MIXER_GETLINECONTROLSF_QUERYMASK) != MIXER_GETLINECONTROLSF_ALL ||
            query->cbmxctrl != sizeof(MIXERCONTROLA))
            return MMSYSERR_INVALPARAM;
        const FakeLine* line = Line(query->dwLineID);
        if (line == nullptr)
            return MIXERR_INVALLINE;
        if (query->cControls != line->controls.size())
            return MMSYSERR_INVALPARAM;
        for (size_t i = 0; i < line->controls.size(); ++i) {
            const FakeControl& control = line->controls[i];
            MIXERCONTROLA& out = query->pamxctrl[i];
            out = MIXERCONTROLA{};
            out.cbStruct = sizeof out;
            out.dwControlID = control.id;
            out.dwControlType = control.type;
            out.fdwControl = control.flags;
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
    static FakeControl* ControlOf(FakeLine& line, DWORD id)
    {
        for (FakeControl& control : line.controls)
            if (control.id == id)
                return &control;
        return nullptr;
    }

    const FakeLine* Line(DWORD lineId) const
    {
        for (const FakeLine& destination : destinations) {
            if (destination.lineId == lineId)
                return &destination;
            for (const FakeLine& source : destination.sources)
                if (source.lineId == lineId)
                    return &source;
        }
        return nullptr;
    }

    // The control a details call names, when the call is formed as the system wants it.
    FakeControl* Checked(HMIXER mixer, MIXERCONTROLDETAILS* details)
    {
        if (mixer != Handle() || details->cbStruct != sizeof(MIXERCONTROLDETAILS) || details->cChannels != 1 ||
            details->cbDetails != sizeof(DWORD))
            return nullptr;
        FakeControl* control = Control(details->dwControlID);
        if (control == nullptr || details->cMultipleItems != control->items)
            return nullptr;
        return control;
    }
};

}  // namespace voicetest
