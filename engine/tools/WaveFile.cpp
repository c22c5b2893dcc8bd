#include "WaveFile.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

namespace {

uint32_t Le32(const unsigned char* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24); }
uint16_t Le16(const unsigned char* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

std::vector<unsigned char> ReadAll(const std::string& path)
{
    std::vector<unsigned char> data;
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return data;
    unsigned char buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof(buf), f)) > 0) data.insert(data.end(), buf, buf + n);
    std::fclose(f);
    return data;
}

void Put32(std::vector<unsigned char>& o, uint32_t v) { for (int i = 0; i < 4; ++i) o.push_back(static_cast<unsigned char>(v >> (8 * i))); }
void Put16(std::vector<unsigned char>& o, uint16_t v) { o.push_back(static_cast<unsigned char>(v)); o.push_back(static_cast<unsigned char>(v >> 8)); }

} // namespace

int CWaveFile::Read(const std::string& path, std::vector<short>& samples, int& sampleRate)
{
    samples.clear();
    sampleRate = 0;
    const std::vector<unsigned char> d = ReadAll(path);
    if (d.size() < 12 || std::memcmp(d.data(), "RIFF", 4) != 0 || std::memcmp(d.data() + 8, "WAVE", 4) != 0) return 0;
    int channels = 0, bits = 0;
    size_t pos = 12;
    while (pos + 8 <= d.size()) {
        const uint32_t size = Le32(d.data() + pos + 4);
        const size_t body = pos + 8;
        if (size > d.size() - body) return 0;
        if (std::memcmp(d.data() + pos, "fmt ", 4) == 0 && size >= 16) {
            if (Le16(d.data() + body) != 1) return 0;   // PCM only
            channels = Le16(d.data() + body + 2);
            sampleRate = static_cast<int>(Le32(d.data() + body + 4));
            bits = Le16(d.data() + body + 14);
        } else if (std::memcmp(d.data() + pos, "data", 4) == 0) {
            if (channels < 1 || (bits != 8 && bits != 16) || sampleRate <= 0) return 0;
            const size_t frameBytes = static_cast<size_t>(channels) * (bits / 8);
            const size_t frames = size / frameBytes;
            samples.resize(frames);
            for (size_t i = 0; i < frames; ++i) {
                long sum = 0;
                for (int c = 0; c < channels; ++c) {
                    const unsigned char* p = d.data() + body + i * frameBytes + c * (bits / 8);
                    sum += bits == 16 ? static_cast<int16_t>(Le16(p)) : (static_cast<int>(p[0]) - 128) * 256;
                }
                samples[i] = static_cast<short>(sum / channels);
            }
            return 1;
        }
        pos = body + size + (size & 1);
    }
    return 0;
}

int CWaveFile::Write(const std::string& path, const std::vector<short>& samples, int sampleRate)
{
    std::vector<unsigned char> o;
    const uint32_t dataBytes = static_cast<uint32_t>(samples.size() * 2);
    o.insert(o.end(), {'R', 'I', 'F', 'F'});
    Put32(o, 36 + dataBytes);
    o.insert(o.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    Put32(o, 16); Put16(o, 1); Put16(o, 1);
    Put32(o, static_cast<uint32_t>(sampleRate)); Put32(o, static_cast<uint32_t>(sampleRate) * 2);
    Put16(o, 2); Put16(o, 16);
    o.insert(o.end(), {'d', 'a', 't', 'a'});
    Put32(o, dataBytes);
    for (short s : samples) Put16(o, static_cast<uint16_t>(s));
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return 0;
    const bool ok = std::fwrite(o.data(), 1, o.size(), f) == o.size();
    return (std::fclose(f) == 0 && ok) ? 1 : 0;
}
