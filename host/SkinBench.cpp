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
#include "host/BenchClock.h"

namespace {

// The voice dialog's template in Sonvera.dll, for which skins are laid out.
const UINT kVoiceDialogTemplate = 3000;
const int kLoads = 20;
const int kPaints = 50;

// The processor time this process has used so far (user and system), in ms:
// on a busy machine it shows what a step costs apart from waiting for others.
double ProcessorMs()
{
    FILETIME created, exited, kernel, user;
    if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user))
        return 0;
    auto ms = [](const FILETIME& t) {
        return static_cast<double>((static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 10000.0;
    };
    return ms(kernel) + ms(user);
}

void PumpMessages()
{
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

// Runs the step `count` times; prints the times and returns the fastest.
template <typename Step>
double Measure(const char* what, int count, Step step)
{
    std::vector<double> times;
    const double processorStart = ProcessorMs();
    for (int i = 0; i < count; ++i) {
        const double start = NowMs();
        step();
        times.push_back(NowMs() - start);
        PumpMessages();
    }
    const double processor = (ProcessorMs() - processorStart) / count;
    std::sort(times.begin(), times.end());
    std::printf("%s\n    fastest %.2f ms, median %.2f ms, slowest %.2f ms over %d runs; "
                "processor time of this process %.2f ms a run\n",
                what, times.front(), times[times.size() / 2], times.back(), count, processor);
    return times.front();
}

} // namespace

int main(int argc, char** argv)
{
    const CString appFolder = argc > 1 ? argv[1] : SONVERA_APP_FOLDER;
    // A skin that fails to load makes the dialog say so in a message box,
    // which on a display nobody watches waits for good: the skin file is
    // looked for first.
    if (!CSetupFile::IsFileExist(appFolder + "\\skin\\DEFAULT\\skin.ini", 0)) {
        std::fprintf(stderr, "no default skin under %s\n", appFolder.GetString());
        return 1;
    }
    CSkinDlg dialog(kVoiceDialogTemplate);
    dialog.SetSkinFile("default", "Sonver", appFolder);

    // The first load also loads the picture decoders and the fonts.
    double start = NowMs();
    if (!dialog.Create(kVoiceDialogTemplate) || dialog.IsEnabled(5000) != 1) {
        std::fprintf(stderr, "the default skin under %s did not load\n", appFolder.GetString());
        return 1;
    }
    std::printf("dialog created with its first skin load: %.2f ms\n", NowMs() - start);

    const double load = Measure("load the default skin with its outline and controls (LoadSkins):", kLoads,
                                [&dialog] { dialog.LoadSkins(); });
    // Shown without activation: under Wine without a window manager an active
    // window takes seconds to go away at the end.
    dialog.ShowWindow(SW_SHOWNOACTIVATE);
    PumpMessages();
    const double paint = Measure("paint the dialog once, every control included (RedrawWindow):", kPaints, [&dialog] {
        dialog.RedrawWindow(RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    });
    std::printf("targets (fastest run): load and outline <= 50 ms (%s), one paint <= 10 ms (%s)\n",
                load <= 50 ? "met" : "missed", paint <= 10 ? "met" : "missed");
    dialog.DestroyWindow();
    return 0;
}
