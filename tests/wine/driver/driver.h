// The driver of the Windows-side end-to-end tests: a small check framework,
// and the hands and eyes of a person in front of PixGen (starting it, finding
// its windows, typing and clicking, reading text and pixels), plus a reader
// for what the recording Quelvano.dll wrote.
//
// A test program is a console program that defines its cases with PIX_TEST;
// the driver supplies main(). Run it through scripts/lib/harness.sh, which
// gives it these variables (Windows paths):
//   PIX_EXE                 the PixGen.exe under test
//   PIX_QUELVANO            the stand-in Quelvano.dll
//   PIX_QUELVANO_RECORDING  its recording variant
//   PIX_SCRATCH             a fresh folder of this test's own
// and any further file the test's CMake entry names (FILES VAR=path).
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <sstream>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

namespace pixtest {

// --- checks -------------------------------------------------------------------

// Thrown by REQUIRE and by the driver when a case cannot go on; the case
// ends as failed and the next case runs.
struct Abort {
    std::string why;
};

std::string Utf8(const std::wstring& text);
std::wstring Wide(const std::string& utf8);

// How a value shows in a failure line.
std::string Show(const std::wstring& value);
std::string Show(const wchar_t* value);
std::string Show(const std::u16string& value);
std::string Show(const std::string& value);
std::string Show(const char* value);
std::string Show(bool value);
std::string Show(double value);
std::string Show(const RECT& value);
std::string Show(const POINT& value);
std::string Show(const SIZE& value);
std::string Show(const void* value);
std::string ShowInteger(long long value);
std::string ShowUnsigned(unsigned long long value);
template <class T>
std::string Show(const T& value) {
    if constexpr (std::is_enum_v<T>) {
        return ShowInteger(static_cast<long long>(value));
    } else if constexpr (std::is_integral_v<T> && std::is_signed_v<T>) {
        return ShowInteger(value);
    } else if constexpr (std::is_integral_v<T>) {
        return ShowUnsigned(value);
    } else if constexpr (std::is_pointer_v<T>) {
        return Show(static_cast<const void*>(value));
    } else {
        std::ostringstream out;
        out << value;
        return out.str();
    }
}

// Records one check; prints "ok" or "FAIL" with the place and the context.
bool Report(bool passed, const char* file, int line, const std::string& what);

template <class A, class B>
bool ReportEqual(const A& actual, const B& expected, const char* actualText, const char* expectedText,
                 const char* file, int line) {
    const bool passed = actual == expected;
    std::string what = std::string(actualText) + " == " + expectedText;
    if (!passed) what += ": got " + Show(actual) + ", expected " + Show(expected);
    return Report(passed, file, line, what);
}

// A check known to fail under Wine (a Wine gap): under Wine it passes (as
// "todo") while the condition is false and fails once Wine is fixed, so the
// mark is removed when Wine behaves like Windows; anywhere else it is an
// ordinary check. It returns the condition itself, never whether the check
// passed: `if (CHECK_TODO_WINE(answered)) { checks of the answer }` runs
// those checks wherever there is an answer, on Windows first of all.
bool ReportTodoWine(bool condition, const char* conditionText, const char* file, int line);
// A check that cannot be made here (it could not fail, so it must not count
// as passed): reported as skipped with its reason; the case goes on.
void SkipCheck(const char* file, int line, const std::string& what, const std::string& reason);

// Shown with every check made while it lives, e.g. the row of a case table.
class Context {
public:
    explicit Context(std::string text);
    ~Context();
    Context(const Context&) = delete;
    Context& operator=(const Context&) = delete;
};

// The debugger Windows' error reporting starts for an unhandled exception
// (Wine: winedbg). While one of these lives, a debugger that cannot be
// started stands in its place, so the filter returns control to the program.
class NoDebuggerForCrashes {
public:
    NoDebuggerForCrashes();
    ~NoDebuggerForCrashes();
    NoDebuggerForCrashes(const NoDebuggerForCrashes&) = delete;
    NoDebuggerForCrashes& operator=(const NoDebuggerForCrashes&) = delete;

private:
    void Set(const std::wstring& value);
    HKEY key_ = nullptr;
    bool had_ = false;
    std::wstring previous_;
};

// Ends the current case as skipped, with the reason shown.
[[noreturn]] void Skip(const std::string& reason);
// Ends the current case as failed.
[[noreturn]] void Fail(const std::string& why);
// A line of information in the output.
void Note(const std::string& text);

using CaseBody = void (*)();
struct Registration {
    Registration(const char* name, CaseBody body, bool inner = false);
};

}  // namespace pixtest

