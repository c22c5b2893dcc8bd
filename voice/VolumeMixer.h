// CVolumeMixer: the first Windows mixer as the voice dialog's two volume bars
// see it. It finds the speakers line, the wave-in line and the microphone
// source of each, keeps the "SPEAKER" bar on the speakers' volume and the
// "MIC" bar on the wave-in line's microphone, follows changes other programs
// make (the mixer's control-change notification), and writes a moved bar
// back. With no mixer, or no matching line or control, the bars are simply not
// driven. The dialog's mixer operations are this class's, one to one.
#pragma once

#include <windows.h>
#include <mmsystem.h>

#include "fw/Api.h"
#include "fw/String.h"
#include "voice/MixerControlStruct.h"
#include "voice/MixerDevice.h"
#include "voice/VolumeBars.h"

class SONVERA_API CVolumeMixer
{
public:
    // Value slots read or written in one call; a control with more is left alone.
    static const int kMaxSlots = 10;

    CVolumeMixer(IMixerDevice& device, IVolumeBars& bars);
    ~CVolumeMixer();   // closes the mixer
    CVolumeMixer(const CVolumeMixer&) = delete;
    CVolumeMixer& operator=(const CVolumeMixer&) = delete;

    // Opens mixer 0 with the window as notification target; when it opens,
    // finds the lines and shows their volumes (MixerInit).
    void Init(HWND hNotify);
    // The open mixer, or null when the device's capabilities cannot be read
    // or it does not open (MixDevice).
    HMIXER OpenDevice(UINT nDevice, HWND hNotify);
    void Close();

    // Finds the speakers and wave-in lines, their microphones, and shows the
    // volumes (GetDevice).
    void FindLines();
    // Reads the line's controls: the last volume control and the last mute
    // control win (GetDeviceCtrl).
    void ReadControls(MixerControlStruct& line);
    // The first microphone source of the speakers line, and of the wave-in
    // line (GetMicDevice, GetWavDevice).
    void FindSpeakersMicrophone();
    void FindWaveInMicrophone();

    // Both bars from the mixer (MixerCtrl); one bar from one line (VolDevice):
    // position = value / maximum x 100, truncated, at most 100.
    void ShowVolumes();
    void ShowVolume(const MixerControlStruct& line, const CString& strBar);
    // The bar's position back to the line's volume: value = maximum x
    // position x 0.01, truncated. Nothing is written unless bWritable, nor
    // when a position lies outside 0..100 (SetDeviceCtrl).
    void WriteVolume(const MixerControlStruct& line, const CString& strBar, bool bWritable);
    // 1 (mute) or 0 into every slot of the line's mute control (CheckMute).
    void WriteMute(const MixerControlStruct& line, int bMute);

    // The mixer's control-change notification: the bar of the changed volume
    // follows it (OnMixerCtrlChange).
    void OnControlChange(HMIXER hMixer, DWORD dwControlID);
    // The user moved a bar (ProgressChanged).
    void OnBarChanged(const CString& strBar, bool bWritable);

    HMIXER GetHandle() const { return m_hMixer; }
    MixerControlStruct& Speakers() { return m_speakers; }
    MixerControlStruct& WaveIn() { return m_waveIn; }
    MixerControlStruct& Microphone() { return m_microphone; }
    MixerControlStruct& SpeakersMicrophone() { return m_speakersMicrophone; }

private:
    void FindSourceMicrophone(const MixerControlStruct& destination, MixerControlStruct& microphone);
    void FillDestination(MixerControlStruct& record, const MIXERLINEA& line);

    IMixerDevice& m_device;
    IVolumeBars& m_bars;
    HMIXER m_hMixer;
    MixerControlStruct m_speakers;
    MixerControlStruct m_waveIn;
    MixerControlStruct m_microphone;            // of the wave-in line: the "MIC" bar
    MixerControlStruct m_speakersMicrophone;    // of the speakers line
};
