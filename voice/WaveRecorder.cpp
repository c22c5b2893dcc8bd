#include "voice/WaveRecorder.h"

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

CWaveRecorder::CWaveRecorder(int /*nTakeMs*/, int nTickMs) : m_pDevice(&Microphone())
{
    Init(nTickMs);
}

CWaveRecorder::CWaveRecorder(int /*nTakeMs*/, int nTickMs, IWaveInDevice& device)
    : m_pDevice(&device)
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
    m_pBuffer = nullptr;
    m_hBuffer = nullptr;
    m_nTickMs = nTickMs;
    m_hWaveIn = nullptr;
    m_waveHdr = WAVEHDR{};
    AllocBuffer();
}

CWaveRecorder::~CWaveRecorder()
{
    FreeBuffer();
}

void CWaveRecorder::SetDuration(int nSeconds)
{
    m_dwBufferSize = nSeconds > 0 ? m_wfx.nAvgBytesPerSec * static_cast<DWORD>(nSeconds) : 0;
}

int CWaveRecorder::AllocBuffer()
{
    FreeBuffer();
    if (m_dwBufferSize == 0)
        return 0;
    m_hBuffer = GlobalAlloc(GMEM_MOVEABLE, m_dwBufferSize);
    if (m_hBuffer == nullptr)
        return 0;
    m_pBuffer = static_cast<short*>(GlobalLock(m_hBuffer));
    if (m_pBuffer == nullptr) {
        GlobalFree(m_hBuffer);
        m_hBuffer = nullptr;
        return 0;
    }
    return 1;
}

void CWaveRecorder::FreeBuffer()
{
    if (m_hBuffer == nullptr)
        return;
    GlobalUnlock(m_hBuffer);
    GlobalFree(m_hBuffer);
    m_hBuffer = nullptr;
    m_pBuffer = nullptr;
}

void CWaveRecorder::PrepareHeader()
{
    m_waveHdr.lpData = reinterpret_cast<LPSTR>(m_pBuffer);
    m_waveHdr.dwBufferLength = m_dwBufferSize;
    m_waveHdr.dwBytesRecorded = m_dwBufferSize;
    m_waveHdr.dwFlags = 0;
    m_waveHdr.dwLoops = 0;
}

int CWaveRecorder::Open()
{
    m_mmResult = m_pDevice->Open(&m_hWaveIn, &m_wfx);
    if (m_mmResult != MMSYSERR_NOERROR)
        return 0;
    m_mmResult = m_pDevice->PrepareHeader(m_hWaveIn, &m_waveHdr);
    return m_mmResult == MMSYSERR_NOERROR ? 1 : 0;
}

int CWaveRecorder::Start()
{
    PrepareHeader();
    if (!Open())
        return 0;
    m_mmResult = m_pDevice->AddBuffer(m_hWaveIn, &m_waveHdr);
    if (m_mmResult != MMSYSERR_NOERROR)
        return 0;
    m_mmResult = m_pDevice->Start(m_hWaveIn);
    if (m_mmResult != MMSYSERR_NOERROR)
        return 0;
    m_bRecording = TRUE;
    return 1;
}

int CWaveRecorder::Stop()
{
    m_bRecording = FALSE;
    m_mmResult = m_pDevice->Stop(m_hWaveIn);
    if (m_mmResult != MMSYSERR_NOERROR)
        return 0;
    m_mmResult = m_pDevice->Reset(m_hWaveIn);
    if (m_mmResult != MMSYSERR_NOERROR)
        return 0;
    // Unpreparing and closing cannot undo a take that was already captured;
    // their results are kept for the caller but do not fail the stop.
    m_mmResult = m_pDevice->UnprepareHeader(m_hWaveIn, &m_waveHdr);
    if (m_mmResult == MMSYSERR_NOERROR) {
        m_mmResult = m_pDevice->Close(m_hWaveIn);
        if (m_mmResult == MMSYSERR_NOERROR)
            m_hWaveIn = nullptr;
    }
    return 1;
}

short CWaveRecorder::GetSample(int nIndex) const
{
    if (m_pBuffer == nullptr || nIndex < 0 || static_cast<DWORD>(nIndex) >= m_dwBufferSize / 2)
        return 0;
    return m_pBuffer[nIndex];
}
