// The check framework: cases, checks, their output, and main().
#include "tests/wine/driver/driver.h"

#include <cstdio>
#include <cstring>

namespace pixtest {

namespace {

struct Case {
    const char* name;
    CaseBody body;
    bool inner;  // run only when named (PIX_INNER_TEST)
};

std::vector<Case>& Cases() {
    static std::vector<Case> cases;
    return cases;
}

std::vector<std::string>& Contexts() {
    static std::vector<std::string> contexts;
    return contexts;
}

struct Tally {
    int checks = 0;
    int failedChecks = 0;
    int failedCases = 0;
    int skippedCases = 0;
    int todos = 0;
    int skippedChecks = 0;
    int screenshots = 0;
    const char* currentCase = "";
    bool caseFailed = false;
};

Tally& Counts() {
    static Tally tally;
    return tally;
}

struct SkipCase {
    std::string reason;
};

void Print(const std::string& line) {
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);   // a watchdog may kill us at any moment
}

const char* BaseName(const char* path) {
    const char* name = path;
    for (const char* p = path; *p; ++p)
        if (*p == '/' || *p == '\\') name = p + 1;
    return name;
}

std::string ContextText() {
    std::string text;
    for (const std::string& c : Contexts()) text += " [" + c + "]";
    return text;
}

// The screen at the moment of the first few failures, while PixGen still
// shows what went wrong; the harness turns these into PNG files.
void KeepScreenshot() {
    Tally& tally = Counts();
    if (tally.screenshots >= 3) return;
    const std::wstring folder = Environment(L"PIX_SCRATCH");
    if (folder.empty()) return;
    ++tally.screenshots;
    const std::wstring path =
        JoinPath(folder, L"failure-" + std::to_wstring(tally.screenshots) + L".bmp");
    if (Screenshot::Capture().Save(path)) Print("     screenshot " + Utf8(path));
}

void MarkFailed() {
    Tally& tally = Counts();
    ++tally.failedChecks;
    tally.caseFailed = true;
    KeepScreenshot();
}

}  // namespace

Registration::Registration(const char* name, CaseBody body, bool inner) {
    Cases().push_back({name, body, inner});
}

bool Report(bool passed, const char* file, int line, const std::string& what) {
    Tally& tally = Counts();
    ++tally.checks;
    Print(std::string(passed ? "ok   " : "FAIL ") + BaseName(file) + ":" + std::to_string(line) + " " +
          tally.currentCase + ContextText() + ": " + what);
    if (!passed) MarkFailed();
    return passed;
}

bool ReportTodoWine(bool condition, const char* conditionText, const char* file, int line) {
    // Off Wine the gap is no excuse: the check is an ordinary one.
    if (!UnderWine()) {
        Report(condition, file, line, conditionText);
        return condition;
    }
    Tally& tally = Counts();
    ++tally.checks;
    const std::string where = std::string(BaseName(file)) + ":" + std::to_string(line) + " " +
                              tally.currentCase + ContextText() + ": " + conditionText;
    if (condition) {
        Print("FAIL " + where + ": holds now, a known Wine gap has closed; remove the mark");
        MarkFailed();
        return condition;
    }
    ++tally.todos;
    Print("todo " + where + ": known Wine gap, fails as expected");
    return condition;
}

void SkipCheck(const char* file, int line, const std::string& what, const std::string& reason) {
    Tally& tally = Counts();
    ++tally.skippedChecks;
    Print("skip " + std::string(BaseName(file)) + ":" + std::to_string(line) + " " + tally.currentCase +
          ContextText() + ": " + what + ": not checked, " + reason);
}

Context::Context(std::string text) {
    Contexts().push_back(std::move(text));
}

Context::~Context() {
    Contexts().pop_back();
}

void Skip(const std::string& reason) {
    throw SkipCase{reason};
}

void Fail(const std::string& why) {
    Report(false, "driver", 0, why);
    throw Abort{why};
}

void Note(const std::string& text) {
    Print("     " + text);
}

namespace {
void HandleOwnMessages() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

void WaitHandlingMessages(DWORD ms) {
    const ULONGLONG deadline = GetTickCount64() + ms;
    for (;;) {
        HandleOwnMessages();
        const ULONGLONG now = GetTickCount64();
        if (now >= deadline) return;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(deadline - now), QS_ALLINPUT);
    }
}
}  // namespace

bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs, DWORD pollMs) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        HandleOwnMessages();
        if (condition()) return true;
        if (GetTickCount64() >= deadline) return false;
        WaitHandlingMessages(pollMs);
    }
}

void Pause(DWORD ms) {
    WaitHandlingMessages(ms);
}

// --- how values show ------------------------------------------------------------

std::string Utf8(const std::wstring& text) {
    if (text.empty()) return std::string();
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                      nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
    return out;
}

std::wstring Wide(const std::string& utf8) {
    if (utf8.empty()) return std::wstring();
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
    return out;
}

