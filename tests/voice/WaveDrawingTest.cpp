// The recorder's four drawings, pixel by pixel on a memory canvas.
#include <gtest/gtest.h>

#include <vector>

#include "host/takes/TakeFileWaveIn.h"
#include "tests/skin/SkinTestSupport.h"

namespace {

using sonvera_test::CCanvas;

const COLORREF kPaper = RGB(255, 255, 255);
const COLORREF kInk = RGB(0, 128, 0);
const COLORREF kBlue = RGB(0, 0, 255);
const COLORREF kRed = RGB(255, 0, 0);
const int kTakeSamples = 33075;

// A recorder of one 3 s take whose samples come from the function.
class CTakeRecorder {
public:
    template <typename F>
    explicit CTakeRecorder(F sampleAt) : m_recorder(3000, 100, m_source)
    {
        std::vector<short> take(kTakeSamples);
        for (int i = 0; i < kTakeSamples; ++i)
            take[static_cast<size_t>(i)] = sampleAt(i);
        m_source.QueueSamples(take);
        m_recorder.SetDuration(3);
        m_recorder.AllocBuffer();
        m_recorder.Start();
        m_recorder.Stop();
    }
    const CWaveRecorder* operator->() const { return &m_recorder; }

private:
    CTakeFileWaveIn m_source;
    CTakeFileRecorder m_recorder;
};

// The box is (53, 3)-(150, 97) from the panel's corner; the 5-pixel pen is
// centred on it. Points are from the panel's corner.
TEST(WaveDrawing, TheMarkAndTheLiveTrace)
{
    CTakeRecorder recorder([](int) { return short(0); });
    const struct {
        int good, x, y;
        COLORREF colour;
    } points[] = {
        {1, 101, 3, kBlue}, {1, 101, 96, kBlue}, {1, 53, 50, kBlue}, {1, 149, 50, kBlue},   // the circle
        {1, 101, 50, kPaper}, {1, 101, 0, kPaper}, {1, 46, 50, kPaper}, {1, 157, 50, kPaper},
        {0, 54, 4, kRed}, {0, 148, 95, kRed}, {0, 54, 95, kRed}, {0, 148, 4, kRed},        // the cross's ends
        {0, 101, 50, kRed}, {0, 101, 10, kPaper}, {0, 46, 50, kPaper},
    };
    for (const auto& p : points) {
        CCanvas canvas(240, 140);
        recorder->DrawMark(canvas.DC(), CRect(10, 20, 210, 120), p.good);
        EXPECT_EQ(p.colour, canvas.At(10 + p.x, 20 + p.y)) << p.good << " at " << p.x << ", " << p.y;
    }

    // Tick 30 draws samples 31972 to 33074, one pixel a sample; all lie at the
    // centre line but two spikes just before the tick, which stay undrawn.
    CTakeRecorder live([](int i) { return short(i == 31971 || i == 31970 ? 30000 : i % 7); });
    CCanvas trace(kTakeSamples + 10, 16);
    const CRect panel(0, 0, kTakeSamples, 16);
    const int mean = live->DrawLive(trace.DC(), panel, kInk, 1, 30);

    // The trace runs from sample 31972 to the line's end at sample 33074 (a
    // line leaves its last pixel open), on the centre row of 16 / 2 = 8.
    const std::vector<int> centre = trace.InkedColumns(8);
    ASSERT_FALSE(centre.empty());
    EXPECT_EQ(31972, centre.front());
    EXPECT_EQ(33073, centre.back());
    EXPECT_EQ(0u, trace.InkedColumns(15).size());   // the spikes before the tick are not drawn
    EXPECT_EQ(3, mean);   // of i % 7 over samples 31973 to 33074

    // Tick 1 starts at sample 0 and stops before sample 1102 (1102.5 per tick).
    CCanvas first(kTakeSamples + 10, 16);
    live->DrawLive(first.DC(), panel, kInk, 1, 1);
    const std::vector<int> start = first.InkedColumns(8);
    ASSERT_FALSE(start.empty());
    EXPECT_EQ(0, start.front());
    EXPECT_EQ(1100, start.back());
}

TEST(WaveDrawing, SamplesScaledEndPointsMarkedAndTheDcLeftAsItWas)
{
    // Positive samples lie below the centre; full scale reaches the edges.
    CTakeRecorder recorder([](int i) { return short(i < 16000 ? 16384 : -32768); });
    CCanvas canvas(340, 120);
    const CRect panel(20, 10, 320, 110);   // 300 x 100, centre line 60
    recorder->DrawTake(canvas.DC(), panel, kInk, 1);
    const int xHalf = 20 + 16000 * 300 / kTakeSamples / 2;
    EXPECT_EQ(kInk, canvas.At(xHalf, 60 + 50));    // 16384 -> half the height below the centre
    EXPECT_EQ(kPaper, canvas.At(xHalf, 60));
    EXPECT_EQ(kInk, canvas.At(250, 10));           // -32768 -> the top edge
    EXPECT_EQ(0u, canvas.InkedColumns(9).size());   // never above it
    EXPECT_EQ(kPaper, canvas.At(19, 110));           // nothing left of the panel

    // End points are two markers, or one when they coincide.
    const CRect markers(0, 10, kTakeSamples / 100, 90);   // height 80: markers from 20 to 80
    CCanvas two(kTakeSamples / 100 + 4, 100);
    recorder->DrawEndpoints(two.DC(), markers, kInk, 5000, 20000);
    // x = sample x 330 / 33075, truncated.
    EXPECT_EQ((std::vector<int>{49, 199}), two.InkedColumns(20));
    EXPECT_EQ((std::vector<int>{49, 199}), two.InkedColumns(79));
    EXPECT_TRUE(two.InkedColumns(19).empty());
    EXPECT_TRUE(two.InkedColumns(80).empty());

    CCanvas one(kTakeSamples / 100 + 4, 100);
    recorder->DrawEndpoints(one.DC(), markers, kInk, 12345, 12345);
    EXPECT_EQ(std::vector<int>{123}, one.InkedColumns(50));
    EXPECT_EQ(60, one.InkedCount());

    // The DC gets back its pen and brush; an empty block draws nothing.
    CCanvas restored(300, 100);
    HGDIOBJ pen = GetCurrentObject(*restored.DC(), OBJ_PEN);
    HGDIOBJ brush = GetCurrentObject(*restored.DC(), OBJ_BRUSH);
    recorder->DrawMark(restored.DC(), CRect(0, 0, 300, 100), 1);
    recorder->DrawTake(restored.DC(), CRect(0, 0, 300, 100), kInk, 3);
    recorder->DrawLive(restored.DC(), CRect(0, 0, 300, 100), kInk, 1, 5);
    recorder->DrawEndpoints(restored.DC(), CRect(0, 0, 300, 100), kInk, 0, 100);
    EXPECT_EQ(pen, GetCurrentObject(*restored.DC(), OBJ_PEN));
    EXPECT_EQ(brush, GetCurrentObject(*restored.DC(), OBJ_BRUSH));

    CTakeFileWaveIn source;
    CTakeFileRecorder empty(3000, 100, source);   // size 0: no block
    CCanvas blank(100, 50);
    EXPECT_EQ(0, empty.DrawLive(blank.DC(), CRect(0, 0, 100, 50), kInk, 1, 1));
    empty.DrawTake(blank.DC(), CRect(0, 0, 100, 50), kInk, 1);
    empty.DrawEndpoints(blank.DC(), CRect(0, 0, 100, 50), kInk, 0, 10);
    EXPECT_EQ(0, blank.InkedCount());
}

}  // namespace
