// A wave-in device that delivers takes from WAV files instead of a microphone,
// for tests and the sample host on machines without audio hardware.
//
// Each file is resampled to the recorder's 11025 Hz and placed 0.5 s into the
// take, with silence around it, as a microphone would deliver a spoken word.
// Takes are queued; every Start of the recorder consumes the next one.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "Sonvera.h"

class CTakeFileWaveIn : public IWaveInDevice
{
public:
    // Queues the speech of a mono 16-bit PCM WAV file; false when the file
    // cannot be read or is not of that form.
    bool QueueFile(const std::string& path);
    // Queues samples already at 11025 Hz, placed at the take's start as given.
    void QueueSamples(std::vector<short> samples);
    size_t QueuedTakes() const { return m_takes.size(); }
    // True once a take was started after the last queued one had been used.
    bool StartedWithoutTake() const { return m_bStartedWithoutTake; }

    MMRESULT Open(HWAVEIN* device, const WAVEFORMATEX* format) override;
    MMRESULT PrepareHeader(HWAVEIN device, WAVEHDR* header) override;
    MMRESULT UnprepareHeader(HWAVEIN device, WAVEHDR* header) override;
    MMRESULT AddBuffer(HWAVEIN device, WAVEHDR* header) override;
    MMRESULT Start(HWAVEIN device) override;
    MMRESULT Stop(HWAVEIN device) override;
    MMRESULT Reset(HWAVEIN device) override;
    MMRESULT Close(HWAVEIN device) override;

private:
    std::deque<std::vector<short>> m_takes;
    WAVEHDR* m_pHeader = nullptr;
    bool m_bOpen = false;
    bool m_bStartedWithoutTake = false;
};

// Reads a mono 16-bit PCM WAV file; false when it is not one.
bool ReadMonoWave(const std::string& path, std::vector<short>& samples, unsigned& sampleRate);

// Linear-interpolation resampling; adequate for speech moved between
// telephone-band rates.
std::vector<short> Resample(const std::vector<short>& samples, unsigned fromRate, unsigned toRate);

// A recorder whose takes come from a CTakeFileWaveIn.
class CTakeFileRecorder : public CWaveRecorder
{
public:
    CTakeFileRecorder(int nTakeMs, int nTickMs, CTakeFileWaveIn& source)
        : CWaveRecorder(nTakeMs, nTickMs, source)
    {
    }
};
