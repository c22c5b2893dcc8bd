// One take of microphone audio in a single memory block.
//
// The voice dialog starts the recorder, times the take with its own timer,
// stops it and then reads the samples by index: there is no completion
// callback and no buffer queue. Samples are 16-bit signed mono at 11025 Hz.
#pragma once

#include <windows.h>
#include <mmsystem.h>

#include "fw/Api.h"
#include "voice/WaveInDevice.h"

class SONVERA_API CWaveRecorder
{
public:
    // Records from the microphone. The take length is set later by
    // SetDuration; the tick length is the dialog's timer period.
    CWaveRecorder(int nTakeMs, int nTickMs);
    virtual ~CWaveRecorder();

    CWaveRecorder(const CWaveRecorder&) = delete;
    CWaveRecorder& operator=(const CWaveRecorder&) = delete;

    // Buffer size = average bytes per second x seconds (3 s -> 66150 bytes).
    void SetDuration(int nSeconds);
    // Frees any block, then allocates and locks a movable block of the current
    // size (not cleared). Returns 1 when a usable block exists afterwards, 0
    // when the allocation failed or the size is 0.
    int AllocBuffer();
    void FreeBuffer();
    void PrepareHeader();
    // Opens the wave mapper and prepares the header; 1 only when both succeed.
    int Open();
    // PrepareHeader, Open, add the block, start. 1 and the recording flag set
    // on success; 0 at the first failing step.
    int Start();
    // Stop, reset, unprepare, close, each only after the previous succeeded.
    // Returns 0 when stopping or resetting failed, else 1.
    int Stop();
    // Sample at index, or 0 when there is no block or the index is past it.
    short GetSample(int nIndex) const;

    MMRESULT GetLastResult() const { return m_mmResult; }
    BOOL IsRecording() const { return m_bRecording; }
    DWORD GetBufferSize() const { return m_dwBufferSize; }
    int GetSampleCount() const { return static_cast<int>(m_dwBufferSize / 2); }
    const WAVEFORMATEX& GetFormat() const { return m_wfx; }
    int GetTickMs() const { return m_nTickMs; }

protected:
    // For test and sample-host subclasses that deliver takes from files: the
    // same recorder logic over another wave-in device, which must outlive
    // the recorder.
    CWaveRecorder(int nTakeMs, int nTickMs, IWaveInDevice& device);

private:
    void Init(int nTickMs);

    MMRESULT m_mmResult;
    BOOL m_bRecording;
    WAVEFORMATEX m_wfx;
    DWORD m_dwBufferSize;
    short* m_pBuffer;
    HGLOBAL m_hBuffer;
    int m_nTickMs;
    HWAVEIN m_hWaveIn;
    WAVEHDR m_waveHdr;
    IWaveInDevice* m_pDevice;
};
