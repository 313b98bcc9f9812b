#include "form/press_timing.h"

#if PIX_BENCH_PRESS_TIMING

#include <windows.h>

#include <cstdio>

#include "base/handles.h"

namespace pix {

namespace {

long long Ticks() noexcept {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

double Microseconds(long long ticks) noexcept {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return 1e6 * static_cast<double>(ticks) / static_cast<double>(frequency.QuadPart);
}

// The file the timings go to, opened at the first press; none when the
// variable is not set.
HANDLE TimingFile() noexcept {
    static const HANDLE file = [] {
        wchar_t path[1024];
        const DWORD n = GetEnvironmentVariableW(L"PIX_BENCH_TIMINGS", path, 1024);
        if (n == 0 || n >= 1024) return INVALID_HANDLE_VALUE;
        return CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                           nullptr);
    }();
    return file;
}

// The library's time within the current press.
long long& LibraryTicks() noexcept {
    static long long ticks = 0;
    return ticks;
}

}  // namespace

PressClock::PressClock() noexcept : start_(Ticks()) { LibraryTicks() = 0; }

LibraryClock::LibraryClock() noexcept : start_(Ticks()) {}

LibraryClock::~LibraryClock() { LibraryTicks() += Ticks() - start_; }

PressClock::~PressClock() {
    const long long total = Ticks() - start_;
    const HANDLE file = TimingFile();
    if (file == INVALID_HANDLE_VALUE) return;
    char line[96];
    const int n = std::snprintf(line, sizeof line, "%.3f %.3f %s\n", Microseconds(total), Microseconds(LibraryTicks()),
                                succeeded_ ? "ok" : "failed");
    DWORD written = 0;
    if (n > 0) WriteFile(file, line, static_cast<DWORD>(n), &written, nullptr);
}

}  // namespace pix

#endif
