// What scripts/bench measures under Wine, written as raw figures into the
// scratch folder for the script to summarise (never run by ctest):
//   Startup  alternating starts of PixGen and the bare window, each from
//            CreateProcess to the first painted frame of its window:
//            startup.txt, lines "<pair> <pixgen|bare> <ms>"
//   Presses  presses of Gerar on the timed PixGen (it writes timings.txt
//            itself), the result area cleared every 1,000 the way a person
//            would, then failure dialogs, then an idle spell:
//            holdings.txt, lines "<moment> <handles> <gdi> <user> <private bytes>",
//            and idle.txt, "<cpu seconds> <wall seconds>"
// Counts come from PIX_BENCH_RUNS (start-up pairs, 20) and PIX_BENCH_PRESSES
// (10,000); PIX_BARE and PIX_TIMED name the two other programs.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/clock.h"
#include "form/core/control_ids.h"
#include "tests/fixtures/sample_charge.h"
#include "tests/wine/driver/driver.h"

using namespace pixtest;
namespace ids = pix::ids;

namespace {

using benchclock::Milliseconds;
using benchclock::Now;

int Count(const wchar_t* variable, int fallback) {
    const std::wstring value = Environment(variable);
    return value.empty() ? fallback : std::max(1, _wtoi(value.c_str()));
}

class Output {
public:
    explicit Output(const wchar_t* name) : file_(_wfopen(Scratch(name).c_str(), L"w")) { REQUIRE(file_ != nullptr); }
    ~Output() { std::fclose(file_); }
    Output(const Output&) = delete;
    Output& operator=(const Output&) = delete;
    void Line(const std::string& text) {
        std::fprintf(file_, "%s\n", text.c_str());
        std::fflush(file_);
    }

private:
    FILE* file_;
};

// --- start-up -------------------------------------------------------------------

bool NothingLeftToPaint(HWND window) {
    if (GetUpdateRect(window, nullptr, FALSE)) return false;
    for (HWND child : Descendants(window))
        if (IsWindowVisible(child) && GetUpdateRect(child, nullptr, FALSE)) return false;
    return true;
}

// From CreateProcess until the visible window "PIX" and its children have
// been painted (no update region left), polled every millisecond.
double TimeToFirstFrame(const std::wstring& program) {
    const LARGE_INTEGER started = Now();
    Process process = Process::Start(program);
    HWND window = nullptr;
    const bool painted = WaitUntil(
        [&] {
            if (!window)
                for (HWND w : TopLevelWindows(process.Id()))
                    if (IsWindowVisible(w) && StoredText(w) == L"PIX") window = w;
            return window && NothingLeftToPaint(window);
        },
        kStartTimeout, 1);
    const LARGE_INTEGER done = Now();
    REQUIRE(painted);
    PostMessageW(window, WM_CLOSE, 0, 0);
    REQUIRE(process.WaitForExit());
    return Milliseconds(started, done);
}

PIX_TEST(Startup) {
    const std::wstring pixgen = Deploy(L"startup", Layout{L"PixGen.exe", PlainLibrary()});
    const std::wstring bare = RequiredEnvironment(L"PIX_BARE");
    const int pairs = Count(L"PIX_BENCH_RUNS", 20);
    Output out(L"startup.txt");
    // One of each first, unmeasured: the first start loads what both share.
    TimeToFirstFrame(pixgen);
    TimeToFirstFrame(bare);
    for (int pair = 0; pair < pairs; ++pair) {
        // The order alternates too, so that neither always follows the other.
        const bool pixgenFirst = pair % 2 == 0;
        for (int k = 0; k < 2; ++k) {
            const bool isPixgen = (k == 0) == pixgenFirst;
            const double ms = TimeToFirstFrame(isPixgen ? pixgen : bare);
            out.Line(std::to_string(pair) + (isPixgen ? " pixgen " : " bare ") + std::to_string(ms));
        }
    }
}

// --- presses and what the process holds -----------------------------------------

// Under Wine the Linux process stands in for what Wine does not count
// (MeasureHoldings).
void Measure(Output& out, const Process& process, const std::string& moment) {
    const Holdings h = MeasureHoldings(process);
    out.Line(moment + " " + std::to_string(h.handles) + " " + std::to_string(h.gdiObjects) + " " +
             std::to_string(h.userObjects) + " " + std::to_string(h.privateBytes));
}

std::size_t TextLength(HWND window) {
    DWORD_PTR length = 0;
    SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kReactTimeout, &length);
    return length;
}

