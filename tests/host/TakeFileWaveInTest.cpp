// Takes from files: what tests and the sample host feed the recorder with.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/takes/TakeFileWaveIn.h"
#include "tests/support/RawFile.h"
#include "tests/support/TempFolder.h"

namespace {

// 2384 samples at 8 kHz, beginning at -1489; at 11025 Hz they are 3285.
const std::string kRecording = std::string(SONVERA_TEST_DATA) + "/fsdd/0_george_0.wav";

struct RecordedTake {
    int started = 0;
    int stopped = 0;
    std::vector<short> samples;
};

RecordedTake RecordOneTake(CTakeFileWaveIn& source)
{
    CTakeFileRecorder recorder(3000, 100, source);
    recorder.SetDuration(3);
    recorder.AllocBuffer();
    RecordedTake take;
    take.started = recorder.Start();
    take.stopped = recorder.Stop();
    for (int i = 0; i < recorder.GetSampleCount(); ++i)
        take.samples.push_back(recorder.GetSample(i));
    return take;
}

TEST(TakeFile, WordIsResampledAndPlacedHalfASecondIn)
{
    CTakeFileWaveIn source;
    ASSERT_TRUE(source.QueueFile(kRecording));
    const RecordedTake take = RecordOneTake(source);
    EXPECT_EQ(take.stopped, 1);
    ASSERT_EQ(take.samples.size(), 33075u);
    for (size_t i = 0; i < 5512; ++i)
        ASSERT_EQ(take.samples[i], 0) << i;
    EXPECT_EQ(take.samples[5512], -1489);
    EXPECT_EQ(take.samples[5512 + 441], -3375);   // its sample 320: 441 / 11025 s = 320 / 8000 s
    EXPECT_EQ(take.samples[5512 + 3284], -72);     // its last
    for (size_t i = 5512 + 3285; i < take.samples.size(); ++i)
        ASSERT_EQ(take.samples[i], 0) << i;
}

// Each start takes the next take, cut to the block when it is longer.
TEST(TakeFile, EachStartConsumesTheNextTakeAndOnlyMono16BitPcmIsQueued)
{
    CTakeFileWaveIn source;
    source.QueueSamples(std::vector<short>(100, 7));
    source.QueueSamples(std::vector<short>(50000, -9));
    EXPECT_EQ(RecordOneTake(source).samples[50], 7);
    EXPECT_EQ(RecordOneTake(source).samples.back(), -9);
    EXPECT_EQ(RecordOneTake(source).started, 0);   // nothing left to play

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

} // namespace
