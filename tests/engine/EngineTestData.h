// EngineTestData.h - takes for the engine tests: recorded words from the
// FSDD copy in tests/data/fsdd and synthetic signals.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace sonvera_test {

constexpr int kRate = 11025;
constexpr int kTakeSamples = 33075;
constexpr int kWordOffset = 5513;        // 0.5 s
constexpr double kRoomNoiseRms = 16.0;   // LSB

// tests/data/fsdd/<name>.wav.
std::string FsddPath(const std::string& name);

// A 3-second take holding recording `name` (resampled to 11025 Hz) at 0.5 s +
// shift, with gain and background noise, played `speed` times as fast (each
// frequency that much higher). Empty when the file cannot be read.
std::vector<short> FsddTake(const std::string& name, double gainDb = 0.0, int shift = 0,
                            double noiseRms = kRoomNoiseRms, uint64_t seed = 1, double speed = 1.0);

// A synthetic voiced word: a 120 Hz pulse train through two formant
// resonances, with a raised-cosine envelope peaking at `peak` LSB, from
// sample `start` for `length` samples, inside a take of `takeLength` samples.
std::vector<short> SyntheticWord(int takeLength, int start, int length, double peak, double pitchHz = 120.0);

// `count` pseudo-random signs at every phase, packed 64 to a word, as the
// waveform print's search takes a take's signs (generator state `random`).
void RandomSigns(int count, uint32_t random, std::vector<uint64_t>* bits, int* counts);

// Adds Gaussian noise of `rms` LSB (clipped to 16 bits).
void AddNoise(std::vector<short>& take, double rms, uint64_t seed);
// A take of SyntheticWord's word over noise of `noiseRms` LSB.
std::vector<short> NoisyWord(int start, int length, double peak, double noiseRms, uint64_t seed);

// A fresh, empty folder for one test, removed with the run's when the program ends.
std::string MakeTempDir(const std::string& tag);

// Every file's bytes; empty when missing.
std::vector<unsigned char> ReadBytes(const std::string& path);
bool WriteBytes(const std::string& path, const std::vector<unsigned char>& bytes);

} // namespace sonvera_test
