// The volume bars' mixer over a fake one (FakeMixer.h).
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "FakeMixer.h"
#include "voice/VolumeMixer.h"

namespace {

using sonvera_test::CFakeMixer;
using sonvera_test::FakeControl;

class CFakeBars : public IVolumeBars {
public:
    void SetBarPos(const CString& strName, int nPos) override
    {
        positions[strName.str()] = nPos;
        ++sets;
    }
    int GetBarPos(const CString& strName) override { return positions[strName.str()]; }

    std::map<std::string, int> positions;
    int sets = 0;
};

const HWND kDialog = reinterpret_cast<HWND>(static_cast<INT_PTR>(0xD1A));

class VolumeMixerTest : public ::testing::Test {
protected:
    CFakeMixer m_device = CFakeMixer::SoundCard();
    CFakeBars m_bars;
    CVolumeMixer m_mixer{m_device, m_bars};
};

TEST_F(VolumeMixerTest, FindsTheLinesAndKeepsTheBarsAndTheControlsInStep)
{
    // The last volume control of a line wins (the speakers' writes go to 13).
    m_device.lines[1].controls.push_back(CFakeMixer::Volume(13, 65535, 32768));
    m_mixer.Init(kDialog);
    // Where the bars do not show it: the speakers' own microphone source.
    EXPECT_EQ(static_cast<DWORD>(CFakeMixer::kSpeakersMicVolume),
              m_mixer.SpeakersMicrophone().volumeControl.dwControlID);
    // 32768 of 65535 shows as 50, 250 of 1000 as 25.
    EXPECT_EQ((std::map<std::string, int>{{"SPEAKER", 50}, {"MIC", 25}}), m_bars.positions);

    m_bars.positions["MIC"] = 100;
    m_mixer.OnBarChanged("MIC", false);   // while the dialog is being built: nothing
    m_mixer.OnBarChanged("MIC", true);
    m_bars.positions["SPEAKER"] = 33;
    m_mixer.OnBarChanged("SPEAKER", true);
    for (int outside : {101, -1}) {   // just past either end: nothing written
        m_bars.positions["SPEAKER"] = outside;
        m_mixer.OnBarChanged("SPEAKER", true);
    }
    m_mixer.OnBarChanged("LEVEL", true);   // not a mixer bar
    using Writes = std::vector<std::pair<DWORD, std::vector<DWORD>>>;
    EXPECT_EQ((Writes{{CFakeMixer::kWaveInMicVolume, {1000}}, {13, {21626}}}), m_device.writes);

    m_bars.positions = {{"SPEAKER", 50}, {"MIC", 25}};
    m_device.Control(CFakeMixer::kWaveInMicVolume)->values = {900};
    m_device.Control(13)->values = {0};
    m_mixer.OnControlChange(m_device.Handle(), CFakeMixer::kSpeakersMicVolume);   // not a bar's
    m_mixer.OnControlChange(reinterpret_cast<HMIXER>(static_cast<INT_PTR>(7)), 13);
    EXPECT_EQ((std::map<std::string, int>{{"SPEAKER", 50}, {"MIC", 25}}), m_bars.positions);
    m_mixer.OnControlChange(m_device.Handle(), CFakeMixer::kWaveInMicVolume);
    EXPECT_EQ((std::map<std::string, int>{{"SPEAKER", 50}, {"MIC", 90}}), m_bars.positions);
}

// However far above the maximum (the share x 100 can pass the int range).
TEST_F(VolumeMixerTest, AValueAboveTheMaximumShowsAFullBar)
{
    const struct {
        DWORD maximum, value;
    } cases[] = {{65535, 65536}, {100, 0xFFFFFFFFu}, {1, 0x80000000u}};
    for (const auto& c : cases) {
        FakeControl& microphone = *m_device.Control(CFakeMixer::kWaveInMicVolume);
        microphone = CFakeMixer::Volume(microphone.id, c.maximum, c.value);
        m_mixer.Init(kDialog);
        EXPECT_EQ(100, m_bars.positions["MIC"]) << c.maximum << " " << c.value;
    }
}

// A second start closes the mixer the first opened.
TEST_F(VolumeMixerTest, ControlsUseEverySlotUpToTenAndMuteWritesOneOrZero)
{
    FakeControl& volume = m_device.lines[1].controls[0];
    volume = FakeControl{volume.id, volume.type, 65535, 3, {65535, 0, 32768}};
    m_mixer.Init(kDialog);
    m_mixer.Init(kDialog);
    EXPECT_EQ(1, m_device.closes);
    EXPECT_EQ(8, m_bars.sets);                    // three slots and the microphone, each start
    EXPECT_EQ(50, m_bars.positions["SPEAKER"]);   // the last slot's
    m_bars.positions["SPEAKER"] = 10;
    m_mixer.OnBarChanged("SPEAKER", true);
    EXPECT_EQ((std::vector<DWORD>{6553, 6553, 6553}), volume.values);

    volume.items = 11;   // more slots than one call carries: left alone
    volume.values.assign(11, 0);
    m_mixer.ReadControls(m_mixer.Speakers());
    m_mixer.OnBarChanged("SPEAKER", true);
    EXPECT_EQ(std::vector<DWORD>(11, 0), volume.values);

    m_mixer.WriteMute(m_mixer.Speakers(), 7);
    EXPECT_EQ(std::vector<DWORD>{1}, m_device.Control(CFakeMixer::kSpeakersMute)->values);
    m_mixer.WriteMute(m_mixer.Speakers(), 0);
    EXPECT_EQ(std::vector<DWORD>{0}, m_device.Control(CFakeMixer::kSpeakersMute)->values);
}

// Rather than asking for room for any number a faulty driver claims.
TEST_F(VolumeMixerTest, ALineClaimingCountlessControlsIsLeftAlone)
{
    m_device.lines[1].claimedControls = 0xFFFFFFFFu;   // the speakers
    m_mixer.Init(kDialog);
    EXPECT_EQ((std::map<std::string, int>{{"MIC", 25}}), m_bars.positions);
    m_mixer.OnBarChanged("SPEAKER", true);
    EXPECT_TRUE(m_device.writes.empty());
}

// A mixer that cannot be opened, or whose lines cannot be read once it is.
TEST_F(VolumeMixerTest, WithoutAMixerNothingIsDrivenOrWritten)
{
    for (bool opens : {false, true}) {
        CFakeMixer device = CFakeMixer::SoundCard();
        device.failOpen = !opens;
        device.failLineInfo = opens;
        CFakeBars bars;
        {
            CVolumeMixer mixer(device, bars);
            mixer.Init(kDialog);
            mixer.OnBarChanged("SPEAKER", true);
            mixer.OnBarChanged("MIC", true);
            mixer.WriteMute(mixer.Speakers(), 1);
            mixer.OnControlChange(device.Handle(), 0);
        }
        EXPECT_EQ(0, bars.sets) << opens;
        EXPECT_TRUE(device.writes.empty()) << opens;
        EXPECT_EQ(device.opens, device.closes) << opens;
    }
}
}  // namespace
