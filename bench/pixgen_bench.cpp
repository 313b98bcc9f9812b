// What scripts/bench measures under Wine, written as raw figures into the
// scratch folder for the script to summarise (never run by ctest):
//   Startup        alternating starts of PixGen, the mandatory twin and the
//                  bare window, each from CreateProcess to the first painted
//                  frame of its window: startup.txt, lines
//                  "<round> <pixgen|twin|bare> <ms>"
//   StartupPhases  starts of the timed PixGen, which marks the end of each of
//                  its start-up phases: phases.txt, lines
//                  "<run> <phase> <ms from CreateProcess>", the last phase
//                  "frame" being the first painted frame as seen from here
//   Presses        presses of Gerar on the timed PixGen (timings.txt, which it
//                  writes itself), each followed by a press of the bare press
//                  (bare-timings.txt, the same texts appended to a bare edit
//                  made like the result area), both areas cleared every 1,000
//                  the way a person would; then failure dialogs; idle spells
//                  after the start, after the presses and after the failures:
//                  holdings.txt, lines "<moment> <handles> <gdi> <user>
//                  <private bytes>", and idle.txt, lines "<moment> <cpu
//                  seconds> <wall seconds>"
// Counts come from PIX_BENCH_RUNS (start-up rounds and phase runs, 20),
// PIX_BENCH_PRESSES (10,000) and PIX_BENCH_FAILURES (1,000); PIX_BARE,
// PIX_TWIN, PIX_BARE_PRESS and PIX_TIMED name the other programs; and
// PIX_BENCH_TRACE, when set, is the programs' WINEDEBUG (for traces).
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "bench/clock.h"
#include "form/core/control_ids.h"
#include "quelvano/core/answer.h"
#include "tests/fixtures/sample_charge.h"
#include "tests/wine/driver/driver.h"

using namespace pixtest;
namespace ids = pix::ids;

