// The volume bars' mixer: which lines and controls it finds, how values and
// bar positions convert, what a notification moves, and that without a mixer
// nothing is driven or written.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "FakeMixer.h"
#include "voice/VolumeMixer.h"
#include "voice/WinmmMixer.h"

namespace {

using voicetest::CFakeMixer;
using voicetest::FakeControl;
using voicetest::FakeLine;

class CFakeBars : public IVolumeBars {
public:
    void SetBarPos(const CString& strName, int nPos) override
    {
        positions[strName.str()] = nPos;
        ++sets;
    }
    int GetBarPos(const CString& strName) override
    {
        auto found = positions.find(strName.str());
        return found == positions.end() ? 0 : found->second;
    }

    std::map<std::string, int> positions;
    int sets = 0;
};

const HWND kDialog = reinterpret_cast<HWND>(static_cast<INT_PTR>(0xD1A));

class VolumeMixerTest : public ::testing::Test {
protected:
    CFakeMixer m_device = CFakeMixer::SoundCard();
    CFakeBars m_bars;
};

TEST_F(VolumeMixerTest, FindsTheLinesTheirMicrophonesAndShowsBothBars)
{
    CVolumeMixer mixer(m_device, m_bars);
    mixer.Init(kDialog);
    EXPECT_EQ(m_device.Handle(), mixer.GetHandle());
    EXPECT_EQ(kDialog, m_device.notifyWindow);

    EXPECT_EQ(1, mixer.Speakers().nIndex);
    EXPECT_EQ(2, mixer.Speakers().nConnections);
    EXPECT_EQ(0x1000u, mixer.Speakers().dwLineID);
    EXPECT_STREQ("Speakers", mixer.Speakers().szName);
    EXPECT_EQ(static_cast<DWORD>(CFakeMixer::kSpeakersVolume), mixer.Speakers().volumeControl.dwControlID);
    EXPECT_EQ(static_cast<DWORD>(CFakeMixer::kSpeakersMute), mixer.Speakers().muteControl.dwControlID);
    EXPECT_EQ(65535u, mixer.Speakers().dwVolumeMax);

    EXPECT_EQ(2, mixer.WaveIn().nIndex);
    EXPECT_STREQ("Recording", mixer.WaveIn().szName);
    EXPECT_EQ(0u, mixer.WaveIn().volumeControl.cbStruct);   // the wave-in line's own controls are not read

    EXPECT_EQ(1, mixer.Microphone().nIndex);   // after the line-in source
    EXPECT_EQ(0x2002u, mixer.Microphone().dwLineID);
    EXPECT_EQ(static_cast<DWORD>(CFakeMixer::kWaveInMicVolume), mixer.Microphone().volumeControl.dwControlID);
    EXPECT_EQ(1, mixer.SpeakersMicrophone().nIndex);
    EXPECT_EQ(static_cast<DWORD>(CFakeMixer::kSpeakersMicVolume),
              mixer.SpeakersMicrophone().volumeControl.dwControlID);

    // 32768 of 65535 is 50.0007 %; 250 of 1000 is 25 %.
    EXPECT_EQ((std::map<std::string, int>{{"SPEAKER", 50}, {"MIC", 25}}), m_bars.positions);
    EXPECT_TRUE(m_device.writes.empty());
}

TEST_F(VolumeMixerTest, TheLastVolumeAndMuteControlOfALineWin)
{
    FakeLine& speakers = m_device.destinations[1];
    speakers.controls.push_back(CFakeMixer::Volume(13, 200, 150));
    speakers.controls.push_back(CFakeMixer::Mute(14));
    CVolumeMixer mixer(m_device, m_bars);
    mixer.Init(kDialog);
    EXPECT_EQ(13u, mixer.Speakers().volumeControl.dwControlID);
    EXPECT_EQ(200u, mixer.Speakers().dwVolumeMax);
    EXPECT_EQ(14u, mixer.Speakers().muteControl.dwControlID);
    EXPECT_EQ(75, m_bars.positions["SPEAKER"]);
}

TEST_F(VolumeMixerTest, WithoutAMixerNothingIsDrivenOrWritten)
{
    for (int variant = 0; variant < 3; ++variant) {
        CFakeMixer device = CFakeMixer::SoundCard();
        device.present = variant != 0;
        device.failOpen = variant == 1;
        device.failLineInfo = variant == 2;
        CFakeBars bars;
        bars.positions = {{"SPEAKER", 70}, {"MIC", 100}};
        {
            CVolumeMixer mixer(device, bars);
            mixer.Init(kDialog);
            EXPECT_EQ(0u, mixer.Speakers().dwLineID);
            EXPECT_EQ(0u, mixer.Microphone().dwLineID);
            mixer.OnBarChanged("SPEAKER", true);
            mixer.OnBarChanged("MIC", true);
            mixer.WriteMute(mixer.Speakers(), 1);
            mixer.OnControlChange(device.Handle(), 0);
        }
        EXPECT_EQ(0, bars.sets) << variant;
        EXPECT_TRUE(device.writes.empty()) << variant;
        EXPECT_EQ(device.opens, device.closes) << variant;
    }
}

TEST_F(VolumeMixerTest, SystemMixerOfThisMachineNeverFailsTheDialog)
{
    // Under Wine there is no mixer; on a machine with one the bars move.
    CVolumeMixer mixer(CWinmmMixer::System(), m_bars);
    mixer.Init(nullptr);
    if (mixer.GetHandle() == nullptr) {
        EXPECT_EQ(0, m_bars.sets);
    }
    mixer.Close();
    EXPECT_EQ(nullptr, mixer.GetHandle());
}

TEST_F(VolumeMixerTest, NotificationMovesOnlyTheMatchingBar)
{
    CVolumeMixer mixer(m_device, m_bars);
    mixer.Init(kDialog);
    m_device.Control(CFakeMixer::kWaveInMicVolume)->values = {1000};
    m_device.Control(CFakeMixer::kSpeakersVolume)->values = {0};
    mixer.OnControlChange(m_device.Handle(), CFakeMixer::kWaveInMicVolume);
    EXPECT_EQ(100, m_bars.positions["MIC"]);
    EXPECT_EQ(50, m_bars.positions["SPEAKER"]);

    mixer.OnControlChange(m_device.Handle(), CFakeMixer::kLineInVolume);        // not ours
    mixer.OnControlChange(m_device.Handle(), CFakeMixer::kSpeakersMicVolume);   // not a bar's
    mixer.OnControlChange(reinterpret_cast<HMIXER>(static_cast<INT_PTR>(0x77)), CFakeMixer::kSpeakersVolume);
    EXPECT_EQ(50, m_bars.positions["SPEAKER"]);

    mixer.OnControlChange(m_device.Handle(), CFakeMixer::kSpeakersVolume);
    EXPECT_EQ(0, m_bars.positions["SPEAKER"]);
}

TEST_F(VolumeMixerTest, MovedBarIsWrittenToItsLineOnlyWhenWritable)
{
    CVolumeMixer mixer(m_device, m_bars);
    mixer.Init(kDialog);
    m_bars.positions["MIC"] = 100;
    mixer.OnBarChanged("MIC", false);   // the dialog is still being built
    EXPECT_TRUE(m_device.writes.empty());

    mixer.OnBarChanged("MIC", true);
    ASSERT_EQ(1u, m_device.writes.size());
    EXPECT_EQ(static_cast<DWORD>(CFakeMixer::kWaveInMicVolume), m_device.writes[0].first);
    EXPECT_EQ(std::vector<DWORD>{1000}, m_device.writes[0].second);
    EXPECT_EQ(std::vector<DWORD>{0}, m_device.Control(CFakeMixer::kSpeakersMicVolume)->values);

    m_bars.positions["SPEAKER"] = 33;
    mixer.OnBarChanged("SPEAKER", true);
    EXPECT_EQ(std::vector<DWORD>{21626}, m_device.Control(CFakeMixer::kSpeakersVolume)->values);   // 65535 x 0.33

    m_bars.positions["SPEAKER"] = 150;   // not a position: nothing written
    mixer.OnBarChanged("SPEAKER", true);
    m_bars.positions["SPEAKER"] = -1;
    mixer.OnBarChanged("SPEAKER", true);
    mixer.OnBarChanged("LEVEL", true);   // not a mixer bar
    EXPECT_EQ(2u, m_device.writes.size());
}

TEST_F(VolumeMixerTest, ControlsOfSeveralItemsUseEverySlotUpToTen)
{
    FakeControl& volume = m_device.destinations[1].controls[0];
    volume.flags = MIXERCONTROL_CONTROLF_MULTIPLE;
    volume.items = 3;
    volume.values = {65535, 0, 32768};
    CVolumeMixer mixer(m_device, m_bars);
    mixer.Init(kDialog);
    EXPECT_EQ(3, m_bars.sets - 1);   // one per slot, and one for the microphone
    EXPECT_EQ(50, m_bars.positions["SPEAKER"]);   // the last slot's
    m_bars.positions["SPEAKER"] = 10;
    mixer.OnBarChanged("SPEAKER", true);
    EXPECT_EQ((std::vector<DWORD>{6553, 6553, 6553}), volume.values);

    volume.items = 11;
    volume.values.assign(11, 0);
    mixer.ReadControls(mixer.Speakers());
    mixer.OnBarChanged("SPEAKER", true);
    mixer.ShowVolume(mixer.Speakers(), "SPEAKER");
    EXPECT_EQ(std::vector<DWORD>(11, 0), volume.values);
    EXPECT_EQ(10, m_bars.positions["SPEAKER"]);
}

TEST_F(VolumeMixerTest, MuteWritesOneOrZeroToEverySlot)
{
    CVolumeMixer mixer(m_device, m_bars);
    mixer.Init(kDialog);
    mixer.WriteMute(mixer.Speakers(), 7);
    EXPECT_EQ(std::vector<DWORD>{1}, m_device.Control(CFakeMixer::kSpeakersMute)->values);
    mixer.WriteMute(mixer.Speakers(), 0);
    EXPECT_EQ(std::vector<DWORD>{0}, m_device.Control(CFakeMixer::kSpeakersMute)->values);
    mixer.WriteMute(mixer.Microphone(), 1);   // no mute control there
    EXPECT_EQ(2u, m_device.writes.size());
}

TEST_F(VolumeMixerTest, ClosesTheMixerItOpened)
{
    {
        CVolumeMixer mixer(m_device, m_bars);
        mixer.Init(kDialog);
        mixer.Init(kDialog);   // a second start closes the first handle
        EXPECT_EQ(1, m_device.closes);
    }
    EXPECT_EQ(2, m_device.opens);
    EXPECT_EQ(2, m_device.closes);
}

}  // namespace
