// Timings of Gerar presses, for the benchmark build of PixGen alone (compiled
// with PIX_BENCH_PRESS_TIMING): one line per press, "<total µs> <library µs>
// <ok|failed>", appended to the file that PIX_BENCH_TIMINGS names. Elsewhere
// the clock is an empty object and the program is unchanged.
#pragma once

namespace pix {

#if PIX_BENCH_PRESS_TIMING

// Lives for the whole handling of one press: from the click's arrival at the
// handler until the result area has its text.
class PressClock {
public:
    PressClock() noexcept;
    ~PressClock();
    PressClock(const PressClock&) = delete;
    PressClock& operator=(const PressClock&) = delete;

    void Succeeded() noexcept { succeeded_ = true; }

private:
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

class PressClock {
public:
    void Succeeded() noexcept {}
};

class LibraryClock {};

#endif

}  // namespace pix
