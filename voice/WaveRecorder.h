// One take of microphone audio in a single memory block.
//
// The voice dialog starts the recorder, times the take with its own timer,
// stops it and then reads the samples by index: there is no completion
// callback and no buffer queue. Samples are 16-bit signed mono at 11025 Hz.
//
// The block keeps the size it was allocated with. SetDuration only sets the
// size the next AllocBuffer takes, so the header handed to the driver and
// every sample read are bounded by the smaller of the two: a duration
// changed after the allocation can never make anything reach past the block.
#pragma once

#include <windows.h>
#include <mmsystem.h>

#include <vector>

#include "fw/Api.h"
#include "fw/DC.h"
#include "fw/GlobalBlock.h"
#include "fw/Rect.h"
#include "voice/WaveInDevice.h"
#include "voice/WaveInHandle.h"

class SONVERA_API CWaveRecorder
{
public:
    // Records from the microphone. The take length is set later by
    // SetDuration; the tick length is the dialog's timer period.
    CWaveRecorder(int nTakeMs, int nTickMs);
    virtual ~CWaveRecorder();

    CWaveRecorder(const CWaveRecorder&) = delete;
    CWaveRecorder& operator=(const CWaveRecorder&) = delete;

    // Buffer size = average bytes per second x seconds (3 s -> 66150 bytes),
    // taken by the next AllocBuffer.
    void SetDuration(int nSeconds);
    // Frees any block, then allocates and locks a movable block of the current
    // size (not cleared). Returns 1 when a usable block exists afterwards, 0
    // when the allocation failed or the size is 0.
    int AllocBuffer();
    // Frees the block, after releasing a device that a failed stop left open.
    void FreeBuffer();
    void PrepareHeader();
    // Opens the wave mapper and prepares the header; 1 only when both succeed.
    int Open();
    // PrepareHeader, Open, add the block, start. 1 and the recording flag set
    // on success; 0 at the first failing step, and at once, without touching
    // the device, when there is no block to record into. A device left open
    // by a failed Stop is released first.
    int Start();
    // Stop, reset, unprepare, close, each only after the previous succeeded.
    // Returns 0 when stopping or resetting failed, else 1.
    int Stop();
    // Sample at index, or 0 when there is no block or the index is past it.
    short GetSample(int nIndex) const;

    // Drawing of the block in the dialog's wave rectangle (WaveRecorderDraw.cpp).
    // Sample i lies at x = left + i x width / samples; a sample v at y =
    // centre + v x height / 32768, kept inside the rectangle (positive
    // samples below the centre line).
    // The part of the trace that belongs to one timer tick (1-based), every
    // step-th sample; returns the mean absolute value of the samples drawn.
    int DrawLive(CDC* pDC, CRect rect, COLORREF colour, int nStep, int nTick) const;
    // The whole block as one trace, every step-th sample.
    void DrawTake(CDC* pDC, CRect rect, COLORREF colour, int nStep) const;
    // Vertical markers at two samples, an eighth of the height short of top and bottom.
    void DrawEndpoints(CDC* pDC, CRect rect, COLORREF colour, int nBegin, int nEnd) const;
    // A blue circle (good) or a red cross (bad) in the square in the middle of the rectangle.
    void DrawMark(CDC* pDC, CRect rect, int bGood) const;

    MMRESULT GetLastResult() const { return m_mmResult; }
    BOOL IsRecording() const { return m_bRecording; }
    DWORD GetBufferSize() const { return m_dwBufferSize; }
    // Samples the block holds and GetSample reads: 0 without a block.
    int GetSampleCount() const { return static_cast<int>(UsableBytes() / 2); }
    const WAVEFORMATEX& GetFormat() const { return m_wfx; }
    int GetTickMs() const { return m_nTickMs; }

protected:
    // For test and sample-host subclasses that deliver takes from files: the
    // same recorder logic over another wave-in device, which must outlive
    // the recorder.
    CWaveRecorder(int nTakeMs, int nTickMs, IWaveInDevice& device);

private:
    void Init(int nTickMs);
    // The bytes of the block that belong to the take: the buffer size, bounded
    // by what was allocated.
    DWORD UsableBytes() const;
    // Reset, unprepare and close a device that is still open; 1 when it is closed.
    int ReleaseDevice();
    // y of a sample in the rectangle.
    static int SampleY(short nSample, const CRect& rect);
    // Lines through the points with a 1-pixel pen of the colour.
    static void DrawTrace(CDC* pDC, COLORREF colour, const std::vector<POINT>& trace);

    MMRESULT m_mmResult;
    BOOL m_bRecording;
    WAVEFORMATEX m_wfx;
    DWORD m_dwBufferSize;
    // The block before the device: members go in reverse order, so a device
    // still open is closed before its block is freed.
    CGlobalBlock m_block;
    int m_nTickMs;
    CWaveInHandle m_waveIn;
    WAVEHDR m_waveHdr;
};