void SetField(HWND field, const std::wstring& text) {
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), SMTO_ABORTIFHUNG,
                        kReactTimeout, &ignored);
}

bool MainWindowActive(const Process& process, HWND main) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    return GetGUIThreadInfo(process.ThreadId(), &info) && info.hwndActive == main;
}

PIX_TEST(Presses) {
    const std::wstring program =
        Deploy(L"presses", Layout{L"PixGen.exe", kNoLibrary});
    // The timed PixGen replaces the plain one in the same folder.
    REQUIRE(CopyFileW(RequiredEnvironment(L"PIX_TIMED").c_str(), program.c_str(), FALSE));
    REQUIRE(CopyFileW(PlainLibrary().c_str(), JoinPath(FolderOf(program), L"Quelvano.dll").c_str(), FALSE));
    const int presses = Count(L"PIX_BENCH_PRESSES", 10000);
    Process process = Process::Start(program, {-1, {{L"PIX_BENCH_TIMINGS", Scratch(L"timings.txt")}}, {}});
    const HWND main = WaitForMainWindow(process);
    REQUIRE(main != nullptr);
    REQUIRE(Responds(main));
    Output holdings(L"holdings.txt");
    Measure(holdings, process, "start");

    for (const pix::sample::Field& field : pix::sample::kCharge)
        SetField(FindDescendantById(main, field.id), std::wstring(field.text, field.text + std::char_traits<char16_t>::length(field.text)));
    SetField(FindDescendantById(main, ids::edtValor), L"1");
    const HWND memo = FindDescendantById(main, ids::Memo1);
    const POINT button = CenterOf(WindowRect(FindDescendantById(main, ids::Button2)));
    REQUIRE(BringToFront(main));

    for (int press = 1; press <= presses; ++press) {
        const std::size_t before = TextLength(memo);
        Click(button);
        if (!WaitUntil([&] { return TextLength(memo) != before; }, kReactTimeout, 1))
            Fail("press " + std::to_string(press) + " brought no answer");
        if (press % 1000 == 0) {
            if (press == 1000) Measure(holdings, process, "presses-1000");
            // Select all and delete, as a person clears the result area.
            Click(CenterOf(WindowRect(memo)));
            PressKey('A', kControl);
            PressKey(VK_DELETE);
            if (!WaitUntil([&] { return TextLength(memo) == 0; }, kReactTimeout, 1)) Fail("the result area kept its text");
        }
    }
    Measure(holdings, process, "presses-" + std::to_string(presses));

    // Failure dialogs: an amount that cannot be converted, answered by Enter.
    SetField(FindDescendantById(main, ids::edtValor), L"abc");
    for (int failure = 1; failure <= 1000; ++failure) {
        Click(button);
        const HWND box = WaitForMessageBox(process, main);
        if (!box) Fail("failure " + std::to_string(failure) + " showed no dialog");
        AnswerByEnter(box);
        if (!WaitUntil([&] { return MainWindowActive(process, main); }, kReactTimeout, 1))
            Fail("the main window did not come back after failure " + std::to_string(failure));
    }
    Measure(holdings, process, "failures-1000");

    // Idle: ten seconds of nothing.
    Pause(500);
    const unsigned long long cpuBefore = process.CpuTime();
    const LARGE_INTEGER idleFrom = Now();
    Pause(10000);
    const double cpuSeconds = static_cast<double>(process.CpuTime() - cpuBefore) / 1e7;
    Output idle(L"idle.txt");
    idle.Line(std::to_string(cpuSeconds) + " " + std::to_string(Milliseconds(idleFrom, Now()) / 1000.0));
    PostMessageW(main, WM_CLOSE, 0, 0);
    CHECK(process.WaitForExit());
}

}  // namespace
