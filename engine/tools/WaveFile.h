// WaveFile.h - reads and writes 16-bit PCM RIFF WAVE files.
#pragma once

#include <string>
#include <vector>

class CWaveFile {
public:
    // Reads a PCM WAVE file of 8- or 16-bit samples; stereo is mixed to mono.
    // samples: receives the samples as 16-bit; sampleRate: the file's rate.
    // Returns 1 on success, 0 when missing or not a PCM WAVE file.
    static int Read(const std::string& path, std::vector<short>& samples, int& sampleRate);
    // Writes a 16-bit mono PCM WAVE file. Returns 1 on success.
    static int Write(const std::string& path, const std::vector<short>& samples, int sampleRate);
};
