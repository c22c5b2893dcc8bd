#include "voice/VolumeMixer.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

const char kSpeakerBar[] = "SPEAKER";
const char kMicBar[] = "MIC";

// Controls read of one line. Real lines have a few; a line claiming more (a
// faulty driver) is left alone rather than asked for room for them all.
const DWORD kMaxControls = 256;

bool HasControl(const MIXERCONTROLA& control)
{
    return control.cbStruct != 0;
}

// Value slots of a control: its item count when it has several, else one; 0
// when there are more than one call can carry.
DWORD SlotsOf(const MIXERCONTROLA& control)
{
    const DWORD slots = (control.fdwControl & MIXERCONTROL_CONTROLF_MULTIPLE) ? control.cMultipleItems : 1;
    return slots <= static_cast<DWORD>(CVolumeMixer::kMaxSlots) ? slots : 0;
}

// The "value" form of a control's details: one channel, the control's items.
MIXERCONTROLDETAILS ValueDetails(const MIXERCONTROLA& control, DWORD cbDetails, void* values)
{
    MIXERCONTROLDETAILS details = {};
    details.cbStruct = sizeof details;
    details.dwControlID = control.dwControlID;
    details.cChannels = 1;
    details.cMultipleItems = control.cMultipleItems;
    details.cbDetails = cbDetails;
    details.paDetails = values;
    return details;
}

MIXERLINEA EmptyLine()
{
    MIXERLINEA line = {};
    line.cbStruct = sizeof line;
    return line;
}

}  // namespace

CVolumeMixer::CVolumeMixer(IMixerDevice& device, IVolumeBars& bars)
    : m_device(device), m_bars(bars), m_hMixer(nullptr), m_speakers(), m_waveIn(), m_microphone(),
      m_speakersMicrophone()
{
}

CVolumeMixer::~CVolumeMixer()
{
    Close();
}

void CVolumeMixer::Init(HWND hNotify)
{
    Close();
    m_hMixer = OpenDevice(0, hNotify);
    if (m_hMixer != nullptr)
        FindLines();
}

HMIXER CVolumeMixer::OpenDevice(UINT nDevice, HWND hNotify)
{
    MIXERCAPSA caps = {};
    if (m_device.GetDevCaps(nDevice, &caps) != MMSYSERR_NOERROR)
        return nullptr;
    HMIXER mixer = nullptr;
    if (m_device.Open(&mixer, nDevice, hNotify) != MMSYSERR_NOERROR)
        return nullptr;
    return mixer;
}

void CVolumeMixer::Close()
{
    if (m_hMixer == nullptr)
        return;
    m_device.Close(m_hMixer);
    m_hMixer = nullptr;
}

void CVolumeMixer::FindLines()
{
    MIXERCAPSA caps = {};
    const DWORD destinations = m_device.GetDevCaps(reinterpret_cast<UINT_PTR>(m_hMixer), &caps) == MMSYSERR_NOERROR
                                   ? caps.cDestinations
                                   : 0;
    for (DWORD index = 0; index < destinations; ++index) {
        MIXERLINEA line = EmptyLine();
        line.dwDestination = index;
        if (m_device.GetLineInfo(m_hMixer, &line, MIXER_GETLINEINFOF_DESTINATION) != MMSYSERR_NOERROR)
            continue;
        if (line.dwComponentType == MIXERLINE_COMPONENTTYPE_DST_SPEAKERS) {
            FillDestination(m_speakers, line);
            ReadControls(m_speakers);
        } else if (line.dwComponentType == MIXERLINE_COMPONENTTYPE_DST_WAVEIN) {
            FillDestination(m_waveIn, line);
        }
    }
    FindSpeakersMicrophone();
    FindWaveInMicrophone();
    ShowVolumes();
}

void CVolumeMixer::FillDestination(MixerControlStruct& record, const MIXERLINEA& line)
{
    record.nIndex = static_cast<short>(line.dwDestination);
    record.nConnections = static_cast<short>(line.cConnections);
    record.dwLineID = line.dwLineID;
    std::memcpy(record.szName, line.szName, sizeof record.szName);
    record.szName[sizeof record.szName - 1] = '\0';
}

void CVolumeMixer::ReadControls(MixerControlStruct& record)
{
    MIXERLINEA line = EmptyLine();
    line.dwLineID = record.dwLineID;
    if (m_device.GetLineInfo(m_hMixer, &line, MIXER_GETLINEINFOF_LINEID) != MMSYSERR_NOERROR ||
        line.cControls == 0 || line.cControls > kMaxControls)
        return;
    std::vector<MIXERCONTROLA> controls(line.cControls);
    MIXERLINECONTROLSA query = {};
    query.cbStruct = sizeof query;
    query.dwLineID = record.dwLineID;
    query.cControls = line.cControls;
    query.cbmxctrl = sizeof(MIXERCONTROLA);
    query.pamxctrl = controls.data();
    if (m_device.GetLineControls(m_hMixer, &query, MIXER_GETLINECONTROLSF_ALL) != MMSYSERR_NOERROR)
        return;
    for (const MIXERCONTROLA& control : controls) {
        if (control.dwControlType == MIXERCONTROL_CONTROLTYPE_VOLUME) {
            record.volumeControl = control;
            record.dwVolumeMax = control.Bounds.dwMaximum;
        } else if (control.dwControlType == MIXERCONTROL_CONTROLTYPE_MUTE) {
            record.muteControl = control;
        }
    }
}

