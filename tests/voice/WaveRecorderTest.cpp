// The recorder: format, block bounds, how it drives the wave-in device and
// gives up; its drawings on a memory canvas; takes from files.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "host/takes/TakeFileWaveIn.h"
#include "tests/skin/SkinTestSupport.h"
#include "voice/WaveInHandle.h"
#include "voice/WaveRecorder.h"

namespace {

using ::testing::_;
using ::testing::NiceMock;
using ::testing::Return;

class MockWaveIn : public IWaveInDevice {
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

class RecorderOver : public CWaveRecorder {
public:
    explicit RecorderOver(IWaveInDevice& device) : CWaveRecorder(3000, 100, device) {}
};

const HWAVEIN kHandle = reinterpret_cast<HWAVEIN>(0x42);

// A recorder over the mock, whose opens succeed and give kHandle.
class WaveRecorderDevice : public ::testing::Test {
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

// 11025 Hz 16-bit mono: three seconds hold 33075 samples; a duration set
// after the block was allocated does not reach the reads.
TEST_F(WaveRecorderDevice, TheBlockIsSizedOnceAndBoundsEveryRead)
{
    const WAVEFORMATEX& format = m_recorder->GetFormat();
    EXPECT_EQ((std::vector<DWORD>{WAVE_FORMAT_PCM, 1, 11025, 22050, 2, 16}),
              (std::vector<DWORD>{format.wFormatTag, format.nChannels, format.nSamplesPerSec, format.nAvgBytesPerSec,
                                  format.nBlockAlign, format.wBitsPerSample}));
    // No block before a duration is set (the dialog's last take ends so).
    EXPECT_EQ(m_recorder->AllocBuffer(), 0);
    m_recorder->SetDuration(3);
    ASSERT_EQ(m_recorder->AllocBuffer(), 1);
    EXPECT_EQ(m_recorder->GetSampleCount(), 33075);
    for (int outside : {33075, -1})
        EXPECT_EQ(m_recorder->GetSample(outside), 0) << outside;

    m_recorder->SetDuration(1);
    ASSERT_EQ(m_recorder->AllocBuffer(), 1);
    m_recorder->SetDuration(3);
    EXPECT_EQ(m_recorder->GetSampleCount(), 11025);
    EXPECT_EQ(m_recorder->GetSample(33074), 0);
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

// A failed stop or reset ends the stop; a failed unprepare is reported but
// the stop succeeds. The driver holds the header until a reset: the device
// each leaves open is released before its block is used again by a start,
// freed by the dialog or by the recorder going away.
TEST_F(WaveRecorderDevice, ADeviceAStopLeavesOpenIsReleasedBeforeItsBlockIsUsedAgainOrFreed)
{
    const CWaveRecorder* recorder = m_recorder.get();
    const struct {
        MMRESULT stop, reset, unprepare;
        int stopped;
        MMRESULT last;
        std::function<void()> nextUse;
    } stops[] = {
        {MMSYSERR_ERROR, MMSYSERR_NOERROR, MMSYSERR_NOERROR, 0, MMSYSERR_ERROR,
         [this] {
             EXPECT_CALL(m_device, Open(_, _));
             EXPECT_EQ(m_recorder->Start(), 1);
         }},
        {MMSYSERR_NOERROR, MMSYSERR_ERROR, MMSYSERR_NOERROR, 0, MMSYSERR_ERROR, [this] { m_recorder->FreeBuffer(); }},
        {MMSYSERR_NOERROR, MMSYSERR_NOERROR, WAVERR_STILLPLAYING, 1, WAVERR_STILLPLAYING, [this] { m_recorder.reset(); }}};
    for (const auto& s : stops) {
        ASSERT_EQ(StartWithBlock(), 1);
        ON_CALL(m_device, Stop(_)).WillByDefault(Return(s.stop));
        ON_CALL(m_device, Reset(_)).WillByDefault(Return(s.reset));
        ON_CALL(m_device, UnprepareHeader(_, _)).WillByDefault(Return(s.unprepare));
        EXPECT_CALL(m_device, UnprepareHeader(_, _)).Times(s.stopped);
        EXPECT_CALL(m_device, Close(_)).Times(0);
        EXPECT_EQ(m_recorder->Stop(), s.stopped);
        EXPECT_EQ(m_recorder->GetLastResult(), s.last);
        ASSERT_TRUE(::testing::Mock::VerifyAndClearExpectations(&m_device));
        ::testing::InSequence order;
        EXPECT_CALL(m_device, Reset(kHandle)).WillOnce([recorder](HWAVEIN) {
            EXPECT_GT(recorder->GetSampleCount(), 0);
            return MMRESULT(MMSYSERR_NOERROR);
        });
        EXPECT_CALL(m_device, UnprepareHeader(kHandle, _));
        EXPECT_CALL(m_device, Close(kHandle)).WillOnce(Return(MMSYSERR_NOERROR));
        s.nextUse();
        ::testing::Mock::VerifyAndClearExpectations(&m_device);
    }
}

// A take the device does not fill is silence, never the last take's speech.
TEST_F(WaveRecorderDevice, AFailedStartGivesSilenceNotTheLastTake)
{
    const short kSpeech = 1000;
    ON_CALL(m_device, AddBuffer(_, _)).WillByDefault([kSpeech](HWAVEIN, WAVEHDR* header) {
        short* samples = reinterpret_cast<short*>(header->lpData);
        std::fill(samples, samples + header->dwBufferLength / sizeof(short), kSpeech);
        return MMRESULT(MMSYSERR_NOERROR);
    });
    ASSERT_EQ(StartWithBlock(), 1);
    ASSERT_EQ(m_recorder->Stop(), 1);
    ASSERT_EQ(m_recorder->GetSample(20000), kSpeech);
    // The dialog's release after a judged take, then the next take's block.
    m_recorder->FreeBuffer();
    m_recorder->SetDuration(0);
    m_recorder->AllocBuffer();
    EXPECT_CALL(m_device, Open(_, _)).WillOnce(Return(MMSYSERR_NODRIVER));
    EXPECT_EQ(StartWithBlock(), 0);
    for (int i = 0; i < m_recorder->GetSampleCount(); ++i)
        ASSERT_EQ(0, m_recorder->GetSample(i)) << "sample " << i;
}

TEST_F(WaveRecorderDevice, ARefusedCloseKeepsTheHandle)
{
    CWaveInHandle handle(m_device);
    const WAVEFORMATEX format = {};
    ASSERT_EQ(handle.Open(format), static_cast<MMRESULT>(MMSYSERR_NOERROR));
    EXPECT_CALL(m_device, Close(kHandle)).WillOnce(Return(WAVERR_STILLPLAYING));
    EXPECT_NE(handle.Close(), static_cast<MMRESULT>(MMSYSERR_NOERROR));
    EXPECT_TRUE(handle.IsOpen());
    EXPECT_CALL(m_device, Close(_)).WillOnce(Return(MMSYSERR_NOERROR));
}

using sonvera_test::CCanvas;

const COLORREF kPaper = RGB(255, 255, 255);
const COLORREF kInk = RGB(0, 128, 0);
const COLORREF kBlue = RGB(0, 0, 255);
const COLORREF kRed = RGB(255, 0, 0);
const int kTakeSamples = 33075;

// One 3 s take: the source's next, or one of the function's samples.
class CTakeRecorder {
public:
    explicit CTakeRecorder(CTakeFileWaveIn& source) : m_recorder(3000, 100, source) { Record(); }
    template <typename F>
    explicit CTakeRecorder(F sampleAt) : m_recorder(3000, 100, m_source)
    {
        std::vector<short> take(kTakeSamples);
        for (int i = 0; i < kTakeSamples; ++i)
            take[static_cast<size_t>(i)] = sampleAt(i);
        m_source.QueueSamples(take);
        Record();
    }
    const CWaveRecorder* operator->() const { return &m_recorder; }

    int m_started = 0;
    int m_stopped = 0;

private:
    void Record()
    {
        m_recorder.SetDuration(3);
        m_recorder.AllocBuffer();
        m_started = m_recorder.Start();
        m_stopped = m_recorder.Stop();
    }

    CTakeFileWaveIn m_source;
    CTakeFileRecorder m_recorder;
};

// The box is (53, 3)-(150, 97) from the panel's corner; the 5-pixel pen is
// centred on it. Points are from the panel's corner.
TEST(WaveDrawing, TheMarkAndTheLiveTrace)
{
    CTakeRecorder recorder([](int) { return short(0); });
    const struct {
        int good, x, y;
        COLORREF colour;
    } points[] = {
        {1, 101, 3, kBlue}, {1, 149, 50, kBlue}, {1, 101, 50, kPaper},   // the circle
        {0, 54, 4, kRed}, {0, 54, 95, kRed}, {0, 101, 10, kPaper},       // the cross's two lines
    };
    for (const auto& p : points) {
        CCanvas canvas(240, 140);
        recorder->DrawMark(canvas.DC(), CRect(10, 20, 210, 120), p.good);
        EXPECT_EQ(p.colour, canvas.At(10 + p.x, 20 + p.y)) << p.good << " at " << p.x << ", " << p.y;
    }

    // Tick 30 draws samples 31972 to 33074, one pixel a sample; all lie at the
    // centre line but two spikes just before the tick, which stay undrawn.
    CTakeRecorder live([](int i) { return short(i == 31971 || i == 31970 ? 30000 : i % 7); });
    CCanvas trace(kTakeSamples + 10, 16);
    const CRect panel(0, 0, kTakeSamples, 16);
    const int mean = live->DrawLive(trace.DC(), panel, kInk, 1, 30);

    // The trace runs from sample 31972 to the line's end at sample 33074 (a
    // line leaves its last pixel open), on the centre row of 16 / 2 = 8.
    const std::vector<int> centre = trace.InkedColumns(8);
    ASSERT_FALSE(centre.empty());
    EXPECT_EQ(31972, centre.front());
    EXPECT_EQ(33073, centre.back());
    EXPECT_EQ(0u, trace.InkedColumns(15).size());   // the spikes before the tick are not drawn
    EXPECT_EQ(3, mean);   // of i % 7 over samples 31973 to 33074
}

TEST(WaveDrawing, SamplesScaledAndEndPointsMarked)
{
    // Positive samples lie below the centre; full scale reaches the edges.
    CTakeRecorder recorder([](int i) { return short(i < 16000 ? 16384 : -32768); });
    CCanvas canvas(340, 120);
    const CRect panel(20, 10, 320, 110);   // 300 x 100, centre line 60
    recorder->DrawTake(canvas.DC(), panel, kInk, 1);
    const int xHalf = 20 + 16000 * 300 / kTakeSamples / 2;
    EXPECT_EQ(kInk, canvas.At(xHalf, 60 + 50));    // 16384 -> half the height below the centre
    EXPECT_EQ(kInk, canvas.At(250, 10));           // -32768 -> the top edge
    EXPECT_EQ(0u, canvas.InkedColumns(9).size());   // never above it

    // End points are two markers, or one when they coincide.
    const CRect markers(0, 10, kTakeSamples / 100, 90);   // height 80: markers from 20 to 80
    CCanvas two(kTakeSamples / 100 + 4, 100);
    recorder->DrawEndpoints(two.DC(), markers, kInk, 5000, 20000);
    // x = sample x 330 / 33075, truncated.
    EXPECT_EQ((std::vector<int>{49, 199}), two.InkedColumns(20));

    CCanvas one(kTakeSamples / 100 + 4, 100);
    recorder->DrawEndpoints(one.DC(), markers, kInk, 12345, 12345);
    EXPECT_EQ(std::vector<int>{123}, one.InkedColumns(50));

    // An empty block draws nothing.
    CTakeFileWaveIn source;
    CTakeFileRecorder empty(3000, 100, source);   // size 0: no block
    CCanvas blank(100, 50);
    EXPECT_EQ(0, empty.DrawLive(blank.DC(), CRect(0, 0, 100, 50), kInk, 1, 1));
    empty.DrawTake(blank.DC(), CRect(0, 0, 100, 50), kInk, 1);
    empty.DrawEndpoints(blank.DC(), CRect(0, 0, 100, 50), kInk, 0, 10);
    for (int y = 0; y < 50; ++y)
        EXPECT_TRUE(blank.InkedColumns(y).empty()) << y;
}


// 2384 samples at 8 kHz, beginning at -1489; 3285 at the recorder's 11025 Hz.
const std::string kRecording = std::string(SONVERA_TEST_DATA) + "/fsdd/0_george_0.wav";

TEST(TakeFile, WordIsResampledAndPlacedHalfASecondIn)
{
    CTakeFileWaveIn source;
    ASSERT_TRUE(source.QueueFile(kRecording));
    const CTakeRecorder take(source);
    EXPECT_EQ(take.m_stopped, 1);
    ASSERT_EQ(take->GetSampleCount(), kTakeSamples);
    for (int i = 0; i < 5512; ++i)
        ASSERT_EQ(take->GetSample(i), 0) << i;
    EXPECT_EQ(take->GetSample(5512), -1489);
    EXPECT_EQ(take->GetSample(5512 + 441), -3375);   // its sample 320: 441 / 11025 s = 320 / 8000 s
    EXPECT_EQ(take->GetSample(5512 + 3284), -72);     // its last
    for (int i = 5512 + 3285; i < kTakeSamples; ++i)
        ASSERT_EQ(take->GetSample(i), 0) << i;
}

// Ten seconds at 44.1 kHz (length x rate past 32 bits) are resampled whole.
TEST(TakeFile, ALongRecordingAtAHighRateIsResampledWhole)
{
    const std::vector<short> tenSeconds(441000, 5);
    const std::vector<short> resampled = Resample(tenSeconds, 44100, 11025);
    EXPECT_EQ(resampled.size(), 110250u);
    EXPECT_EQ(std::count(resampled.begin(), resampled.end(), short(5)), 110250);
}

// Each start takes the next take, cut to the block when it is longer.
TEST(TakeFile, EachStartConsumesTheNextTakeAndOnlyMono16BitPcmIsQueued)
{
    CTakeFileWaveIn source;
    source.QueueSamples(std::vector<short>(100, 7));
    source.QueueSamples(std::vector<short>(50000, -9));
    EXPECT_EQ(CTakeRecorder(source)->GetSample(50), 7);
    EXPECT_EQ(CTakeRecorder(source)->GetSample(kTakeSamples - 1), -9);
    EXPECT_EQ(CTakeRecorder(source).m_started, 0);   // nothing left to play

    // Files that are not mono 16-bit PCM are refused.
    sonvera_test::CTempFolder folder;
    const std::string stereo = folder.File("stereo.wav").str();
    const std::string garbage = folder.File("garbage.wav").str();
    std::string twoChannels = sonvera_test::ReadRaw(kRecording);
    twoChannels[22] = 2;
    ASSERT_TRUE(sonvera_test::WriteRaw(stereo, twoChannels));
    ASSERT_TRUE(sonvera_test::WriteRaw(garbage, "RIFF\xff\xff\xff\x7fWAVEdata"));
    for (const std::string& path : {stereo, garbage, folder.File("missing.wav").str()})
        EXPECT_FALSE(source.QueueFile(path)) << path;
    EXPECT_EQ(source.QueuedTakes(), 0u);
}

}  // namespace
