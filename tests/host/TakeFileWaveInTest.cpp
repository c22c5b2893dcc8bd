// Takes from files: what tests and the sample host feed the recorder with.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "host/takes/TakeFileWaveIn.h"

namespace {

void PutLe(std::ofstream& out, unsigned value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.put(static_cast<char>((value >> (8 * i)) & 0xFF));
}

std::string WriteWave(const std::vector<short>& samples, unsigned rate, unsigned channels = 1)
{
    char path[MAX_PATH];
    char folder[MAX_PATH];
    GetTempPathA(MAX_PATH, folder);
    GetTempFileNameA(folder, "wav", 0, path);
    std::ofstream out(path, std::ios::binary);
    const unsigned dataBytes = static_cast<unsigned>(samples.size() * 2);
    out.write("RIFF", 4);
    PutLe(out, 36 + dataBytes, 4);
    out.write("WAVEfmt ", 8);
    PutLe(out, 16, 4);
    PutLe(out, 1, 2);
    PutLe(out, channels, 2);
    PutLe(out, rate, 4);
    PutLe(out, rate * 2 * channels, 4);
    PutLe(out, 2 * channels, 2);
    PutLe(out, 16, 2);
    out.write("data", 4);
    PutLe(out, dataBytes, 4);
    for (short s : samples)
        PutLe(out, static_cast<unsigned short>(s), 2);
    return path;
}

std::vector<short> Tone(size_t count, unsigned rate, double hertz)
{
    std::vector<short> samples(count);
    for (size_t i = 0; i < count; ++i)
        samples[i] = static_cast<short>(8000 * std::sin(2 * 3.14159265358979 * hertz * i / rate));
    return samples;
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
    const std::string path = WriteWave(Tone(8000, 8000, 440.0), 8000);   // one second at 8 kHz
    CTakeFileWaveIn source;
    ASSERT_TRUE(source.QueueFile(path));
    const RecordedTake take = RecordOneTake(source);
    DeleteFileA(path.c_str());

    EXPECT_EQ(take.started, 1);
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

TEST(TakeFile, EachStartConsumesTheNextTake)
{
    CTakeFileWaveIn source;
    source.QueueSamples(std::vector<short>(100, 7));
    source.QueueSamples(std::vector<short>(100, -9));
    EXPECT_EQ(RecordOneTake(source).samples[50], 7);
    EXPECT_EQ(RecordOneTake(source).samples[50], -9);
    EXPECT_EQ(source.QueuedTakes(), 0u);
    EXPECT_EQ(RecordOneTake(source).started, 0);   // nothing left to play
}

TEST(TakeFile, OverlongTakeIsCutToTheBlock)
{
    CTakeFileWaveIn source;
    source.QueueSamples(std::vector<short>(50000, 3));
    const RecordedTake take = RecordOneTake(source);
    ASSERT_EQ(take.samples.size(), 33075u);
    EXPECT_EQ(take.samples.back(), 3);
}

TEST(TakeFile, RefusesFilesThatAreNotMono16BitPcm)
{
    CTakeFileWaveIn source;
    const std::string stereo = WriteWave(Tone(100, 8000, 440.0), 8000, 2);
    EXPECT_FALSE(source.QueueFile(stereo));
    DeleteFileA(stereo.c_str());
    EXPECT_FALSE(source.QueueFile("Z:/no/such/file.wav"));

    char folder[MAX_PATH];
    char garbage[MAX_PATH];
    GetTempPathA(MAX_PATH, folder);
    GetTempFileNameA(folder, "wav", 0, garbage);
    std::ofstream(garbage, std::ios::binary) << "RIFF\xff\xff\xff\x7fWAVEdata";
    EXPECT_FALSE(source.QueueFile(garbage));
    DeleteFileA(garbage);
    EXPECT_EQ(source.QueuedTakes(), 0u);
}

} // namespace