// A case. The build registers one ctest test for each PIX_TEST it finds at
// the start of a line of the program's sources (cmake/harness.cmake).
#define PIX_TEST(name)                                                         \
    static void name##_case();                                                 \
    static const ::pixtest::Registration name##_registration(#name, &name##_case); \
    static void name##_case()

// A case that another case runs, in a process of its own (a desktop of its
// own, say): it runs only when named on the command line, is not listed by
// --list, and the build registers no test for it.
#define PIX_INNER_TEST(name)                                                         \
    static void name##_case();                                                       \
    static const ::pixtest::Registration name##_registration(#name, &name##_case, true); \
    static void name##_case()

#define CHECK(condition) ::pixtest::Report(static_cast<bool>(condition), __FILE__, __LINE__, #condition)
#define CHECK_EQ(actual, expected) \
    ::pixtest::ReportEqual((actual), (expected), #actual, #expected, __FILE__, __LINE__)
#define REQUIRE(condition)                                       \
    do {                                                         \
        if (!CHECK(condition)) throw ::pixtest::Abort{#condition}; \
    } while (0)
#define REQUIRE_EQ(actual, expected)                                   \
    do {                                                               \
        if (!CHECK_EQ(actual, expected)) throw ::pixtest::Abort{#actual}; \
    } while (0)
#define CHECK_TODO_WINE(condition) ::pixtest::ReportTodoWine(static_cast<bool>(condition), #condition, __FILE__, __LINE__)
#define SKIP_CHECK(what, reason) ::pixtest::SkipCheck(__FILE__, __LINE__, (what), (reason))

namespace pixtest {

// --- time ---------------------------------------------------------------------

// Generous bounds: a slow machine must not fail a test, a hang must end it.
inline constexpr DWORD kStartTimeout = 30000;   // until PixGen's window shows
inline constexpr DWORD kExitTimeout = 15000;    // until a process has ended
inline constexpr DWORD kReactTimeout = 10000;   // until a window reacts to input

// Polls until the condition holds; false after the timeout. While it waits
// it handles the messages of the driver's own windows, so that a program
// sending to them (activation, for one) is never held up by the driver.
bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs, DWORD pollMs = 10);
// Waits that long, handling the driver's own messages.
void Pause(DWORD ms);

// --- files and the layout of a run ------------------------------------------

// A variable of the environment; Abort when a required one is missing.
std::wstring Environment(const wchar_t* name);
std::wstring RequiredEnvironment(const wchar_t* name);

// PIX_SCRATCH, or a path inside it.
std::wstring Scratch(const std::wstring& relative = std::wstring());

std::wstring JoinPath(const std::wstring& folder, const std::wstring& name);
std::wstring FolderOf(const std::wstring& path);
bool FileExists(const std::wstring& path);
std::string ReadFileBytes(const std::wstring& path);   // empty if missing
void WriteFileBytes(const std::wstring& path, const std::string& bytes);

std::wstring PlainLibrary();       // PIX_QUELVANO
std::wstring RecordingLibrary();   // PIX_QUELVANO_RECORDING

// What a run's folder holds: the program under a name, the file copied in
// beside it as Quelvano.dll (none when empty), and any further files.
struct Layout {
    std::wstring exeName = L"PixGen.exe";
    std::wstring library = RecordingLibrary();
    // Further files copied in before the program starts: {name in the folder, path}.
    std::vector<std::pair<std::wstring, std::wstring>> files{};
};
inline const std::wstring kNoLibrary;

// Makes a fresh folder Scratch(folder) holding PIX_EXE under layout.exeName
// and the chosen library as Quelvano.dll; returns the program's path.
std::wstring Deploy(const std::wstring& folder, const Layout& layout = Layout());

// --- resources ----------------------------------------------------------------

// The house style resource WINDOWSCORVANTI of a program file: one bit flipped
// in the middle of its data, or left out; the program's other resources stay.
enum class StyleResource { Damaged, Removed };
void RewriteStyleResource(const std::wstring& exe, StyleResource change);
// The bytes of WINDOWSCORVANTI in a program file.
std::string StyleResourceBytes(const std::wstring& exe);
// Adds an RCDATA resource of that name (a second carried style) to a program
// file, its other resources left as they are.
void AddRcData(const std::wstring& exe, const std::wstring& name, const std::string& data);

// --- processes ----------------------------------------------------------------

struct StartOptions {
    // wShowWindow with STARTF_USESHOWWINDOW; negative: no flag at all.
    int showState = -1;
    // Added to (or replacing in) the driver's own environment.
    std::vector<std::pair<std::wstring, std::wstring>> environment;
    // The working folder; empty: the program's own folder.
    std::wstring directory;
    // Put on the command line after the program's quoted path.
    std::wstring arguments;
    // The program writes where the driver writes (a copy of a test program
    // running one of its cases in a process of its own).
    bool shareOutput = false;
};

// A process the driver started. Every such process belongs to a job that is
// killed with the driver, so a test killed by the harness's watchdog leaves
// no PixGen behind; the destructor kills it too if it is still running.
class Process {
public:
    static Process Start(const std::wstring& program, const StartOptions& options = {});

    Process() = default;
    Process(Process&& other) noexcept;
    Process& operator=(Process&& other) noexcept;
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;
    ~Process();

    DWORD Id() const noexcept { return id_; }
    DWORD ThreadId() const noexcept { return threadId_; }   // the first thread: the GUI thread
    HANDLE Handle() const noexcept { return process_; }
    bool Running() const;
    // True once the process has ended, within the timeout.
    bool WaitForExit(DWORD timeoutMs = kExitTimeout) const;
    // STILL_ACTIVE (259) while it runs.
    DWORD ExitCode() const;
    void Kill();
    // User plus kernel time so far, in 100 ns units; Abort if it cannot be
    // read. Wine 8 answers GetProcessTimes with a constant, so under Wine it
    // comes from the Linux process that carries this one.
    unsigned long long CpuTime() const;
    // Under Wine: the /proc folder of the Linux process that carries this
    // one, as a Windows path (Z:\proc\<pid>); Abort if it cannot be found.
    std::wstring LinuxFolder() const;

private:
    void Close() noexcept;

    std::wstring program_;
    HANDLE process_ = nullptr;
    DWORD id_ = 0;
    DWORD threadId_ = 0;
};

// What a process holds. Wine 8 answers these questions about another
// process with 0: there the Linux process that carries it stands in, its
// open file descriptors for the handles (Wine keeps a descriptor for most
// handles of files, events and sections) and its anonymous resident memory
// for the private bytes. GDI and USER objects have no stand-in (0).
struct Holdings {
    DWORD handles = 0;
    DWORD gdiObjects = 0;
    DWORD userObjects = 0;
    SIZE_T privateBytes = 0;
};
Holdings MeasureHoldings(const Process& process);
// The private bytes of the driver's own process, counted the same way (under
// Wine, its Linux process's); 0 when they cannot be read.
SIZE_T OwnPrivateBytes();

// True when running under Wine.
bool UnderWine();

// --- windows ------------------------------------------------------------------

std::wstring ClassName(HWND window);
// WM_GETTEXT, answered by the window's own procedure.
std::wstring Text(HWND window);
// The text Windows keeps for the window, without asking it.
std::wstring StoredText(HWND window);
DWORD Style(HWND window);
DWORD ExStyle(HWND window);
DWORD ProcessOf(HWND window);
DWORD ThreadOf(HWND window);
RECT WindowRect(HWND window);        // screen coordinates
RECT ClientRect(HWND window);        // client coordinates (left = top = 0)
RECT ClientRectOnScreen(HWND window);
POINT CenterOf(const RECT& rect);
int Width(const RECT& rect);
int Height(const RECT& rect);

// Top-level windows of a process, hidden ones too, in Z order.
std::vector<HWND> TopLevelWindows(DWORD processId);
// Top-level windows of a thread, hidden ones too.
std::vector<HWND> ThreadWindows(DWORD threadId);
// Windows that the system itself gives every GUI thread (input method
// windows and the like), which a program does not create.
bool IsSystemWindow(HWND window);
// The module that registered the window's class.
HMODULE ClassModule(HWND window);
// One line per window: handle, class, text, styles; for failure output.
std::string Describe(HWND window);
std::string Describe(const std::vector<HWND>& windows);

// The visible top-level window of the process with this caption, as soon
// as it shows; null after the timeout or when the process ends first.
HWND WaitForWindow(const Process& process, const std::wstring& caption, DWORD timeoutMs = kStartTimeout);
// PixGen's main window: caption "PIX".
HWND WaitForMainWindow(const Process& process, DWORD timeoutMs = kStartTimeout);
// The hidden application window: the one top-level window of the main
// window's thread besides the main window and the pop-ups it owns (and the
// system's own windows). Null, with the thread's windows noted, unless
// there is exactly one.
HWND FindApplicationWindow(HWND mainWindow);

// A plain top-level window of the driver's own, e.g. to hold the foreground
// while PixGen starts.
class OwnWindow {
public:
    explicit OwnWindow(const std::wstring& caption, const RECT& where = {40, 40, 340, 240});
    ~OwnWindow();
    OwnWindow(const OwnWindow&) = delete;
    OwnWindow& operator=(const OwnWindow&) = delete;
    HWND Handle() const noexcept { return window_; }

private:
    HWND window_ = nullptr;
};

// Waits until the window's thread has handled everything sent before
// (a WM_NULL round trip); false if it does not answer in time.
bool Responds(HWND window, DWORD timeoutMs = kReactTimeout);

// Direct children, in Z order.
std::vector<HWND> Children(HWND parent);
// All descendants, depth first in Z order.
std::vector<HWND> Descendants(HWND parent);
// The index-th descendant (from 0) of that class; null if there is none.
HWND FindDescendant(HWND parent, const std::wstring& className, int index = 0);
// The descendant with that control id; null if there is none.
HWND FindDescendantById(HWND parent, int controlId);
HWND FindDescendantByText(HWND parent, const std::wstring& text);

// --- message boxes ------------------------------------------------------------
// PixGen's failure dialog and the fatal failure box are message boxes: a
// #32770 dialog whose text lies in a static control of id 0xFFFF.

// A visible message box of the process owned by owner; null if there is none.
HWND FindMessageBox(const Process& process, HWND owner);
// The same as soon as it shows; null after the timeout or when the process
// ends first.
HWND WaitForMessageBox(const Process& process, HWND owner, DWORD timeoutMs = kReactTimeout);
// Its text, or "<no text control>".
std::wstring MessageBoxText(HWND box);
// Its visible buttons, in Z order.
std::vector<HWND> VisibleButtons(HWND box);
// Answers it with Enter, as a person would; Abort unless it goes away.
void AnswerByEnter(HWND box);

// --- hooks ----------------------------------------------------------------------

// A global hook of a test's hook library while one of these lives: Windows
// loads the library into every process of the desktop that the hook
// concerns, PixGen among them, which itself is not changed in any way.
class GlobalHook {
public:
    GlobalHook(const std::wstring& library, int kind, const char* procedure);
    ~GlobalHook();
    GlobalHook(const GlobalHook&) = delete;
    GlobalHook& operator=(const GlobalHook&) = delete;

private:
    HMODULE library_ = nullptr;
    HHOOK hook_ = nullptr;
};

// --- memory of another process ------------------------------------------------

// Memory inside another process, for the messages whose argument points at a
// buffer (DTM_GETSYSTEMTIME, WM_DPICHANGED's rectangle, ...).
class RemoteBuffer {
public:
    RemoteBuffer(HANDLE process, std::size_t size);
    ~RemoteBuffer();
    RemoteBuffer(const RemoteBuffer&) = delete;
    RemoteBuffer& operator=(const RemoteBuffer&) = delete;

    LPARAM Address() const { return reinterpret_cast<LPARAM>(address_); }
    // Abort when the copy fails or is larger than the buffer.
    void Write(const void* data, std::size_t size);
    void Read(void* data, std::size_t size) const;

private:
    HANDLE process_;
    std::size_t size_;
    void* address_;
};

// --- input --------------------------------------------------------------------
// Real input through SendInput: it reaches the foreground window as a
// person's would, through the system's input queue.

enum Modifier : unsigned { kNone = 0, kShift = 1, kControl = 2, kAlt = 4 };

// Makes the window the foreground window and waits until it is.
bool BringToFront(HWND window, DWORD timeoutMs = kReactTimeout);
void PressKey(WORD virtualKey, unsigned modifiers = kNone);
void KeyDown(WORD virtualKey);
void KeyUp(WORD virtualKey);
void TypeText(const std::wstring& text);   // KEYEVENTF_UNICODE, one unit at a time
void MoveMouse(POINT screen);
void Click(POINT screen, bool right = false);
void DoubleClick(POINT screen);
// The left button held down and let go, each on its own (a press, a drag).
void MouseDown(POINT screen);
void MouseUp(POINT screen);

// Puts text on the clipboard, as a program of the owner window's would
// before a person pastes it (Ctrl+V); Abort when it cannot.
void PlaceOnClipboard(HWND owner, const std::wstring& text);

// --- pixels -------------------------------------------------------------------

// A copy of part of the screen, as the user sees it.
class Screenshot {
public:
    static Screenshot Capture();                // the whole screen
    static Screenshot Capture(const RECT& screen);

    // Colour at a point in screen coordinates (inside the captured part).
    COLORREF At(int x, int y) const;
    COLORREF At(POINT screen) const { return At(screen.x, screen.y); }
    const RECT& Area() const noexcept { return area_; }
    // A 24-bit BMP file.
    bool Save(const std::wstring& path) const;

private:
    RECT area_{};
    std::vector<std::uint32_t> pixels_;   // 0x00RRGGBB, top row first
};

std::string ShowColor(COLORREF color);

// The prefix's DPI (HKCU\Control Panel\Desktop\LogPixels) for the programs
// started while it lives; 96 again after. Abort when it cannot be set; the
// destructor never throws: a failure to set it back is noted, and the next
// case that needs 96 DPI sees it.
class LogPixels {
public:
    explicit LogPixels(DWORD dpi);
    ~LogPixels();
    LogPixels(const LogPixels&) = delete;
    LogPixels& operator=(const LogPixels&) = delete;
};

// --- the recording Quelvano.dll -------------------------------------------------

struct RecordedText {
    std::string name;
    bool null = false;
    int codePage = 0;
    int elementSize = 0;
    long referenceCount = 0;
    long length = 0;
    std::u16string units;   // up to the first zero unit
};

struct RecordedCall {
    std::uint16_t x87ControlWord = 0;
    std::uint32_t mxcsr = 0;
    std::uint64_t stackPointer = 0;
    std::vector<RecordedText> texts;   // in the order of the arguments
    std::uint64_t valorBits = 0;
    std::uint64_t vencimentoBits = 0;

    double Valor() const;
    double Vencimento() const;
    // The text argument of that name; Abort if it was not recorded.
    const RecordedText& Text(const std::string& name) const;
};

// Every call in the file, in order; none when the file does not exist.
// Abort on a malformed file.
std::vector<RecordedCall> ReadRecording(const std::wstring& path);

// PixGen started from a fresh folder Scratch(folder) with the recording
// Quelvano.dll, its record and its mode file beside it; the main window shown.
struct RecordedPixGen {
    Process process;
    HWND main = nullptr;
    std::wstring record;    // QUELVANO_RECORD
    std::wstring modeFile;  // QUELVANO_MODE_FILE

    // A control of the form by its id, wherever it sits.
    HWND Control(int id) const { return FindDescendantById(main, id); }
    // The control of PixGen's GUI thread that has the keyboard focus.
    HWND Focus() const;
    std::vector<RecordedCall> Calls() const { return ReadRecording(record); }
    // What the library does at its next calls: "" answers, or "null", "crlf",
    // "read0", "fpdiv0", "intdiv0", "stackoverflow" (processor faults),
    // "raise", "raise-noncontinuable" (0xE0424242 left uncaught), "probe"
    // (answers "probe: unreadable" after IsBadReadPtr took its own fault),
    // "cxx" (answers "cxx: caught" after a C++ exception thrown and caught).
    void Mode(const std::string& mode) const { WriteFileBytes(modeFile, mode); }
};

// Abort when the window does not show.
RecordedPixGen StartRecorded(const std::wstring& folder, const Layout& layout = Layout(),
                             const std::vector<std::pair<std::wstring, std::wstring>>& environment = {});
// WM_CLOSE, and a check that the process ends.
void Close(RecordedPixGen& pix);

}  // namespace pixtest
