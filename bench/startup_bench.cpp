// How long PixGen takes to start and to answer "Gerar", as a person would
// see it. Run by hand, never by ctest:
//   scripts/lib/harness.sh run build/win64 --name startup_bench -- build/win64/bench/startup_bench.exe
// Under Wine the numbers include Wine's own process start; compare runs on
// the same machine only.
#include <algorithm>
#include <cstdio>
#include <vector>

#include "bench/clock.h"
#include "form/core/control_ids.h"
#include "tests/wine/driver/driver.h"

using namespace pixtest;

namespace {

using benchclock::Milliseconds;
using benchclock::Now;

constexpr int kRuns = 15;

void Summarise(const char* what, std::vector<double> samples) {
    std::sort(samples.begin(), samples.end());
    char line[160];
    std::snprintf(line, sizeof line, "%s: median %.1f ms, min %.1f ms, max %.1f ms over %zu runs", what,
                  samples[samples.size() / 2], samples.front(), samples.back(), samples.size());
    Note(line);
}

}  // namespace

PIX_TEST(StartAndGerar) {
    const std::wstring program = Deploy(L"bench", Layout{L"PixGen.exe", PlainLibrary()});
    std::vector<double> toWindow, toAnswer, toExit;
    for (int run = 0; run < kRuns; ++run) {
        const LARGE_INTEGER started = Now();
        Process pixgen = Process::Start(program);
        const HWND main = WaitForMainWindow(pixgen);
        REQUIRE(main != nullptr);
        const LARGE_INTEGER shown = Now();
        toWindow.push_back(Milliseconds(started, shown));

        const HWND memo = FindDescendantById(main, pix::ids::Memo1);
        SendMessageW(FindDescendantById(main, pix::ids::edtValor), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"1"));
        const LARGE_INTEGER pressed = Now();
        SendMessageW(FindDescendantById(main, pix::ids::Button2), BM_CLICK, 0, 0);
        REQUIRE(!Text(memo).empty());
        toAnswer.push_back(Milliseconds(pressed, Now()));

        const LARGE_INTEGER closing = Now();
        PostMessageW(main, WM_CLOSE, 0, 0);
        REQUIRE(pixgen.WaitForExit());
        toExit.push_back(Milliseconds(closing, Now()));
    }
    Summarise("start to visible window", toWindow);
    Summarise("Gerar to answer in the result area", toAnswer);
    Summarise("WM_CLOSE to process end", toExit);
}
