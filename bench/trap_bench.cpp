// What the trap around a call into the vendor library costs: the median time
// of a call of a trivial NewPix, straight and through CallForeign (the trap
// that every Gerar press sets). Run by hand, never by ctest:
//   scripts/lib/harness.sh run build/win64 --name trap_bench -- build/win64/bench/trap_bench.exe
// The performance counter ticks every 100 ns under Wine, too coarse for one
// call: each of the 10,000 samples times a run of kRun calls and counts as
// the mean of its run. The counter's own cost is in both figures; the
// difference of the medians is the trap's.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "base/core/compiler.h"
#include "tests/wine/driver/driver.h"
#include "win/faults.h"

using namespace pixtest;

namespace {

constexpr int kCalls = 10000;
constexpr int kRun = 64;

// NewPix with nothing to do: the answer is a constant text.
PIX_NOINLINE const wchar_t* PIX_STDCALL TrivialNewPix(const wchar_t*, const wchar_t*, const wchar_t*,
                                                       const wchar_t*, const wchar_t*, const wchar_t*,
                                                       const wchar_t*, double, double) {
    return L"ok";
}

using NewPixFn = const wchar_t*(PIX_STDCALL*)(const wchar_t*, const wchar_t*, const wchar_t*, const wchar_t*,
                                               const wchar_t*, const wchar_t*, const wchar_t*, double, double);
NewPixFn volatile newPix = &TrivialNewPix;  // opaque to the optimiser: the call is made every time

double Nanoseconds(LONGLONG ticks) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return 1e9 * static_cast<double>(ticks) / static_cast<double>(frequency.QuadPart);
}

template <class Call>
double MedianNanoseconds(Call call) {
    std::vector<LONGLONG> samples;
    samples.reserve(kCalls);
    for (int i = 0; i < kCalls; ++i) {
        LARGE_INTEGER before, after;
        QueryPerformanceCounter(&before);
        for (int j = 0; j < kRun; ++j) call();
        QueryPerformanceCounter(&after);
        samples.push_back(after.QuadPart - before.QuadPart);
    }
    std::nth_element(samples.begin(), samples.begin() + kCalls / 2, samples.end());
    return Nanoseconds(samples[kCalls / 2]) / kRun;
}

const wchar_t* Straight() { return newPix(L"001", nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, 1.0, 2.0); }

}  // namespace

PIX_TEST(TrapPerCall) {
    pix::cpu::SetX87ControlWord(pix::cpu::kProgramX87ControlWord);
    volatile const wchar_t* sink = nullptr;
    for (int round = 0; round < 3; ++round) {
        const double straight = MedianNanoseconds([&] { sink = Straight(); });
        const double trapped = MedianNanoseconds([&] { sink = pix::CallForeign([] { return Straight(); }); });
        char line[160];
        std::snprintf(line, sizeof line, "round %d: straight %.1f ns, through CallForeign %.1f ns, trap %.1f ns",
                      round + 1, straight, trapped, trapped - straight);
        Note(line);
    }
    CHECK(sink != nullptr);
}
