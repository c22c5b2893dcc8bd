#include "voice/WaveRecorder.h"

#include <cstring>

#include "voice/WinmmWaveIn.h"

namespace {

const WORD kChannels = 1;
const DWORD kSamplesPerSecond = 11025;
const WORD kBitsPerSample = 16;
const WORD kBlockAlign = kChannels * kBitsPerSample / 8;

IWaveInDevice& Microphone()
{
    static CWinmmWaveIn microphone;
    return microphone;
}

}  // namespace

CWaveRecorder::CWaveRecorder(int /*nTakeMs*/, int nTickMs) : m_waveIn(Microphone())
{
    Init(nTickMs);
}

CWaveRecorder::CWaveRecorder(int /*nTakeMs*/, int nTickMs, IWaveInDevice& device) : m_waveIn(device)
{
    Init(nTickMs);
}

void CWaveRecorder::Init(int nTickMs)
{
    m_mmResult = MMSYSERR_NOERROR;
    m_bRecording = FALSE;
    m_wfx = WAVEFORMATEX{};
    m_wfx.wFormatTag = WAVE_FORMAT_PCM;
    m_wfx.nChannels = kChannels;
    m_wfx.nSamplesPerSec = kSamplesPerSecond;
    m_wfx.nAvgBytesPerSec = kSamplesPerSecond * kBlockAlign;
    m_wfx.nBlockAlign = kBlockAlign;
    m_wfx.wBitsPerSample = kBitsPerSample;
    m_wfx.cbSize = 0;
    m_dwBufferSize = 0;
    m_nTickMs = nTickMs;
    m_waveHdr = WAVEHDR{};
    AllocBuffer();
}

CWaveRecorder::~CWaveRecorder()
{
    // The dialog stops a take before it deletes the recorder; should it not,
    // the driver must have let go of the header before the block is freed.
    if (m_waveIn.IsOpen())
        ReleaseDevice();
    FreeBuffer();
}

void CWaveRecorder::SetDuration(int nSeconds)
{
    m_dwBufferSize = nSeconds > 0 ? m_wfx.nAvgBytesPerSec * static_cast<DWORD>(nSeconds) : 0;
}

DWORD CWaveRecorder::UsableBytes() const
{
    return m_dwBufferSize < m_block.Size() ? m_dwBufferSize : m_block.Size();
}

int CWaveRecorder::AllocBuffer()
{
    FreeBuffer();
    return m_block.Allocate(m_dwBufferSize) ? 1 : 0;
}

void CWaveRecorder::FreeBuffer()
{
    // A stop that failed leaves the device open and its header on the
    // block; the driver lets go of the block before it is freed.
    if (m_waveIn.IsOpen())
        ReleaseDevice();
    m_block.Free();
}

void CWaveRecorder::PrepareHeader()
{
    m_waveHdr.lpData = static_cast<LPSTR>(m_block.Data());
    m_waveHdr.dwBufferLength = UsableBytes();
    m_waveHdr.dwBytesRecorded = UsableBytes();
    m_waveHdr.dwFlags = 0;
    m_waveHdr.dwLoops = 0;
}

int CWaveRecorder::Open()
{
    m_mmResult = m_waveIn.Open(m_wfx);
    if (m_mmResult != MMSYSERR_NOERROR)
        return 0;
    m_mmResult = m_waveIn.Device().PrepareHeader(m_waveIn.Get(), &m_waveHdr);
    return m_mmResult == MMSYSERR_NOERROR ? 1 : 0;
}

int CWaveRecorder::Start()
{
    if (UsableBytes() == 0) {
        m_mmResult = MMSYSERR_NOMEM;
        return 0;
    }
    if (m_waveIn.IsOpen() && !ReleaseDevice())
        return 0;
    // The block is reallocated between takes and not cleared by that; what
    // the device does not fill must be silence, not the last take's speech.
    std::memset(m_block.Data(), 0, UsableBytes());
    PrepareHeader();
    if (!Open())
        return 0;
    m_mmResult = m_waveIn.Device().AddBuffer(m_waveIn.Get(), &m_waveHdr);
    if (m_mmResult != MMSYSERR_NOERROR)
        return 0;
    m_mmResult = m_waveIn.Device().Start(m_waveIn.Get());
    if (m_mmResult != MMSYSERR_NOERROR)
        return 0;
    m_bRecording = TRUE;
    return 1;
}

int CWaveRecorder::Stop()
{
    m_bRecording = FALSE;
    IWaveInDevice& device = m_waveIn.Device();
    m_mmResult = device.Stop(m_waveIn.Get());
    if (m_mmResult != MMSYSERR_NOERROR)
        return 0;
    m_mmResult = device.Reset(m_waveIn.Get());
    if (m_mmResult != MMSYSERR_NOERROR)
        return 0;
    // Unpreparing and closing cannot undo a take that was already captured;
    // their results are kept for the caller but do not fail the stop.
    m_mmResult = device.UnprepareHeader(m_waveIn.Get(), &m_waveHdr);
    if (m_mmResult == MMSYSERR_NOERROR)
        m_mmResult = m_waveIn.Close();
    return 1;
}

int CWaveRecorder::ReleaseDevice()
{
    IWaveInDevice& device = m_waveIn.Device();
    device.Reset(m_waveIn.Get());
    device.UnprepareHeader(m_waveIn.Get(), &m_waveHdr);
    m_mmResult = m_waveIn.Close();
    return m_mmResult == MMSYSERR_NOERROR ? 1 : 0;
}

short CWaveRecorder::GetSample(int nIndex) const
{
    if (nIndex < 0 || static_cast<DWORD>(nIndex) >= UsableBytes() / 2)
        return 0;
    return static_cast<const short*>(m_block.Data())[nIndex];
}