void CVolumeMixer::FindSpeakersMicrophone()
{
    FindSourceMicrophone(m_speakers, m_speakersMicrophone);
}

void CVolumeMixer::FindWaveInMicrophone()
{
    FindSourceMicrophone(m_waveIn, m_microphone);
}

void CVolumeMixer::FindSourceMicrophone(const MixerControlStruct& destination, MixerControlStruct& microphone)
{
    for (short source = 0; source < destination.nConnections; ++source) {
        MIXERLINEA line = EmptyLine();
        line.dwDestination = static_cast<DWORD>(destination.nIndex);
        line.dwSource = static_cast<DWORD>(source);
        if (m_device.GetLineInfo(m_hMixer, &line, MIXER_GETLINEINFOF_SOURCE) != MMSYSERR_NOERROR ||
            line.dwComponentType != MIXERLINE_COMPONENTTYPE_SRC_MICROPHONE)
            continue;
        microphone.nIndex = source;
        microphone.dwLineID = line.dwLineID;
        ReadControls(microphone);
        return;
    }
}

void CVolumeMixer::ShowVolumes()
{
    ShowVolume(m_speakers, kSpeakerBar);
    ShowVolume(m_microphone, kMicBar);
}

void CVolumeMixer::ShowVolume(const MixerControlStruct& line, const CString& strBar)
{
    const MIXERCONTROLA& control = line.volumeControl;
    const DWORD slots = SlotsOf(control);
    if (!HasControl(control) || slots == 0 || line.dwVolumeMax == 0)
        return;
    MIXERCONTROLDETAILS_UNSIGNED values[kMaxSlots] = {};
    MIXERCONTROLDETAILS details = ValueDetails(control, sizeof values[0], values);
    if (m_device.GetControlDetails(m_hMixer, &details, MIXER_GETCONTROLDETAILSF_VALUE) != MMSYSERR_NOERROR)
        return;
    if (strBar != kSpeakerBar && strBar != kMicBar)
        return;
    for (DWORD slot = 0; slot < slots; ++slot) {
        const double share = static_cast<double>(values[slot].dwValue) / line.dwVolumeMax;
        // A value above the maximum (another program's) fills the bar; far
        // above it, the percentage would not fit an int.
        m_bars.SetBarPos(strBar, static_cast<int>(std::min(share * 100, 100.0)));
    }
}

void CVolumeMixer::WriteVolume(const MixerControlStruct& line, const CString& strBar, bool bWritable)
{
    const MIXERCONTROLA& control = line.volumeControl;
    const DWORD slots = SlotsOf(control);
    if (!bWritable || !HasControl(control) || slots == 0)
        return;
    MIXERCONTROLDETAILS_UNSIGNED values[kMaxSlots] = {};
    for (DWORD slot = 0; slot < slots; ++slot) {
        const int position = m_bars.GetBarPos(strBar);
        if (position < 0 || position > 100)
            return;
        values[slot].dwValue = static_cast<DWORD>(line.dwVolumeMax * static_cast<double>(position) * 0.01);
    }
    MIXERCONTROLDETAILS details = ValueDetails(control, sizeof values[0], values);
    m_device.SetControlDetails(m_hMixer, &details, MIXER_SETCONTROLDETAILSF_VALUE);
}

void CVolumeMixer::WriteMute(const MixerControlStruct& line, int bMute)
{
    const MIXERCONTROLA& control = line.muteControl;
    const DWORD slots = SlotsOf(control);
    if (!HasControl(control) || slots == 0)
        return;
    MIXERCONTROLDETAILS_BOOLEAN values[kMaxSlots] = {};
    for (DWORD slot = 0; slot < slots; ++slot)
        values[slot].fValue = bMute != 0 ? 1 : 0;
    MIXERCONTROLDETAILS details = ValueDetails(control, sizeof values[0], values);
    m_device.SetControlDetails(m_hMixer, &details, MIXER_SETCONTROLDETAILSF_VALUE);
}

void CVolumeMixer::OnControlChange(HMIXER hMixer, DWORD dwControlID)
{
    if (hMixer == nullptr || hMixer != m_hMixer)
        return;
    if (HasControl(m_speakers.volumeControl) && dwControlID == m_speakers.volumeControl.dwControlID)
        ShowVolume(m_speakers, kSpeakerBar);
    else if (HasControl(m_microphone.volumeControl) && dwControlID == m_microphone.volumeControl.dwControlID)
        ShowVolume(m_microphone, kMicBar);
}

void CVolumeMixer::OnBarChanged(const CString& strBar, bool bWritable)
{
    if (strBar == kSpeakerBar)
        WriteVolume(m_speakers, strBar, bWritable);
    else if (strBar == kMicBar)
        WriteVolume(m_microphone, strBar, bWritable);
}
