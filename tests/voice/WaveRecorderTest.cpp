// The recorder's contract with the dialog: fixed format, block bounds, and the
// order in which it drives the wave-in device and gives up.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "voice/WaveRecorder.h"

namespace {

using ::testing::_;
using ::testing::NiceMock;
using ::testing::Return;

class MockWaveIn : public IWaveInDevice
{
public:
    MOCK_METHOD(MMRESULT, Open, (HWAVEIN*, const WAVEFORMATEX*), (override));
    MOCK_METHOD(MMRESULT, PrepareHeader, (HWAVEIN, WAVEHDR*), (override));
    MOCK_METHOD(MMRESULT, UnprepareHeader, (HWAVEIN, WAVEHDR*), (override));
    MOCK_METHOD(MMRESULT, AddBuffer, (HWAVEIN, WAVEHDR*), (override));
    MOCK_METHOD(MMRESULT, Start, (HWAVEIN), (override));
    MOCK_METHOD(MMRESULT, Stop, (HWAVEIN), (override));
    MOCK_METHOD(MMRESULT, Reset, (HWAVEIN), (override));
    MOCK_METHOD(MMRESULT, Close, (HWAVEIN), (override));
};

class RecorderOver : public CWaveRecorder
{
public:
    explicit RecorderOver(IWaveInDevice& device) : CWaveRecorder(3000, 100, device) {}
};

TEST(WaveRecorderFormat, IsElevenKilohertzSixteenBitMono)
{
    CWaveRecorder recorder(3000, 100);
    const WAVEFORMATEX& format = recorder.GetFormat();
    EXPECT_EQ(format.wFormatTag, WAVE_FORMAT_PCM);
    EXPECT_EQ(format.nChannels, 1);
    EXPECT_EQ(format.nSamplesPerSec, 11025u);
    EXPECT_EQ(format.nAvgBytesPerSec, 22050u);
    EXPECT_EQ(format.nBlockAlign, 2);
    EXPECT_EQ(format.wBitsPerSample, 16);
    EXPECT_EQ(recorder.GetTickMs(), 100);
    EXPECT_FALSE(recorder.IsRecording());
}

TEST(WaveRecorderBlock, StartsWithoutAUsableBlock)
{
    CWaveRecorder recorder(3000, 100);
    EXPECT_EQ(recorder.GetBufferSize(), 0u);
    EXPECT_EQ(recorder.GetSample(0), 0);
    EXPECT_EQ(recorder.AllocBuffer(), 0);
}

TEST(WaveRecorderBlock, ThreeSecondsHold33075Samples)
{
    CWaveRecorder recorder(3000, 100);
    recorder.SetDuration(3);
    EXPECT_EQ(recorder.GetBufferSize(), 66150u);
    ASSERT_EQ(recorder.AllocBuffer(), 1);
    EXPECT_EQ(recorder.GetSampleCount(), 33075);
    EXPECT_EQ(recorder.GetSample(33075), 0);
    EXPECT_EQ(recorder.GetSample(100000), 0);
    EXPECT_EQ(recorder.GetSample(-1), 0);
}

TEST(WaveRecorderBlock, FreeingLeavesNoBlockToRead)
{
    CWaveRecorder recorder(3000, 100);
    recorder.SetDuration(3);
    ASSERT_EQ(recorder.AllocBuffer(), 1);
    recorder.FreeBuffer();
    EXPECT_EQ(recorder.GetSample(0), 0);
    recorder.FreeBuffer();   // a second release is harmless
}

// Wine here has no audio device, like a PC without a microphone.
TEST(WaveRecorderMicrophone, StartWithoutADeviceFailsAndDoesNotRecord)
{
    if (waveInGetNumDevs() != 0)
        GTEST_SKIP() << "this machine has a wave-in device";
    CWaveRecorder recorder(3000, 100);
    recorder.SetDuration(3);
    ASSERT_EQ(recorder.AllocBuffer(), 1);
    EXPECT_EQ(recorder.Start(), 0);
    EXPECT_FALSE(recorder.IsRecording());
    EXPECT_NE(recorder.GetLastResult(), static_cast<MMRESULT>(MMSYSERR_NOERROR));
}

TEST(WaveRecorderMicrophone, StopOfANeverOpenedDeviceFails)
{
    CWaveRecorder recorder(3000, 100);
    EXPECT_EQ(recorder.Stop(), 0);
    EXPECT_FALSE(recorder.IsRecording());
}

TEST(WaveRecorderDevice, StartPreparesAddsAndStartsInOrder)
{
    NiceMock<MockWaveIn> device;
    RecorderOver recorder(device);
    recorder.SetDuration(3);
    ASSERT_EQ(recorder.AllocBuffer(), 1);

    ::testing::InSequence order;
    EXPECT_CALL(device, Open(_, _)).WillOnce(Return(MMSYSERR_NOERROR));
    EXPECT_CALL(device, PrepareHeader(_, _)).WillOnce([](HWAVEIN, WAVEHDR* header) {
        EXPECT_EQ(header->dwBufferLength, 66150u);
        EXPECT_EQ(header->dwBytesRecorded, 66150u);
        EXPECT_EQ(header->dwFlags, 0u);
        EXPECT_EQ(header->dwLoops, 0u);
        EXPECT_NE(header->lpData, nullptr);
        return MMRESULT(MMSYSERR_NOERROR);
    });
    EXPECT_CALL(device, AddBuffer(_, _)).WillOnce(Return(MMSYSERR_NOERROR));
    EXPECT_CALL(device, Start(_)).WillOnce(Return(MMSYSERR_NOERROR));
    EXPECT_EQ(recorder.Start(), 1);
    EXPECT_TRUE(recorder.IsRecording());
}

TEST(WaveRecorderDevice, StartGivesUpAtTheFirstFailure)
{
    NiceMock<MockWaveIn> device;
    RecorderOver recorder(device);
    EXPECT_CALL(device, Open(_, _)).WillOnce(Return(MMSYSERR_NOERROR));
    EXPECT_CALL(device, PrepareHeader(_, _)).WillOnce(Return(MMSYSERR_NOMEM));
    EXPECT_CALL(device, AddBuffer(_, _)).Times(0);
    EXPECT_CALL(device, Start(_)).Times(0);
    EXPECT_EQ(recorder.Start(), 0);
    EXPECT_FALSE(recorder.IsRecording());
    EXPECT_EQ(recorder.GetLastResult(), static_cast<MMRESULT>(MMSYSERR_NOMEM));
}

TEST(WaveRecorderDevice, StopEndsAtAFailedResetAndReportsIt)
{
    NiceMock<MockWaveIn> device;
    RecorderOver recorder(device);
    EXPECT_CALL(device, Stop(_)).WillOnce(Return(MMSYSERR_NOERROR));
    EXPECT_CALL(device, Reset(_)).WillOnce(Return(MMSYSERR_ERROR));
    EXPECT_CALL(device, UnprepareHeader(_, _)).Times(0);
    EXPECT_CALL(device, Close(_)).Times(0);
    EXPECT_EQ(recorder.Stop(), 0);
}

TEST(WaveRecorderDevice, StopSucceedsEvenWhenUnpreparingFails)
{
    NiceMock<MockWaveIn> device;
    RecorderOver recorder(device);
    EXPECT_CALL(device, Stop(_)).WillOnce(Return(MMSYSERR_NOERROR));
    EXPECT_CALL(device, Reset(_)).WillOnce(Return(MMSYSERR_NOERROR));
    EXPECT_CALL(device, UnprepareHeader(_, _)).WillOnce(Return(WAVERR_STILLPLAYING));
    EXPECT_CALL(device, Close(_)).Times(0);
    EXPECT_EQ(recorder.Stop(), 1);
    EXPECT_EQ(recorder.GetLastResult(), static_cast<MMRESULT>(WAVERR_STILLPLAYING));
}

}  // namespace
