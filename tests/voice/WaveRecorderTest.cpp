// The recorder's contract with the dialog: fixed format, block bounds, and the
// order in which it drives the wave-in device and gives up.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <vector>

#include "voice/WaveInHandle.h"
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

const HWAVEIN kHandle = reinterpret_cast<HWAVEIN>(0x42);

// A recorder over the mock, whose opens succeed and give kHandle.
class WaveRecorderDevice : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ON_CALL(m_device, Open(_, _)).WillByDefault([](HWAVEIN* handle, const WAVEFORMATEX*) {
            *handle = kHandle;
            return MMRESULT(MMSYSERR_NOERROR);
        });
    }
    // Gives the recorder a block of the seconds and starts it.
    int StartWithBlock(int seconds = 3)
    {
        m_recorder->SetDuration(seconds);
        EXPECT_EQ(m_recorder->AllocBuffer(), 1);
        return m_recorder->Start();
    }

    NiceMock<MockWaveIn> m_device;
    std::unique_ptr<RecorderOver> m_recorder = std::make_unique<RecorderOver>(m_device);
};

// Eleven kilohertz, 16-bit mono: three seconds hold 33075 samples. The block
// keeps the size it was allocated with: a longer duration set afterwards
// reaches neither the driver nor the sample reads.
TEST_F(WaveRecorderDevice, TheBlockIsSizedOnceAndBoundsEveryRead)
{
    const WAVEFORMATEX& format = m_recorder->GetFormat();
    EXPECT_EQ((std::vector<DWORD>{WAVE_FORMAT_PCM, 1, 11025, 22050, 2, 16}),
              (std::vector<DWORD>{format.wFormatTag, format.nChannels, format.nSamplesPerSec, format.nAvgBytesPerSec,
                                  format.nBlockAlign, format.wBitsPerSample}));
    // No block before a duration is set, and no start without one.
    EXPECT_EQ(m_recorder->AllocBuffer(), 0);
    EXPECT_CALL(m_device, Open(_, _)).Times(0);
    EXPECT_EQ(m_recorder->Start(), 0);
    ::testing::Mock::VerifyAndClearExpectations(&m_device);
    m_recorder->SetDuration(3);
    ASSERT_EQ(m_recorder->AllocBuffer(), 1);
    EXPECT_EQ(m_recorder->GetSampleCount(), 33075);
    for (int outside : {33075, 100000, -1})
        EXPECT_EQ(m_recorder->GetSample(outside), 0) << outside;
    m_recorder->FreeBuffer();
    EXPECT_EQ(m_recorder->GetSample(0), 0);   // none to read after it is freed
    m_recorder->FreeBuffer();                 // a second release is harmless

    m_recorder->SetDuration(1);
    ASSERT_EQ(m_recorder->AllocBuffer(), 1);
    m_recorder->SetDuration(3);
    EXPECT_EQ(m_recorder->GetSampleCount(), 11025);
    EXPECT_EQ(m_recorder->GetSample(11025), 0);
    EXPECT_EQ(m_recorder->GetSample(33074), 0);
    EXPECT_CALL(m_device, PrepareHeader(_, _)).WillOnce([](HWAVEIN, WAVEHDR* header) {
        EXPECT_EQ(header->dwBufferLength, 22050u);
        return MMRESULT(MMSYSERR_NOERROR);
    });
    m_recorder->Start();
}

// Wine here has no audio device, like a PC without a microphone.
TEST(WaveRecorderMicrophone, StopOfANeverOpenedDeviceAndStartWithoutADeviceFail)
{
    CWaveRecorder recorder(3000, 100);
    EXPECT_EQ(recorder.Stop(), 0);
    if (waveInGetNumDevs() != 0)
        GTEST_SKIP() << "this machine has a wave-in device";
    recorder.SetDuration(3);
    ASSERT_EQ(recorder.AllocBuffer(), 1);
    EXPECT_EQ(recorder.Start(), 0);
    EXPECT_FALSE(recorder.IsRecording());
    EXPECT_NE(recorder.GetLastResult(), static_cast<MMRESULT>(MMSYSERR_NOERROR));
}

