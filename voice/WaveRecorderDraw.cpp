// CWaveRecorder's drawing of its block: the live trace of a take tick by tick,
// the whole take, the speech end points and the verdict mark.
#include "voice/WaveRecorder.h"

#include <vector>

#include "fw/Pen.h"

namespace {

// Pen of the live trace, the take and the end-point markers; of the marks.
const int kTraceWidth = 1;
const int kMarkWidth = 5;
const COLORREF kGoodMark = RGB(0, 0, 255);
const COLORREF kBadMark = RGB(255, 0, 0);
// The mark's box keeps this far from the rectangle's sides.
const int kMarkMargin = 3;
// Full scale of a 16-bit sample.
const double kSampleScale = 1.0 / 32768.0;

}  // namespace

int CWaveRecorder::SampleY(short nSample, const CRect& rect)
{
    const double centre = rect.top + rect.Height() / 2;
    double y = nSample * (rect.Height() * kSampleScale) + centre;
    if (y < rect.top)
        y = rect.top;
    if (y > rect.bottom)
        y = rect.bottom;
    return static_cast<int>(y);
}

// The trace is handed to the system as one line through many points: a take
// has 33075 samples, and one call per segment costs more than the drawing.
int CWaveRecorder::DrawLive(CDC* pDC, CRect rect, COLORREF colour, int nStep, int nTick) const
{
    const int samples = GetSampleCount();
    if (samples == 0 || nStep < 1 || nTick < 1)
        return 0;
    // A tick covers average bytes per second x tick length of bytes, half as many samples.
    const double bytesPerTick = m_wfx.nAvgBytesPerSec * static_cast<double>(m_nTickMs) * 0.001;
    const int first = static_cast<int>(bytesPerTick * (nTick - 1) * 0.5);
    const int last = static_cast<int>(m_wfx.nAvgBytesPerSec * static_cast<double>(m_nTickMs) * nTick * 0.0005);
    const double xScale = static_cast<double>(rect.Width()) / samples;

    std::vector<POINT> trace;
    trace.reserve(static_cast<size_t>((last - first) / nStep + 2));
    trace.push_back(POINT{static_cast<int>(first * xScale + rect.left), SampleY(GetSample(first), rect)});
    long long sum = 0;
    int count = 0;
    for (int s = first + nStep; s < last; s += nStep) {
        const short sample = GetSample(s);
        sum += sample < 0 ? -sample : sample;
        ++count;
        trace.push_back(POINT{static_cast<int>(s * xScale + rect.left), SampleY(sample, rect)});
    }
    DrawTrace(pDC, colour, trace);
    return count > 0 ? static_cast<int>(sum / count) : 0;
}

void CWaveRecorder::DrawTake(CDC* pDC, CRect rect, COLORREF colour, int nStep) const
{
    const int samples = GetSampleCount();
    if (samples == 0 || nStep < 1)
        return;
    const double xScale = static_cast<double>(rect.Width()) / samples;
    std::vector<POINT> trace;
    trace.reserve(static_cast<size_t>(samples / nStep + 1));
    trace.push_back(POINT{rect.left, SampleY(GetSample(0), rect)});
    for (int s = nStep; s < samples; s += nStep)
        trace.push_back(POINT{static_cast<int>(s * xScale + rect.left), SampleY(GetSample(s), rect)});
    DrawTrace(pDC, colour, trace);
}

void CWaveRecorder::DrawTrace(CDC* pDC, COLORREF colour, const std::vector<POINT>& trace)
{
    if (trace.size() < 2)
        return;
    CPen pen(PS_SOLID, kTraceWidth, colour);
    CDC dc(pDC->GetSafeHdc());
    dc.SelectObject(pen);
    dc.Polyline(trace.data(), static_cast<int>(trace.size()));
}

void CWaveRecorder::DrawEndpoints(CDC* pDC, CRect rect, COLORREF colour, int nBegin, int nEnd) const
{
    const int samples = GetSampleCount();
    if (samples == 0)
        return;
    const double xScale = static_cast<double>(rect.Width()) / samples;
    const int inset = rect.Height() / 8;
    CPen pen(PS_SOLID, kTraceWidth, colour);
    CDC dc(pDC->GetSafeHdc());
    dc.SelectObject(pen);
    for (int sample : {nBegin, nEnd}) {
        const int x = static_cast<int>(sample * xScale + rect.left);
        dc.MoveTo(x, rect.top + inset);
        dc.LineTo(x, rect.bottom - inset);
    }
}

void CWaveRecorder::DrawMark(CDC* pDC, CRect rect, int bGood) const
{
    // The largest square centred in the rectangle, kept off its edges.
    const int width = rect.Width();
    const int height = rect.Height();
    CRect box;
    if (width > height) {
        const int d = (width - height) / 2;
        box.SetRect(rect.left + d + kMarkMargin, rect.top + kMarkMargin, rect.left + d + height,
                    rect.bottom - kMarkMargin);
    } else {
        const int d = (height - width) / 2;
        box.SetRect(rect.left + kMarkMargin, rect.top + d + kMarkMargin, rect.right - kMarkMargin,
                    rect.top + d + width);
    }
    CPen pen(PS_SOLID, kMarkWidth, bGood ? kGoodMark : kBadMark);
    CDC dc(pDC->GetSafeHdc());
    dc.SelectStockObject(NULL_BRUSH);
    dc.SelectObject(pen);
    if (bGood) {
        dc.Ellipse(box.left, box.top, box.right, box.bottom);
    } else {
        dc.MoveTo(box.left, box.top);
        dc.LineTo(box.right, box.bottom);
        dc.MoveTo(box.left, box.bottom);
        dc.LineTo(box.right, box.top);
    }
}
