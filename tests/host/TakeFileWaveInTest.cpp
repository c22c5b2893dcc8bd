// Takes from files: what tests and the sample host feed the recorder with.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "host/takes/TakeFileWaveIn.h"
#include "tests/support/Bytes.h"
#include "tests/support/RawFile.h"
#include "tests/support/TempFolder.h"

namespace {

using sonvera_test::WordBytes;

std::string HalfWord(unsigned value) { return WordBytes(value).substr(0, 2); }

// A 16-bit PCM WAV file of a tone at 440 Hz.
std::string ToneWave(size_t count, unsigned rate, unsigned channels = 1)
{
    std::string data;
    for (size_t i = 0; i < count * channels; ++i)
        data += HalfWord(static_cast<unsigned short>(8000 * std::sin(2 * 3.14159265358979 * 440 * i / rate)));
    return "RIFF" + WordBytes(36 + static_cast<unsigned>(data.size())) + "WAVEfmt " + WordBytes(16) + HalfWord(1) +
           HalfWord(channels) + WordBytes(rate) + WordBytes(rate * 2 * channels) + HalfWord(2 * channels) +
           HalfWord(16) + "data" + WordBytes(static_cast<unsigned>(data.size())) + data;
}

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
    sonvera_test::CTempFolder folder;
    const std::string path = folder.File("tone.wav").str();
    ASSERT_TRUE(sonvera_test::WriteRaw(path, ToneWave(8000, 8000)));   // one second at 8 kHz
    CTakeFileWaveIn source;
    ASSERT_TRUE(source.QueueFile(path));
    const RecordedTake take = RecordOneTake(source);
    EXPECT_EQ(take.stopped, 1);
    ASSERT_EQ(take.samples.size(), 33075u);
    for (size_t i = 0; i < 5512; ++i)
        ASSERT_EQ(take.samples[i], 0) << i;
    // 8000 samples at 8 kHz become 11025 at 11025 Hz: speech up to 1.5 s.
    double energy = 0;
    for (size_t i = 5512; i < 5512 + 11025; ++i)
        energy += std::abs(take.samples[i]);
    EXPECT_GT(energy / 11025, 4000.0);
    for (size_t i = 5512 + 11025 + 2; i < take.samples.size(); ++i)
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
    ASSERT_TRUE(sonvera_test::WriteRaw(stereo, ToneWave(100, 8000, 2)));
    ASSERT_TRUE(sonvera_test::WriteRaw(garbage, "RIFF\xff\xff\xff\x7fWAVEdata"));
    for (const std::string& path : {stereo, garbage, folder.File("missing.wav").str()})
        EXPECT_FALSE(source.QueueFile(path)) << path;
    EXPECT_EQ(source.QueuedTakes(), 0u);
}

} // namespace
