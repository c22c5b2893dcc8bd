// Prints what the default skin costs a host: loading it (skin.ini, the five
// pictures, the window outline from the mask and the skin's controls) and one
// paint of the dialog with all its controls.
//
//   sonvera-skin-bench [application folder]   (default: the source tree)
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "Sonvera.h"

namespace {

// The voice dialog's template in Sonvera.dll, for which skins are laid out.
const UINT kVoiceDialogTemplate = 3000;
const int kLoads = 20;
const int kPaints = 50;

double NowMs()
{
    static LARGE_INTEGER frequency;
    if (frequency.QuadPart == 0)
        QueryPerformanceFrequency(&frequency);
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return 1000.0 * static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

void PumpMessages()
{
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

// Runs the step `count` times; prints and returns the median time.
template <typename Step>
double Measure(const char* what, int count, Step step)
{
    std::vector<double> times;
    for (int i = 0; i < count; ++i) {
        const double start = NowMs();
        step();
        times.push_back(NowMs() - start);
        PumpMessages();
    }
    std::sort(times.begin(), times.end());
    const double median = times[times.size() / 2];
    std::printf("%-52s median %6.2f ms, fastest %6.2f ms, slowest %6.2f ms (%d runs)\n", what, median,
                times.front(), times.back(), count);
    return median;
}

} // namespace

int main(int argc, char** argv)
{
    const CString appFolder = argc > 1 ? argv[1] : SONVERA_APP_FOLDER;
    CSkinDlg dialog(kVoiceDialogTemplate);
    dialog.SetSkinFile("default", "Sonver", appFolder);

    // The first load also loads the picture decoders and the fonts.
    double start = NowMs();
    if (!dialog.Create(kVoiceDialogTemplate) || dialog.IsEnabled(5000) != 1) {
        std::fprintf(stderr, "the default skin under %s did not load\n", appFolder.GetString());
        return 1;
    }
    std::printf("%-52s %6.2f ms\n", "dialog created with its first skin load:", NowMs() - start);

    const double load = Measure("load the default skin with its outline (LoadSkins):", kLoads,
                                [&dialog] { dialog.LoadSkins(); });
    // Shown without activation: under Wine without a window manager an active
    // window takes seconds to go away at the end.
    dialog.ShowWindow(SW_SHOWNOACTIVATE);
    PumpMessages();
    const double paint = Measure("paint the dialog once, every control included:", kPaints, [&dialog] {
        dialog.RedrawWindow(RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    });
    std::printf("targets: load and outline <= 50 ms (%s), one paint <= 10 ms (%s)\n", load <= 50 ? "met" : "missed",
                paint <= 10 ? "met" : "missed");
    dialog.DestroyWindow();
    return 0;
}
