#include "host/takes/TakeFileWaveIn.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>

namespace {

const unsigned kTakeRate = 11025;
const size_t kSpeechOffset = kTakeRate / 2;   // 0.5 s of silence before the word
const HWAVEIN kFakeHandle = reinterpret_cast<HWAVEIN>(static_cast<intptr_t>(0x5A7E));

uint32_t Le32(const unsigned char* p) { return p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24; }
uint16_t Le16(const unsigned char* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

}  // namespace

bool ReadMonoWave(const std::string& path, std::vector<short>& samples, unsigned& sampleRate)
{
    std::ifstream in(path, std::ios::binary);
    const std::vector<unsigned char> bytes{std::istreambuf_iterator<char>(in), {}};
    if (bytes.size() < 12 || std::memcmp(bytes.data(), "RIFF", 4) || std::memcmp(&bytes[8], "WAVE", 4))
        return false;

    bool haveFormat = false;
    for (size_t at = 12; at + 8 <= bytes.size();) {
        const unsigned char* chunk = &bytes[at];
        const size_t size = Le32(chunk + 4);
        if (size > bytes.size() - at - 8)
            return false;
        if (!std::memcmp(chunk, "fmt ", 4) && size >= 16) {
            if (Le16(chunk + 8) != WAVE_FORMAT_PCM || Le16(chunk + 10) != 1 || Le16(chunk + 22) != 16)
                return false;
            sampleRate = Le32(chunk + 12);
            haveFormat = true;
        } else if (!std::memcmp(chunk, "data", 4) && haveFormat) {
            samples.resize(size / 2);
            for (size_t i = 0; i < samples.size(); ++i)
                samples[i] = static_cast<short>(Le16(chunk + 8 + 2 * i));
            return true;
        }
        at += 8 + size + (size & 1);
    }
    return false;
}

std::vector<short> Resample(const std::vector<short>& samples, unsigned fromRate, unsigned toRate)
{
    if (samples.empty() || fromRate == 0 || fromRate == toRate)
        return samples;
    // In 64 bits: on 32-bit Windows the product passes size_t for recordings
    // longer than about 9 s at 44.1 kHz.
    const size_t count = static_cast<size_t>(static_cast<uint64_t>(samples.size()) * toRate / fromRate);
    std::vector<short> out(count);
    for (size_t i = 0; i < count; ++i) {
        const double source = static_cast<double>(i) * fromRate / toRate;
        const size_t left = static_cast<size_t>(source);
        const size_t right = std::min(left + 1, samples.size() - 1);
        const double weight = source - static_cast<double>(left);
        out[i] = static_cast<short>(samples[left] * (1.0 - weight) + samples[right] * weight);
    }
    return out;
}

bool CTakeFileWaveIn::QueueFile(const std::string& path)
{
    std::vector<short> speech;
    unsigned rate = 0;
    if (!ReadMonoWave(path, speech, rate))
        return false;
    speech = Resample(speech, rate, kTakeRate);
    std::vector<short> take(kSpeechOffset, 0);
    take.insert(take.end(), speech.begin(), speech.end());
    QueueSamples(std::move(take));
    return true;
}

void CTakeFileWaveIn::QueueSamples(std::vector<short> samples)
{
    m_takes.push_back(std::move(samples));
}

MMRESULT CTakeFileWaveIn::Open(HWAVEIN* device, const WAVEFORMATEX* format)
{
    if (format->nSamplesPerSec != kTakeRate || format->nChannels != 1 || format->wBitsPerSample != 16)
        return WAVERR_BADFORMAT;
    *device = kFakeHandle;
    m_bOpen = true;
    return MMSYSERR_NOERROR;
}

MMRESULT CTakeFileWaveIn::PrepareHeader(HWAVEIN device, WAVEHDR* header)
{
    if (device != kFakeHandle || !m_bOpen)
        return MMSYSERR_INVALHANDLE;
    header->dwFlags |= WHDR_PREPARED;
    return MMSYSERR_NOERROR;
}

MMRESULT CTakeFileWaveIn::UnprepareHeader(HWAVEIN device, WAVEHDR* header)
{
    if (device != kFakeHandle || !m_bOpen)
        return MMSYSERR_INVALHANDLE;
    header->dwFlags &= ~WHDR_PREPARED;
    return MMSYSERR_NOERROR;
}

MMRESULT CTakeFileWaveIn::AddBuffer(HWAVEIN device, WAVEHDR* header)
{
    if (device != kFakeHandle || !m_bOpen)
        return MMSYSERR_INVALHANDLE;
    if (!(header->dwFlags & WHDR_PREPARED))
        return WAVERR_UNPREPARED;
    m_pHeader = header;
    return MMSYSERR_NOERROR;
}

// The whole take arrives at once when recording starts; the recorder's caller
// times the take itself, so nothing depends on the samples trickling in.
MMRESULT CTakeFileWaveIn::Start(HWAVEIN device)
{
    if (device != kFakeHandle || !m_bOpen || m_pHeader == nullptr)
        return MMSYSERR_INVALHANDLE;
    if (m_takes.empty()) {
        m_bStartedWithoutTake = true;
        return MMSYSERR_NODRIVER;
    }
    const std::vector<short> take = std::move(m_takes.front());
    m_takes.pop_front();
    const size_t capacity = m_pHeader->dwBufferLength / sizeof(short);
    short* block = reinterpret_cast<short*>(m_pHeader->lpData);
    const size_t count = std::min(capacity, take.size());
    std::copy(take.begin(), take.begin() + static_cast<std::ptrdiff_t>(count), block);
    std::fill(block + count, block + capacity, short(0));
    m_pHeader->dwBytesRecorded = static_cast<DWORD>(capacity * sizeof(short));
    m_pHeader->dwFlags |= WHDR_DONE;
    return MMSYSERR_NOERROR;
}

MMRESULT CTakeFileWaveIn::Stop(HWAVEIN device)
{
    return device == kFakeHandle && m_bOpen ? MMSYSERR_NOERROR : MMSYSERR_INVALHANDLE;
}

MMRESULT CTakeFileWaveIn::Reset(HWAVEIN device)
{
    return Stop(device);
}

MMRESULT CTakeFileWaveIn::Close(HWAVEIN device)
{
    if (device != kFakeHandle || !m_bOpen)
        return MMSYSERR_INVALHANDLE;
    m_bOpen = false;
    m_pHeader = nullptr;
    return MMSYSERR_NOERROR;
}
