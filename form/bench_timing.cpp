#include "form/bench_timing.h"

#if PIX_BENCH_TIMING

#include <cstdio>

namespace pix::bench {

namespace {

long long Ticks() noexcept {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

long long Frequency() noexcept {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return frequency.QuadPart;
}

double Microseconds(long long ticks) noexcept {
    return 1e6 * static_cast<double>(ticks) / static_cast<double>(Frequency());
}

// The file a variable names, opened for appending; none when it is not set.
HANDLE OpenNamedFile(const wchar_t* variable) noexcept {
    wchar_t path[1024];
    const DWORD n = GetEnvironmentVariableW(variable, path, 1024);
    if (n == 0 || n >= 1024) return INVALID_HANDLE_VALUE;
    return CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

void Write(HANDLE file, const char* text, int length) noexcept {
    DWORD written = 0;
    if (file != INVALID_HANDLE_VALUE && length > 0) WriteFile(file, text, static_cast<DWORD>(length), &written, nullptr);
}

// --- start-up ---------------------------------------------------------------------

struct Mark {
    const char* phase;
    long long ticks;
};

// Kept in memory until the start-up is over, so that no phase pays for a
// file's writing but the last.
struct Marks {
    Mark marks[32];
    int count = 0;
    bool written = false;
};

Marks& StartupMarks() noexcept {
    static Marks marks;
    return marks;
}

// --- presses ----------------------------------------------------------------------

HANDLE TimingFile() noexcept {
    static const HANDLE file = OpenNamedFile(L"PIX_BENCH_TIMINGS");
    return file;
}

// The library's time within the current press.
long long& LibraryTicks() noexcept {
    static long long ticks = 0;
    return ticks;
}

}  // namespace

void EndOfPhase(const char* phase) noexcept {
    Marks& m = StartupMarks();
    if (m.written || m.count == static_cast<int>(sizeof m.marks / sizeof m.marks[0])) return;
    m.marks[m.count++] = {phase, Ticks()};
}

void LoopIdle() noexcept {
    Marks& m = StartupMarks();
    if (m.written) return;
    EndOfPhase("first-paint");
    m.written = true;
    const HANDLE file = OpenNamedFile(L"PIX_BENCH_STARTUP");
    if (file == INVALID_HANDLE_VALUE) return;
    char line[96];
    Write(file, line, std::snprintf(line, sizeof line, "frequency %lld\n", Frequency()));
    for (int i = 0; i < m.count; ++i)
        Write(file, line, std::snprintf(line, sizeof line, "%s %lld\n", m.marks[i].phase, m.marks[i].ticks));
    CloseHandle(file);
}

PressClock::PressClock(HWND resultArea) noexcept
    : areaLength_(GetWindowTextLengthW(resultArea)), start_(Ticks()) {
    LibraryTicks() = 0;
}

LibraryClock::LibraryClock() noexcept : start_(Ticks()) {}

LibraryClock::~LibraryClock() { LibraryTicks() += Ticks() - start_; }

PressClock::~PressClock() {
    const long long total = Ticks() - start_;
    char line[96];
    Write(TimingFile(), line,
          std::snprintf(line, sizeof line, "%.3f %.3f %d %s\n", Microseconds(total), Microseconds(LibraryTicks()),
                        areaLength_, succeeded_ ? "ok" : "failed"));
}

}  // namespace pix::bench

#endif
