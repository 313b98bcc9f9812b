// Timings for the benchmark build of PixGen alone (form and app compiled with
// PIX_BENCH_TIMING). Elsewhere every clock here is an empty object and every
// mark an empty inline function: the program is unchanged.
//
// Start-up: the end of each phase is marked with the performance counter;
// at the loop's first idle pass, when every window has been painted, the
// marks go to the file that PIX_BENCH_STARTUP names, one line per mark,
// "<phase> <counter ticks>", after a line "frequency <ticks per second>".
// The counter is the machine's, so the benchmark puts the marks beside its
// own CreateProcess.
//
// Presses: one line per press, "<total µs> <library µs> <characters in the
// result area before the press> <ok|failed>", appended to the file that
// PIX_BENCH_TIMINGS names.
#pragma once

#include <windows.h>

namespace pix::bench {

#if PIX_BENCH_TIMING

// The end of a start-up phase; the name is a literal without spaces.
void EndOfPhase(const char* phase) noexcept;

// The loop found nothing to do. The first time, the start-up is over: the
// marks are written.
void LoopIdle() noexcept;

// Lives for the whole handling of one press: from the click's arrival at the
// handler until the result area has its text.
class PressClock {
public:
    explicit PressClock(HWND resultArea) noexcept;
    ~PressClock();
    PressClock(const PressClock&) = delete;
    PressClock& operator=(const PressClock&) = delete;

    void Succeeded() noexcept { succeeded_ = true; }

private:
    int areaLength_ = 0;
    long long start_ = 0;
    bool succeeded_ = false;
};

// Lives exactly as long as the call into the library; its time is what the
// press's line gives as the library's.
class LibraryClock {
public:
    LibraryClock() noexcept;
    ~LibraryClock();
    LibraryClock(const LibraryClock&) = delete;
    LibraryClock& operator=(const LibraryClock&) = delete;

private:
    long long start_ = 0;
};

#else

inline void EndOfPhase(const char*) noexcept {}
inline void LoopIdle() noexcept {}

class PressClock {
public:
    explicit PressClock(HWND) noexcept {}
    void Succeeded() noexcept {}
};

class LibraryClock {};

#endif

}  // namespace pix::bench