// Open, prepare, add and start, in order; the first failure ends the start
// with its result. (A device left open by the failure is released first.)
TEST_F(WaveRecorderDevice, StartPreparesAddsAndStartsInOrderAndGivesUpAtTheFirstFailure)
{
    for (MMRESULT prepared : {MMRESULT(MMSYSERR_NOMEM), MMRESULT(MMSYSERR_NOERROR)}) {
        const int started = prepared == MMSYSERR_NOERROR ? 1 : 0;
        ::testing::InSequence order;
        EXPECT_CALL(m_device, Open(_, _));
        EXPECT_CALL(m_device, PrepareHeader(_, _)).WillOnce([prepared](HWAVEIN, WAVEHDR* header) {
            EXPECT_EQ(header->dwBufferLength, 66150u);
            EXPECT_EQ(header->dwBytesRecorded, 66150u);
            EXPECT_EQ(header->dwFlags, 0u);
            EXPECT_NE(header->lpData, nullptr);
            return prepared;
        });
        EXPECT_CALL(m_device, AddBuffer(_, _)).Times(started);
        EXPECT_CALL(m_device, Start(_)).Times(started);
        EXPECT_EQ(StartWithBlock(), started);
        EXPECT_EQ(m_recorder->IsRecording(), started != 0);
        EXPECT_EQ(m_recorder->GetLastResult(), prepared);
        ::testing::Mock::VerifyAndClearExpectations(&m_device);
    }
}

// A failed reset ends the stop; a failed unprepare is reported but the stop succeeds.
TEST_F(WaveRecorderDevice, StopEndsAtAFailedResetButNotAtAFailedUnprepare)
{
    const struct {
        MMRESULT reset;
        int unprepares, stopped;
        MMRESULT last;
    } cases[] = {{MMSYSERR_ERROR, 0, 0, MMSYSERR_ERROR}, {MMSYSERR_NOERROR, 1, 1, WAVERR_STILLPLAYING}};
    for (const auto& c : cases) {
        EXPECT_CALL(m_device, Reset(_)).WillOnce(Return(c.reset));
        ON_CALL(m_device, UnprepareHeader(_, _)).WillByDefault(Return(WAVERR_STILLPLAYING));
        EXPECT_CALL(m_device, UnprepareHeader(_, _)).Times(c.unprepares);
        EXPECT_CALL(m_device, Close(_)).Times(0);
        EXPECT_EQ(m_recorder->Stop(), c.stopped);
        EXPECT_EQ(m_recorder->GetLastResult(), c.last);
        ::testing::Mock::VerifyAndClearExpectations(&m_device);
    }
}

// The driver holds the header until the device is reset: a device left
// open, by a failed stop or by a recorder going away mid-take, is reset,
// unprepared and closed before its block is used again or freed.
TEST_F(WaveRecorderDevice, ADeviceLeftOpenIsReleasedBeforeItsBlockIsUsedAgainOrFreed)
{
    ASSERT_EQ(StartWithBlock(), 1);
    EXPECT_CALL(m_device, Stop(_)).WillOnce(Return(MMSYSERR_ERROR));
    EXPECT_EQ(m_recorder->Stop(), 0);
    {
        ::testing::InSequence order;
        EXPECT_CALL(m_device, Close(_)).WillOnce(Return(MMSYSERR_NOERROR));
        EXPECT_CALL(m_device, Open(_, _));
    }
    EXPECT_EQ(m_recorder->Start(), 1);
    ::testing::Mock::VerifyAndClearExpectations(&m_device);
    ::testing::InSequence order;
    EXPECT_CALL(m_device, Reset(kHandle));
    EXPECT_CALL(m_device, UnprepareHeader(kHandle, _));
    EXPECT_CALL(m_device, Close(kHandle)).WillOnce(Return(MMSYSERR_NOERROR));
    m_recorder.reset();
}

TEST_F(WaveRecorderDevice, OpeningAnOpenHandleIsAMisuseAndARefusedCloseKeepsIt)
{
    CWaveInHandle handle(m_device);
    const WAVEFORMATEX format = {};
    ASSERT_EQ(handle.Open(format), static_cast<MMRESULT>(MMSYSERR_NOERROR));
    EXPECT_THROW(handle.Open(format), std::logic_error);
    EXPECT_CALL(m_device, Close(kHandle)).WillOnce(Return(WAVERR_STILLPLAYING));
    EXPECT_NE(handle.Close(), static_cast<MMRESULT>(MMSYSERR_NOERROR));
    EXPECT_TRUE(handle.IsOpen());
    EXPECT_CALL(m_device, Close(_)).WillOnce(Return(MMSYSERR_NOERROR));
}

}  // namespace