namespace {
// Quoted, with control characters and anything outside ASCII spelled out, so
// that "a\r\nb" and "a\nb" do not look alike.
std::string Quote(const std::wstring& text) {
    std::string out = "\"";
    for (wchar_t c : text) {
        if (c == L'"' || c == L'\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c == L'\r') {
            out += "\\r";
        } else if (c == L'\n') {
            out += "\\n";
        } else if (c == L'\t') {
            out += "\\t";
        } else if (c >= 0x20 && c < 0x7F) {
            out += static_cast<char>(c);
        } else {
            char code[16];
            std::snprintf(code, sizeof code, "\\u%04X", static_cast<unsigned>(c));
            out += code;
        }
    }
    return out + "\"";
}
}  // namespace

std::string Show(const std::wstring& value) { return Quote(value); }
std::string Show(const wchar_t* value) { return value ? Quote(value) : std::string("(null)"); }
std::string Show(const std::u16string& value) { return Quote(std::wstring(value.begin(), value.end())); }
std::string Show(const std::string& value) { return Quote(Wide(value)); }
std::string Show(const char* value) { return value ? Show(std::string(value)) : std::string("(null)"); }
std::string Show(bool value) { return value ? "true" : "false"; }

std::string Show(double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%.17g", value);
    return text;
}

std::string Show(const RECT& value) {
    return "{" + std::to_string(value.left) + ", " + std::to_string(value.top) + ", " + std::to_string(value.right) +
           ", " + std::to_string(value.bottom) + "} (" + std::to_string(value.right - value.left) + " x " +
           std::to_string(value.bottom - value.top) + ")";
}

std::string Show(const POINT& value) {
    return "(" + std::to_string(value.x) + ", " + std::to_string(value.y) + ")";
}

std::string Show(const SIZE& value) {
    return std::to_string(value.cx) + " x " + std::to_string(value.cy);
}

std::string Show(const void* value) {
    char text[32];
    std::snprintf(text, sizeof text, "%p", value);
    return text;
}

std::string ShowInteger(long long value) {
    if (value >= -9 && value <= 9) return std::to_string(value);
    char text[48];
    std::snprintf(text, sizeof text, "%lld (0x%llX)", value, static_cast<unsigned long long>(value));
    return text;
}

std::string ShowUnsigned(unsigned long long value) {
    if (value <= 9) return std::to_string(value);
    char text[48];
    std::snprintf(text, sizeof text, "%llu (0x%llX)", value, value);
    return text;
}

}  // namespace pixtest

namespace {

bool Selected(const char* name, int argc, char** argv) {
    if (argc < 2) return true;
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], name) == 0) return true;
    return false;
}

}  // namespace

// Runs every case, or those named on the command line; "--list" names them.
// An inner case runs only when named, and is not listed.
int main(int argc, char** argv) {
    using namespace pixtest;
    Tally& tally = Counts();
    const char* program = argc > 0 ? BaseName(argv[0]) : "test";
    if (argc == 2 && std::strcmp(argv[1], "--list") == 0) {
        for (const auto& c : Cases())
            if (!c.inner) Print(c.name);
        return 0;
    }
    for (int i = 1; i < argc; ++i) {
        bool known = false;
        for (const auto& c : Cases()) known = known || std::strcmp(c.name, argv[i]) == 0;
        if (!known) {
            Print(std::string("FAIL no case named ") + argv[i]);
            return 2;
        }
    }
    int ran = 0;
    for (const auto& c : Cases()) {
        if (!Selected(c.name, argc, argv) || (c.inner && argc < 2)) continue;
        ++ran;
        tally.currentCase = c.name;
        tally.caseFailed = false;
        Print(std::string("---- ") + c.name);
        try {
            c.body();
        } catch (const SkipCase& skip) {
            ++tally.skippedCases;
            Print(std::string("skip ") + c.name + ": " + skip.reason);
        } catch (const Abort& abort) {
            tally.caseFailed = true;
            Print(std::string("     ") + c.name + " stopped: " + abort.why);
        } catch (const std::exception& e) {
            Report(false, "driver", 0, std::string("exception: ") + e.what());
        } catch (...) {
            Report(false, "driver", 0, "unknown exception");
        }
        Contexts().clear();
        if (tally.caseFailed) ++tally.failedCases;
    }
    Print(std::string(program) + ": " + std::to_string(ran) + " cases, " + std::to_string(tally.failedCases) +
          " failed, " + std::to_string(tally.skippedCases) + " skipped; " + std::to_string(tally.checks) +
          " checks, " + std::to_string(tally.failedChecks) + " failed, " + std::to_string(tally.todos) +
          " known Wine gaps, " + std::to_string(tally.skippedChecks) + " checks skipped");
    if (tally.failedCases > 0 || ran == 0) return 1;
    // Nothing was checked when every case skipped itself: say so to ctest.
    return tally.skippedCases == ran ? 77 : 0;
}
