// What the house style costs: the start-up with the style against the same
// program without it, and one full repaint of the window with and without.
// Run by hand, never by ctest:
//   scripts/lib/harness.sh run build/win64 --name style_bench -- build/win64/bench/style_bench.exe
// Without its style the program first shows the "not found" box; the bench
// answers it the moment it shows, so the time counted is the program's own
// (the box's creation included), not a person's reading.
#include <algorithm>
#include <cstdio>
#include <tuple>
#include <vector>

#include "bench/clock.h"
#include "form/core/control_ids.h"
#include "tests/wine/driver/driver.h"

using namespace pixtest;

namespace {

using benchclock::Milliseconds;
using benchclock::Now;

constexpr int kRuns = 15;
constexpr int kRepaints = 1000;

void Summarise(const char* what, std::vector<double> samples, const char* unit = "ms") {
    std::sort(samples.begin(), samples.end());
    char line[200];
    std::snprintf(line, sizeof line, "%s: median %.3f %s, min %.3f, max %.3f over %zu", what,
                  samples[samples.size() / 2], unit, samples.front(), samples.back(), samples.size());
    Note(line);
}

HWND FindErrorBox(const Process& process) {
    for (HWND window : TopLevelWindows(process.Id()))
        if (IsWindowVisible(window) && ClassName(window) == L"#32770" && Text(window) == L"Error") return window;
    return nullptr;
}

// Start to visible main window, answering the "not found" box if asked.
double StartOnce(const std::wstring& program, bool answerBox, Process& process) {
    const LARGE_INTEGER started = Now();
    process = Process::Start(program);
    if (answerBox) {
        HWND box = nullptr;
        REQUIRE(WaitUntil([&] { return (box = FindErrorBox(process)) != nullptr; }, kStartTimeout, 1));
        const std::vector<HWND> buttons = VisibleButtons(box);
        REQUIRE(buttons.size() == 1);
        PostMessageW(buttons[0], BM_CLICK, 0, 0);
    }
    const HWND main = WaitForMainWindow(process);
    REQUIRE(main != nullptr);
    return Milliseconds(started, Now());
}

std::vector<double> Repaints(HWND main) {
    std::vector<double> samples;
    samples.reserve(kRepaints);
    for (int i = 0; i < kRepaints; ++i) {
        const LARGE_INTEGER before = Now();
        RedrawWindow(main, nullptr, nullptr,
                     RDW_FRAME | RDW_ERASE | RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
        samples.push_back(Milliseconds(before, Now()));
    }
    return samples;
}

void CloseAndWait(Process& process) {
    for (HWND window : TopLevelWindows(process.Id()))
        if (ClassName(window) == L"TForm1") PostMessageW(window, WM_CLOSE, 0, 0);
    REQUIRE(process.WaitForExit());
}

}  // namespace

PIX_TEST(StyleCost) {
    const std::wstring styled = Deploy(L"styled", Layout{L"PixGen.exe", PlainLibrary()});
    const std::wstring plain = Deploy(L"plain", Layout{L"PixGen.exe", PlainLibrary()});
    RewriteStyleResource(plain, StyleResource::Removed);

    std::vector<double> withStyle, without, ratios;
    for (int run = 0; run < kRuns; ++run) {
        // Alternating, so that a slow spell of the machine falls on both.
        Process a, b;
        const double s = StartOnce(styled, false, a);
        CloseAndWait(a);
        const double p = StartOnce(plain, true, b);
        CloseAndWait(b);
        withStyle.push_back(s);
        without.push_back(p);
        ratios.push_back(s / p);
    }
    Summarise("start to visible window, with the style", withStyle);
    Summarise("start to visible window, without the style (box answered at once)", without);
    Summarise("ratio with / without, per pair", ratios, "");

    for (const auto& [name, program, box] :
         {std::tuple{"with the style", styled, false}, std::tuple{"without the style", plain, true}}) {
        Process process;
        StartOnce(program, box, process);
        const HWND main = WaitForMainWindow(process);
        BringToFront(main);
        Responds(main);
        const std::string what = std::string("one full repaint, ") + name;
        Summarise(what.c_str(), Repaints(main));
        CloseAndWait(process);
    }
}