namespace {

using benchclock::Milliseconds;
using benchclock::Now;

// The sample charge's amount in these runs, and the picker's untouched date.
constexpr double kValor = 1;
constexpr double kVencimento = 44551;
constexpr int kAreaCleared = 1000;  // presses between two clearings of the result areas

// The options of a program under test: its variables, and Wine's debug
// channels when PIX_BENCH_TRACE names some (a trace of the programs alone;
// its output goes to the harness's standard error).
StartOptions Options(std::vector<std::pair<std::wstring, std::wstring>> environment) {
    const std::wstring trace = Environment(L"PIX_BENCH_TRACE");
    if (!trace.empty()) environment.emplace_back(L"WINEDEBUG", trace);
    return {-1, std::move(environment), {}};
}

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

struct FirstFrame {
    LARGE_INTEGER started;
    LARGE_INTEGER painted;
};

// From CreateProcess until the visible window "PIX" and its children have
// been painted (no update region left), polled every millisecond. Before the
// window is closed, `ready` may hold it up (unmeasured).
FirstFrame TimeToFirstFrame(const std::wstring& program, const StartOptions& options = Options({}),
                            const std::function<bool()>& ready = nullptr) {
    FirstFrame frame{Now(), {}};
    Process process = Process::Start(program, options);
    HWND window = nullptr;
    const bool painted = WaitUntil(
        [&] {
            if (!window)
                for (HWND w : TopLevelWindows(process.Id()))
                    if (IsWindowVisible(w) && StoredText(w) == L"PIX") window = w;
            return window && NothingLeftToPaint(window);
        },
        kStartTimeout, 1);
    frame.painted = Now();
    REQUIRE(painted);
    if (ready) REQUIRE(WaitUntil(ready, kReactTimeout));
    PostMessageW(window, WM_CLOSE, 0, 0);
    REQUIRE(process.WaitForExit());
    return frame;
}

double StartupMilliseconds(const std::wstring& program) {
    const FirstFrame frame = TimeToFirstFrame(program);
    return Milliseconds(frame.started, frame.painted);
}

// A copy of a program with the stand-in Quelvano.dll beside it, in a folder
// of its own.
std::wstring DeployBeside(const std::wstring& folder, const std::wstring& source, const std::wstring& name) {
    const std::wstring program = Deploy(folder, Layout{name, PlainLibrary()});
    REQUIRE(CopyFileW(source.c_str(), program.c_str(), FALSE));
    return program;
}

PIX_TEST(Startup) {
    struct Program {
        const char* name;
        std::wstring path;
    };
    const Program programs[] = {
        {"pixgen", Deploy(L"startup", Layout{L"PixGen.exe", PlainLibrary()})},
        {"twin", DeployBeside(L"twin", RequiredEnvironment(L"PIX_TWIN"), L"MandatoryTwin.exe")},
        {"bare", RequiredEnvironment(L"PIX_BARE")},
    };
    constexpr int kPrograms = sizeof programs / sizeof programs[0];
    const int rounds = Count(L"PIX_BENCH_RUNS", 20);
    Output out(L"startup.txt");
    // One of each first, unmeasured: the first start loads what they share.
    for (const Program& p : programs) StartupMilliseconds(p.path);
    for (int round = 0; round < rounds; ++round) {
        // The order turns too, so that none always follows the same other.
        for (int k = 0; k < kPrograms; ++k) {
            const Program& p = programs[(round + k) % kPrograms];
            out.Line(std::to_string(round) + " " + p.name + " " + std::to_string(StartupMilliseconds(p.path)));
        }
    }
}

// The marks of the timed PixGen: "frequency <f>", then "<phase> <ticks>".
std::vector<std::pair<std::string, long long>> ReadMarks(const std::wstring& path, long long& frequency) {
    std::vector<std::pair<std::string, long long>> marks;
    FILE* file = _wfopen(path.c_str(), L"r");
    REQUIRE(file != nullptr);
    char name[64];
    long long ticks = 0;
    while (std::fscanf(file, "%63s %lld", name, &ticks) == 2) {
        if (std::string(name) == "frequency")
            frequency = ticks;
        else
            marks.emplace_back(name, ticks);
    }
    std::fclose(file);
    return marks;
}

PIX_TEST(StartupPhases) {
    const std::wstring program = DeployBeside(L"phases", RequiredEnvironment(L"PIX_TIMED"), L"PixGen.exe");
    const int runs = Count(L"PIX_BENCH_RUNS", 20);
    Output out(L"phases.txt");
    StartupMilliseconds(program);  // unmeasured, as above
    for (int run = 0; run < runs; ++run) {
        const std::wstring marksFile = Scratch(L"marks-" + std::to_wstring(run) + L".txt");
        // The marks are written at the loop's first idle pass, which may come
        // a little after the frame is seen from here.
        const FirstFrame frame =
            TimeToFirstFrame(program, Options({{L"PIX_BENCH_STARTUP", marksFile}}),
                             [&] { return ReadFileBytes(marksFile).find("first-paint ") != std::string::npos; });
        long long frequency = 0;
        const auto marks = ReadMarks(marksFile, frequency);
        REQUIRE(frequency > 0 && !marks.empty());
        for (const auto& [phase, ticks] : marks) {
            const double ms = 1000.0 * static_cast<double>(ticks - frame.started.QuadPart) / static_cast<double>(frequency);
            out.Line(std::to_string(run) + " " + phase + " " + std::to_string(ms));
        }
        out.Line(std::to_string(run) + " frame " + std::to_string(Milliseconds(frame.started, frame.painted)));
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

// Ten seconds of nothing, after half a second for what the last input left.
void MeasureIdle(Output& out, const Process& process, const std::string& moment) {
    Pause(500);
    const unsigned long long cpuBefore = process.CpuTime();
    const LARGE_INTEGER from = Now();
    Pause(10000);
    const double cpuSeconds = static_cast<double>(process.CpuTime() - cpuBefore) / 1e7;
    out.Line(moment + " " + std::to_string(cpuSeconds) + " " + std::to_string(Milliseconds(from, Now()) / 1000.0));
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

std::wstring FromU16(const std::u16string& text) { return std::wstring(text.begin(), text.end()); }

// What the stand-in answers to the sample charge, as PixGen receives it.
std::wstring SampleAnswer() {
    quelvano::Received call;
    call.bankCode = u"001";
    for (const pix::sample::Field& field : pix::sample::kCharge) {
        const std::string argument = field.argument;
        std::u16string* target = argument == "chavePix"                  ? &call.chavePix
                                 : argument == "convenio"                ? &call.convenio
                                 : argument == "developerApplicationKey" ? &call.developerApplicationKey
                                 : argument == "clientId"                ? &call.clientId
                                 : argument == "clientSecret"            ? &call.clientSecret
                                                                         : &call.boleto;
        *target = field.text;
    }
    call.valor = kValor;
    call.vencimento = kVencimento;
    return FromU16(quelvano::DescribeCall(call));
}

// One of the two programs pressed in turn: its window, result area and button.
struct Pressed {
    HWND window;
    HWND area;
    POINT button;
};

// A click whose button release Wine's input lost leaves the button held and
// never reaches the handler (a button acts on its release), so it is clicked
// again: no press is timed twice.
void Press(const Pressed& p, const char* who, int press) {
    const std::size_t before = TextLength(p.area);
    for (int attempt = 1; attempt <= 3; ++attempt) {
        Click(p.button);
        if (WaitUntil([&] { return TextLength(p.area) != before; }, kReactTimeout, 1)) return;
        Note(std::string(who) + ": press " + std::to_string(press) + " brought no answer; clicked again");
    }
    Fail(std::string(who) + ": press " + std::to_string(press) + " brought no answer");
}

// Select all and delete, as a person clears the result area.
void ClearArea(const Pressed& p) {
    Click(CenterOf(WindowRect(p.area)));
    PressKey('A', kControl);
    PressKey(VK_DELETE);
    if (!WaitUntil([&] { return TextLength(p.area) == 0; }, kReactTimeout, 1)) Fail("a result area kept its text");
}

PIX_TEST(Presses) {
    const std::wstring program = DeployBeside(L"presses", RequiredEnvironment(L"PIX_TIMED"), L"PixGen.exe");
    const int presses = Count(L"PIX_BENCH_PRESSES", 10000);
    Process process = Process::Start(program, Options({{L"PIX_BENCH_TIMINGS", Scratch(L"timings.txt")}}));
    const HWND main = WaitForMainWindow(process);
    REQUIRE(main != nullptr);
    REQUIRE(Responds(main));
    Output holdings(L"holdings.txt");
    Output idle(L"idle.txt");
    Measure(holdings, process, "start");
    MeasureIdle(idle, process, "start");

    for (const pix::sample::Field& field : pix::sample::kCharge)
        SetField(FindDescendantById(main, field.id), FromU16(field.text));
    SetField(FindDescendantById(main, ids::edtValor), L"1");
    const std::wstring answer = SampleAnswer();
    WriteFileBytes(Scratch(L"answer.txt"),
                   std::string(reinterpret_cast<const char*>(answer.data()), answer.size() * sizeof(wchar_t)));
    Process bare = Process::Start(RequiredEnvironment(L"PIX_BARE_PRESS"),
                                  Options({{L"PIX_BENCH_TIMINGS", Scratch(L"bare-timings.txt")},
                                           {L"PIX_BENCH_ANSWER", Scratch(L"answer.txt")}}));
    const HWND bareWindow = WaitForWindow(bare, L"PIX (bare press)");
    REQUIRE(bareWindow != nullptr);
    // At the two ends of the screen, so that each click lands on its own
    // button (together they are a little wider than the screen).
    SetWindowPos(main, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    SetWindowPos(bareWindow, nullptr, GetSystemMetrics(SM_CXSCREEN) - Width(WindowRect(bareWindow)), 0, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    REQUIRE(Responds(main));
    REQUIRE(Responds(bareWindow));
    const Pressed pixgen{main, FindDescendantById(main, ids::Memo1),
                      CenterOf(WindowRect(FindDescendantById(main, ids::Button2)))};
    const Pressed barePress{bareWindow, FindDescendantById(bareWindow, 1),
                            CenterOf(WindowRect(FindDescendantById(bareWindow, 2)))};
    REQUIRE(pixgen.button.x < WindowRect(bareWindow).left);

    for (int press = 1; press <= presses; ++press) {
        Press(pixgen, "PixGen", press);
        Press(barePress, "bare press", press);
        if (press == 1) {
            // The same texts in both areas.
            REQUIRE_EQ(Text(pixgen.area), answer + L"\r\n\r\n");
            REQUIRE_EQ(Text(barePress.area), answer + L"\r\n\r\n");
        }
        if (press % kAreaCleared == 0) {
            if (press == kAreaCleared) Measure(holdings, process, "presses-1000");
            ClearArea(pixgen);
            ClearArea(barePress);
        }
    }
    PostMessageW(bareWindow, WM_CLOSE, 0, 0);
    CHECK(bare.WaitForExit());
    Measure(holdings, process, "presses-" + std::to_string(presses));
    // The pointer stays where a person leaves it after pressing: on "Gerar".
    REQUIRE(BringToFront(main));
    MoveMouse(pixgen.button);
    MeasureIdle(idle, process, "presses-" + std::to_string(presses));

    // Failure dialogs: an amount that cannot be converted, answered by Enter.
    SetField(FindDescendantById(main, ids::edtValor), L"abc");
    const int failures = Count(L"PIX_BENCH_FAILURES", 1000);
    for (int failure = 1; failure <= failures; ++failure) {
        Click(pixgen.button);
        const HWND box = WaitForMessageBox(process, main);
        if (!box) Fail("failure " + std::to_string(failure) + " showed no dialog");
        AnswerByEnter(box);
        if (!WaitUntil([&] { return MainWindowActive(process, main); }, kReactTimeout, 1))
            Fail("the main window did not come back after failure " + std::to_string(failure));
    }
    Measure(holdings, process, "failures-" + std::to_string(failures));
    MeasureIdle(idle, process, "failures-" + std::to_string(failures));
    PostMessageW(main, WM_CLOSE, 0, 0);
    CHECK(process.WaitForExit());
}

}  // namespace
