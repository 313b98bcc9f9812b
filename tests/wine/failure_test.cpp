// Failure reporting seen from outside: the failure dialog after a failed
// Gerar press (a processor fault inside the library, a software exception it
// leaves uncaught, an amount that cannot be converted), the state the program
// is in afterwards, what the library handles itself and never shows, and the
// fatal failure box of a start-up that fails. And, inside this test program
// itself, the trapping of exceptions that PixGen's guard relies on, with the
// same code PixGen is built from.
#include "tests/wine/driver/driver.h"

#include <tlhelp32.h>

#include <cmath>
#include <cstring>
#include <cwchar>
#include <map>
#include <stdexcept>

#include "base/core/compiler.h"
#include "tests/fixtures/sample_charge.h"
#include "win/faults.h"
#include "win/guard.h"

using namespace pixtest;

namespace {

namespace ids {
// As form/core/control_ids.h numbers them.
constexpr int Memo1 = 1001, Button2 = 1002, edtCodigoSolicitacaoBancoCentral = 1004, edtConvenio = 1005,
              edtDeveloperApplicationKey = 1006, edtBoleto = 1007, edtClientId = 1012, edtClientSecret = 1014,
              edtValor = 1019;
}  // namespace ids

// --- PixGen with the recording library --------------------------------------

// The failure tests count the library's calls, whatever they carried.
struct Pix : RecordedPixGen {
    std::size_t Calls() const { return RecordedPixGen::Calls().size(); }
};

Pix StartPixGen(const std::wstring& folder, const std::wstring& exeName = L"PixGen.exe",
                const std::wstring& hookLog = std::wstring()) {
    Layout layout;
    layout.exeName = exeName;
    std::vector<std::pair<std::wstring, std::wstring>> environment;
    if (!hookLog.empty()) environment.push_back({L"PIX_HOOK_LOG", hookLog});
    Pix pix{StartRecorded(folder, layout, environment)};
    REQUIRE(Responds(pix.main));
    REQUIRE(pix.Control(ids::Button2) != nullptr);
    return pix;
}

std::wstring DecimalSeparator() {
    wchar_t buffer[8] = {};
    GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, buffer, 8);
    return buffer[0] ? std::wstring(buffer) : std::wstring(L".");
}

// The form's fields, each with a text of its own.
const int kInputs[] = {ids::edtCodigoSolicitacaoBancoCentral, ids::edtConvenio, ids::edtDeveloperApplicationKey,
                       ids::edtBoleto, ids::edtClientId, ids::edtClientSecret, ids::edtValor};

void FillInputs(const Pix& pix, const std::wstring& valor) {
    std::map<int, std::wstring> texts;
    for (const pix::sample::Field& field : pix::sample::kCharge)
        texts[field.id] = std::wstring(field.text, field.text + std::char_traits<char16_t>::length(field.text));
    texts[ids::edtClientId] = L"client-id-\u00e7\u00e3o";  // beyond ASCII: must come back unchanged
    texts[ids::edtValor] = valor;
    for (const auto& [id, text] : texts) {
        DWORD_PTR ignored = 0;
        SendMessageTimeoutW(pix.Control(id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()),
                            SMTO_ABORTIFHUNG, kReactTimeout, &ignored);
        REQUIRE_EQ(Text(pix.Control(id)), text);
    }
}

// What the user can see and change: every field and the result area.
std::map<int, std::wstring> Contents(const Pix& pix) {
    std::map<int, std::wstring> contents;
    for (int id : kInputs) contents[id] = Text(pix.Control(id));
    contents[ids::Memo1] = Text(pix.Control(ids::Memo1));
    return contents;
}

void ClickGerar(const Pix& pix) {
    REQUIRE(BringToFront(pix.main));
    Click(CenterOf(WindowRect(pix.Control(ids::Button2))));
}

// --- the failure dialog ----------------------------------------------------------

HWND FindFailureDialog(const Pix& pix) { return FindMessageBox(pix.process, pix.main); }

HWND WaitForFailureDialog(const Pix& pix) { return WaitForMessageBox(pix.process, pix.main); }

GUITHREADINFO GuiState(const Pix& pix) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    GetGUIThreadInfo(pix.process.ThreadId(), &info);
    return info;
}

// After "OK": the main window active again, the focus where it was.
void CheckBackInTheMainWindow(const Pix& pix, HWND focusBefore) {
    const bool back = WaitUntil([&] { return GuiState(pix).hwndActive == pix.main; }, kReactTimeout);
    CHECK(back);
    REQUIRE(Responds(pix.main));
    const GUITHREADINFO state = GuiState(pix);
    CHECK_EQ(state.hwndActive, pix.main);
    CHECK_EQ(state.hwndFocus, focusBefore);
    CHECK(IsWindowEnabled(pix.main));
    CHECK_EQ(GetForegroundWindow(), pix.main);
}

// One Gerar press that fails: the dialog's text, caption and button; the main
// window takes no input while it is up; everything as before once it is gone.
std::wstring PressAndExpectFailure(const Pix& pix, const std::wstring& caption) {
    const std::map<int, std::wstring> before = Contents(pix);
    ClickGerar(pix);
    const HWND dialog = WaitForFailureDialog(pix);
    REQUIRE(dialog != nullptr);
    const std::wstring message = MessageBoxText(dialog);
    CHECK_EQ(Text(dialog), caption);
    const std::vector<HWND> buttons = VisibleButtons(dialog);
    if (CHECK_EQ(buttons.size(), std::size_t{1})) CHECK_EQ(Text(buttons[0]), std::wstring(L"OK"));
    CHECK(!IsWindowEnabled(pix.main));
    const HWND focusBefore = pix.Control(ids::Button2);  // a click gives the button the focus
    AnswerByEnter(dialog);
    CheckBackInTheMainWindow(pix, focusBefore);
    CHECK(Contents(pix) == before);
    CHECK(FindFailureDialog(pix) == nullptr);
    return message;
}

// A Gerar press that works: one more call, and the result area grows.
void CheckNormalPress(const Pix& pix) {
    pix.Mode("");
    const std::size_t calls = pix.Calls();
    const std::wstring memo = Text(pix.Control(ids::Memo1));
    ClickGerar(pix);
    const bool answered = WaitUntil([&] { return Text(pix.Control(ids::Memo1)) != memo; }, kReactTimeout);
    CHECK(answered);
    CHECK(FindFailureDialog(pix) == nullptr);
    CHECK_EQ(pix.Calls(), calls + 1);
    CHECK(Text(pix.Control(ids::Memo1)).size() > memo.size());
}

struct ModuleRange {
    std::uintptr_t base = 0;
    std::size_t size = 0;
};

ModuleRange ModuleOf(DWORD process, const std::wstring& name) {
    ModuleRange range;
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, process);
    if (snapshot == INVALID_HANDLE_VALUE) return range;
    MODULEENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Module32FirstW(snapshot, &entry); more; more = Module32NextW(snapshot, &entry))
        if (_wcsicmp(entry.szModule, name.c_str()) == 0) {
            range = {reinterpret_cast<std::uintptr_t>(entry.modBaseAddr), entry.modBaseSize};
            break;
        }
    CloseHandle(snapshot);
    return range;
}

// "Access violation at address <16 digits> in module 'Quelvano.dll'. Read of
// address 0000000000000000.", the address inside the library's image.
void CheckReadOfAddressZero(const Pix& pix, const std::wstring& message) {
    const std::wstring prefix = L"Access violation at address ";
    const std::wstring suffix = L" in module 'Quelvano.dll'. Read of address 0000000000000000.";
    const bool shaped = message.size() == prefix.size() + 16 + suffix.size() && message.rfind(prefix, 0) == 0 &&
                        message.compare(prefix.size() + 16, std::wstring::npos, suffix) == 0;
    if (!CHECK(shaped)) {
        Note("message: " + Utf8(message));
        return;
    }
    const std::wstring digits = message.substr(prefix.size(), 16);
    bool upperHex = true;
    for (wchar_t c : digits) upperHex = upperHex && ((c >= L'0' && c <= L'9') || (c >= L'A' && c <= L'F'));
    CHECK(upperHex);
    const std::uintptr_t address = std::wcstoull(digits.c_str(), nullptr, 16);
    const ModuleRange library = ModuleOf(pix.process.Id(), L"Quelvano.dll");
    REQUIRE(library.base != 0);
    if (!CHECK(address >= library.base && address < library.base + library.size))
        Note("fault at " + Utf8(digits) + ", library at " + ShowUnsigned(library.base) + " size " +
             ShowUnsigned(library.size));
}

struct FaultRow {
    const char* mode;
    const wchar_t* message;  // null: the access violation, checked on its own
};

const FaultRow kFaults[] = {
    {"read0", nullptr},
    {"fpdiv0", L"Floating point division by zero."},
    {"intdiv0", L"Division by zero."},
    {"stackoverflow", L"Stack overflow."},
};

// Software exceptions the library raises and does not catch: 0xE0424242,
// continuable and not.
const FaultRow kSoftwareExceptions[] = {
    {"raise", L"External exception E0424242."},
    {"raise-noncontinuable", L"External exception E0424242."},
};

// Every way out of the library that the dialog shows, for the long runs.
const FaultRow kEscapes[] = {kFaults[0], kFaults[1], kFaults[2], kFaults[3], kSoftwareExceptions[0],
                             kSoftwareExceptions[1]};

void CheckFaultMessage(const Pix& pix, const FaultRow& row, const std::wstring& message) {
    if (row.message)
        CHECK_EQ(message, std::wstring(row.message));
    else
        CheckReadOfAddressZero(pix, message);
}

// --- the start-up's failure ---------------------------------------------------------

// A global hook from the test's hook library (tests/wine/failure_hook.cpp)
// while one of these lives.
struct FailureHook : GlobalHook {
    FailureHook(int kind, const char* procedure)
        : GlobalHook(RequiredEnvironment(L"PIX_FAILURE_HOOK"), kind, procedure) {}
};

// While one of these lives, no window of class TForm1 can be created on the
// desktop: PixGen's start-up fails at its main window.
struct MainWindowRefused {
    FailureHook hook{WH_CBT, "RefuseMainWindow"};
};

HWND FindApplicationErrorBox(const Process& process) {
    for (HWND window : TopLevelWindows(process.Id()))
        if (IsWindowVisible(window) && ClassName(window) == L"#32770" && Text(window) == L"Application Error")
            return window;
    return nullptr;
}

std::uint32_t SizeOfImage(const std::wstring& path) {
    const std::string file = ReadFileBytes(path);
    if (file.size() < 0x40) return 0;
    std::uint32_t peOffset = 0;
    std::memcpy(&peOffset, file.data() + 0x3C, 4);
    // Signature (4), file header (20), then SizeOfImage at 56 into the optional header.
    const std::size_t at = std::size_t{peOffset} + 4 + 20 + 56;
    if (file.size() < at + 4) return 0;
    std::uint32_t size = 0;
    std::memcpy(&size, file.data() + at, 4);
    return size;
}

}  // namespace

// A processor fault inside NewPix, each kind twice in a row: the dialog shows
// the fault's message, the program is as it was, the next press works.
PIX_TEST(FaultsInsideTheLibrary) {
    Pix pix = StartPixGen(L"faults");
    FillInputs(pix, L"12" + DecimalSeparator() + L"34");
    CheckNormalPress(pix);  // the result area is not empty when the faults come
    for (const FaultRow& row : kFaults) {
        Context context(row.mode);
        for (int time = 1; time <= 2; ++time) {
            Context attempt("press " + std::to_string(time));
            pix.Mode(row.mode);
            const std::size_t calls = pix.Calls();
            const std::wstring message = PressAndExpectFailure(pix, L"Pixgen");
            CheckFaultMessage(pix, row, message);
            CHECK_EQ(pix.Calls(), calls + 1);  // the library was entered once, and faulted
        }
        CheckNormalPress(pix);
    }
    CHECK(pix.process.Running());
}

// A software exception that leaves NewPix: the dialog says "External
// exception" with its code, the program is as it was, the next press works,
// and the program ends normally afterwards.
PIX_TEST(SoftwareExceptionsFromTheLibrary) {
    Pix pix = StartPixGen(L"software");
    FillInputs(pix, L"7");
    for (const FaultRow& row : kSoftwareExceptions) {
        Context context(row.mode);
        for (int time = 1; time <= 2; ++time) {
            Context attempt("press " + std::to_string(time));
            pix.Mode(row.mode);
            const std::size_t calls = pix.Calls();
            CheckFaultMessage(pix, row, PressAndExpectFailure(pix, L"Pixgen"));
            CHECK_EQ(pix.Calls(), calls + 1);
        }
        CheckNormalPress(pix);
    }
    Close(pix);
    CHECK_EQ(pix.process.ExitCode(), DWORD{0});
}

// What the library handles itself never reaches PixGen: a processor fault
// taken by the system function it calls (IsBadReadPtr), a C++ exception it
// throws and catches. No dialog; its answer is appended.
PIX_TEST(HandledInsideTheLibrary) {
    Pix pix = StartPixGen(L"handled-inside");
    FillInputs(pix, L"7");
    const struct {
        const char* mode;
        const wchar_t* answer;
    } cases[] = {
        {"probe", L"probe: unreadable"},
        {"cxx", L"cxx: caught"},
        {"probe", L"probe: unreadable"},
    };
    for (const auto& c : cases) {
        Context context(c.mode);
        pix.Mode(c.mode);
        const std::size_t calls = pix.Calls();
        const std::wstring memo = Text(pix.Control(ids::Memo1));
        ClickGerar(pix);
        const std::wstring expected = memo + c.answer + L"\r\n\r\n";
        const bool answered = WaitUntil([&] { return Text(pix.Control(ids::Memo1)) == expected; }, kReactTimeout);
        if (!CHECK(answered)) Note("result area: " + Utf8(Text(pix.Control(ids::Memo1))));
        CHECK(FindFailureDialog(pix) == nullptr);
        CHECK_EQ(pix.Calls(), calls + 1);
    }
    CheckNormalPress(pix);
}

// A hundred escapes in a row, processor faults and software exceptions of
// every kind, then a press that works.
PIX_TEST(HundredEscapes) {
    Pix pix = StartPixGen(L"hundred");
    FillInputs(pix, L"1");
    constexpr std::size_t kinds = sizeof kEscapes / sizeof kEscapes[0];
    for (int i = 0; i < 100; ++i) {
        const FaultRow& row = kEscapes[i % kinds];
        Context context(std::string(row.mode) + " #" + std::to_string(i + 1));
        pix.Mode(row.mode);
        ClickGerar(pix);
        const HWND dialog = WaitForFailureDialog(pix);
        REQUIRE(dialog != nullptr);
        CheckFaultMessage(pix, row, MessageBoxText(dialog));
        AnswerByEnter(dialog);
        REQUIRE(WaitUntil([&] { return GuiState(pix).hwndActive == pix.main; }, kReactTimeout));
    }
    CHECK_EQ(pix.Calls(), std::size_t{100});
    CheckNormalPress(pix);
    CHECK(pix.process.Running());
}

// An amount that cannot be converted: the conversion's message with the
// dialog's full stop, captioned with the title of the running file; the
// main window takes no input while it is up; the next press is the same.
PIX_TEST(InvalidAmount) {
    Pix pix = StartPixGen(L"invalid-amount", L"Pix.Gen.exe");
    FillInputs(pix, L"");
    REQUIRE(BringToFront(pix.main));
    Click(CenterOf(WindowRect(pix.Control(ids::edtValor))));
    TypeText(L"abc");
    REQUIRE(WaitUntil([&] { return Text(pix.Control(ids::edtValor)) == L"abc"; }, kReactTimeout));

    for (int time = 1; time <= 2; ++time) {
        Context attempt("press " + std::to_string(time));
        const std::map<int, std::wstring> before = Contents(pix);
        ClickGerar(pix);
        const HWND dialog = WaitForFailureDialog(pix);
        REQUIRE(dialog != nullptr);
        CHECK_EQ(MessageBoxText(dialog), std::wstring(L"'abc' is not a valid floating point value."));
        CHECK_EQ(Text(dialog), std::wstring(L"Pix"));
        const std::vector<HWND> buttons = VisibleButtons(dialog);
        if (CHECK_EQ(buttons.size(), std::size_t{1})) CHECK_EQ(Text(buttons[0]), std::wstring(L"OK"));

        // No input reaches the main window meanwhile: a click on Gerar does nothing.
        CHECK(!IsWindowEnabled(pix.main));
        Click(CenterOf(WindowRect(pix.Control(ids::Button2))));
        Pause(300);
        CHECK(Responds(pix.main));
        CHECK_EQ(FindFailureDialog(pix), dialog);
        CHECK(IsWindow(dialog));
        CHECK(Contents(pix) == before);

        AnswerByEnter(dialog);
        CheckBackInTheMainWindow(pix, pix.Control(ids::Button2));
        CHECK(Contents(pix) == before);
    }
    CHECK_EQ(pix.Calls(), std::size_t{0});  // the library was never called
}

// A program file whose name begins with "." has an empty title: the dialog
// has an empty caption.
PIX_TEST(EmptyCaption) {
    Pix pix = StartPixGen(L"empty-caption", L".pixgen.exe");
    FillInputs(pix, L"1");
    pix.Mode("intdiv0");
    CHECK_EQ(PressAndExpectFailure(pix, L""), std::wstring(L"Division by zero."));
}

// A failure while a press of the mouse holds the capture: the window that
// holds it is sent WM_CANCELMODE before the dialog is made, the press is
// cancelled, and releasing the button afterwards clicks nothing.
PIX_TEST(CaptureCancelled) {
    const std::wstring log = Scratch(L"capture-hooks.log");
    const FailureHook creation(WH_CBT, "LogCreation");
    const FailureHook cancelMode(WH_CALLWNDPROC, "LogCancelMode");
    Pix pix = StartPixGen(L"capture", L"PixGen.exe", log);
    FillInputs(pix, L"1");
    pix.Mode("read0");
    const HWND button = pix.Control(ids::Button2);
    REQUIRE(BringToFront(pix.main));
    MoveMouse(CenterOf(WindowRect(button)));
    INPUT down{};
    down.type = INPUT_MOUSE;
    down.mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    SendInput(1, &down, sizeof down);
    REQUIRE(WaitUntil([&] { return GuiState(pix).hwndCapture == button; }, kReactTimeout));
    WriteFileBytes(log, "");  // only what follows counts
    PressKey(VK_RETURN);      // Enter on the focused Gerar button, the mouse still down
    const HWND dialog = WaitForFailureDialog(pix);
    REQUIRE(dialog != nullptr);
    CHECK(GuiState(pix).hwndCapture != button);
    DWORD_PTR state = 0;
    SendMessageTimeoutW(button, BM_GETSTATE, 0, 0, SMTO_ABORTIFHUNG, kReactTimeout, &state);
    CHECK(!(state & BST_PUSHED));

    const std::string lines = ReadFileBytes(log);
    const std::size_t cancelled = lines.find("cancelmode Button " + std::to_string(ids::Button2) + "\n");
    const std::size_t created = lines.find("create #32770\n");
    if (!CHECK(cancelled != std::string::npos && created != std::string::npos && cancelled < created))
        Note("hooks saw:\n" + lines);

    AnswerByEnter(dialog);
    const std::size_t calls = pix.Calls();
    INPUT up{};
    up.type = INPUT_MOUSE;
    up.mi.dwFlags = MOUSEEVENTF_LEFTUP;
    SendInput(1, &up, sizeof up);
    Pause(300);
    REQUIRE(Responds(pix.main));
    CHECK(FindFailureDialog(pix) == nullptr);
    CHECK_EQ(pix.Calls(), calls);
}

// The main window cannot be built: Windows' error reporting first; when it
// returns control, the fatal failure box, no main window behind it, and
// exit code 1.
PIX_TEST(StartupFailureBox) {
    const NoDebuggerForCrashes noDebugger;
    const MainWindowRefused refused;
    const std::wstring exe = Deploy(L"startup-failure");
    Process process = Process::Start(exe);
    HWND box = nullptr;
    REQUIRE(WaitUntil([&] { return (box = FindApplicationErrorBox(process)) != nullptr || !process.Running(); },
                      kStartTimeout));
    REQUIRE(box != nullptr);
    CHECK_EQ(GetWindow(box, GW_OWNER), HWND{nullptr});
    for (HWND window : TopLevelWindows(process.Id())) {
        CHECK(ClassName(window) != L"TForm1");
        if (window != box && !CHECK(!IsWindowVisible(window))) Note("also visible: " + Describe(window));
    }
    const std::wstring text = MessageBoxText(box);
    Note("box: " + Utf8(text));
    const std::wstring head = L"Exception WindowError in module PixGen.exe at ";
    const std::wstring tail = L".\r\nCannot create the window.\r\n";
    const bool shaped = text.size() == head.size() + 16 + tail.size() && text.rfind(head, 0) == 0 &&
                        text.compare(head.size() + 16, std::wstring::npos, tail) == 0;
    if (CHECK(shaped)) {
        // The offset of the start-up's code in the program's image.
        const std::uint64_t offset = std::wcstoull(text.substr(head.size(), 16).c_str(), nullptr, 16);
        const std::uint32_t imageSize = SizeOfImage(exe);
        CHECK(offset >= 0x1000 && offset < imageSize);
    } else {
        Note("text: " + Utf8(text));
    }
    CHECK(process.Running());  // the exit processing waits for the box
    AnswerByEnter(box);
    REQUIRE(process.WaitForExit());
    CHECK_EQ(process.ExitCode(), DWORD{1});
}

// When Windows' error reporting takes the failure over (Wine starts its
// debugger, which attaches), the program does nothing more: no box, and the
// process ends with the failure's exception code.
PIX_TEST(StartupFailureReported) {
    const MainWindowRefused refused;
    Process process = Process::Start(Deploy(L"startup-reported"));
    bool boxSeen = false;
    WaitUntil([&] {
        boxSeen = boxSeen || FindApplicationErrorBox(process) != nullptr;
        return !process.Running();
    }, kStartTimeout);
    CHECK(!boxSeen);
    REQUIRE(process.WaitForExit());
    CHECK_EQ(process.ExitCode(), DWORD{0xE0504958});
}

// --- the trapping itself, in this process -------------------------------------------

namespace {

volatile int zero = 0;
volatile bool deeper = true;
volatile int sink = 0;  // results go here, so that the faulting work is never dropped

PIX_NOINLINE int ReadNull() {
    int* volatile pointer = nullptr;
    return *pointer;
}
PIX_NOINLINE int DivideByZero() { return 7 / zero; }
PIX_NOINLINE int Recurse(int depth) {
    volatile char frame[1024];
    frame[0] = static_cast<char>(depth);
    if (!deeper) return 0;
    return Recurse(depth + 1) + frame[0];
}

// Counts its destructions: what lies above a trap must unwind normally.
struct Counted {
    int& count;
    ~Counted() { ++count; }
};

std::wstring Message(const pix::Failure& failure) {
    return std::wstring(failure.Message().begin(), failure.Message().end());
}

template <class Body>
std::wstring OwnFailure(Body body, int& released) {
    try {
        const Counted counted{released};
        pix::faults::RunOrThrow(pix::faults::Scope::Own, body);
    } catch (const pix::Failure& failure) {
        return Message(failure);
    }
    return L"<no failure>";
}

// The test's own software exception.
constexpr DWORD kTestException = 0xE0001234;
PIX_NOINLINE void RaiseTestException(DWORD flags) { RaiseException(kTestException, flags, 0, nullptr); }

using NewPixFn = const wchar_t*(PIX_STDCALL*)(const wchar_t*, const wchar_t*, const wchar_t*, const wchar_t*,
                                               const wchar_t*, const wchar_t*, const wchar_t*, double, double);

}  // namespace

// Faults in the program's own code under the guard's trap become failures;
// our frames above the trap unwind; the next trap works; the processor is
// ours again.
PIX_TEST(TrapsOwnFaults) {
    pix::cpu::SetX87ControlWord(pix::cpu::kProgramX87ControlWord);
    const struct {
        const char* name;
        void (*body)();
        const wchar_t* message;  // null: an access violation in this program
    } cases[] = {
        {"read of null", [] { sink = ReadNull(); }, nullptr},
        {"division by zero", [] { sink = DivideByZero(); }, L"Division by zero"},
        {"stack overflow", [] { sink = Recurse(0); }, L"Stack overflow"},
        {"stack overflow again", [] { sink = Recurse(0); }, L"Stack overflow"},
        {"division by zero again", [] { sink = DivideByZero(); }, L"Division by zero"},
    };
    for (const auto& c : cases) {
        Context context(c.name);
        int released = 0;
        const std::wstring message = OwnFailure(c.body, released);
        if (c.message)
            CHECK_EQ(message, std::wstring(c.message));
        else
            CHECK(message.rfind(L"Access violation at address ", 0) == 0 &&
                  message.find(L" in module 'failure_test.exe'. Read of address 0000000000000000") !=
                      std::wstring::npos);
        if (!c.message) Note(Utf8(message));
        CHECK_EQ(released, 1);
        CHECK_EQ(pix::cpu::X87ControlWord() & ~pix::cpu::kX87Reserved, pix::cpu::kProgramX87ControlWord);
    }
    // A C++ failure passes through a trap unchanged.
    int released = 0;
    CHECK_EQ(OwnFailure([] { throw pix::Failure(u"Test", u"thrown"); }, released), std::wstring(L"thrown"));
    CHECK_EQ(released, 1);
    // Nothing trapped: the body's work is done.
    int ran = 0;
    pix::faults::RunOrThrow(pix::faults::Scope::Own, [&] { ++ran; });
    CHECK_EQ(ran, 1);
}

// The message of a fault from its exception record: the module form by the
// memory region of the faulting instruction, the kind of access, addresses of
// pointer width, unknown codes.
PIX_TEST(FaultMessagesFromRecords) {
    void* reserved = VirtualAlloc(nullptr, 0x10000, MEM_RESERVE, PAGE_NOACCESS);
    void* committed = VirtualAlloc(nullptr, 0x10000, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
    REQUIRE(reserved != nullptr && committed != nullptr);
    // A region that is surely free: reserved, then released again.
    void* freed = VirtualAlloc(nullptr, 0x10000, MEM_RESERVE, PAGE_NOACCESS);
    REQUIRE(freed != nullptr);
    VirtualFree(freed, 0, MEM_RELEASE);
    const HMODULE kernel32 = GetModuleHandleW(L"kernel32.dll");
    const auto inKernel32 = reinterpret_cast<const char*>(GetProcAddress(kernel32, "GetTickCount"));
    // Addresses as wide as a pointer: 16 digits here, 8 in the 32-bit build.
    const auto hex = [](auto value) {
        wchar_t text[24];
        swprintf(text, 24, L"%0*llX", static_cast<int>(sizeof(void*) * 2),
                 static_cast<unsigned long long>((std::uintptr_t)(value)));
        return std::wstring(text);
    };
    const ULONG_PTR highest = ~ULONG_PTR{0};
    const struct {
        const char* name;
        DWORD code;
        const void* address;
        ULONG_PTR access;
        ULONG_PTR accessed;
        std::wstring message;
    } cases[] = {
        {"in a system library", EXCEPTION_ACCESS_VIOLATION, inKernel32, 1, 0x10,
         L"Access violation at address " + hex(inKernel32) +
             L" in module 'kernel32.dll'. Write of address " + hex(0x10)},
        {"in private memory", EXCEPTION_ACCESS_VIOLATION, committed, 8, reinterpret_cast<ULONG_PTR>(committed),
         L"Access violation at address " + hex(committed) + L". Execution of address " + hex(committed)},
        {"in reserved memory", EXCEPTION_ACCESS_VIOLATION, reserved, 0, highest,
         L"Access violation at address " + hex(reserved) + L". Read of address " + hex(highest)},
        // Free memory has no allocation base: the base 0 names the program file.
        {"in free memory", EXCEPTION_ACCESS_VIOLATION, freed, 3, 0,
         L"Access violation at address " + hex(freed) +
             L" in module 'failure_test.exe'. Invalid access of address " + hex(0)},
        {"unknown code", 0xC0000001, inKernel32, 0, 0, L"External exception C0000001"},
        {"illegal instruction", EXCEPTION_ILLEGAL_INSTRUCTION, inKernel32, 0, 0, L"External exception C000001D"},
        {"x87 stack check", EXCEPTION_FLT_STACK_CHECK, inKernel32, 0, 0, L"Invalid floating point operation"},
    };
    for (const auto& c : cases) {
        Context context(c.name);
        pix::faults::Fault fault{};
        fault.record.ExceptionCode = c.code;
        fault.record.ExceptionAddress = const_cast<void*>(c.address);
        fault.record.NumberParameters = 2;
        fault.record.ExceptionInformation[0] = c.access;
        fault.record.ExceptionInformation[1] = c.accessed;
        CHECK_EQ(Message(pix::faults::FailureOf(fault)), c.message);
    }
    VirtualFree(reserved, 0, MEM_RELEASE);
    VirtualFree(committed, 0, MEM_RELEASE);
}

// What a trap takes: whatever leaves its body unhandled, software exceptions
// too (continuable or not), but never what a frame inside handles, and never
// our own C++ exceptions.
PIX_TEST(WhatTheTrapTakes) {
    using pix::faults::RunOrThrow;
    using pix::faults::Scope;
    const auto failureOf = [](Scope scope, DWORD flags) -> std::wstring {
        try {
            RunOrThrow(scope, [&] { RaiseTestException(flags); });
        } catch (const pix::Failure& failure) {
            return Message(failure);
        }
        return L"<no failure>";
    };
    for (const Scope scope : {Scope::Foreign, Scope::Own}) {
        Context context(scope == Scope::Foreign ? "foreign" : "own");
        CHECK_EQ(failureOf(scope, 0), std::wstring(L"External exception E0001234"));
        CHECK_EQ(failureOf(scope, EXCEPTION_NONCONTINUABLE), std::wstring(L"External exception E0001234"));
    }

    // The innermost trap takes it; the outer one sees nothing, and its body
    // goes on.
    bool takenInside = false, finished = false;
    RunOrThrow(Scope::Own, [&] {
        try {
            RunOrThrow(Scope::Foreign, [] { RaiseTestException(EXCEPTION_NONCONTINUABLE); });
        } catch (const pix::Failure&) {
            takenInside = true;
        }
        finished = true;
    });
    CHECK(takenInside);
    CHECK(finished);

    // IsBadReadPtr probes with a fault that Windows' code handles itself; a
    // reserved page that was never committed faults on any access.
    void* reserved = VirtualAlloc(nullptr, 4096, MEM_RESERVE, PAGE_NOACCESS);
    REQUIRE(reserved != nullptr);
    BOOL bad = FALSE;
    RunOrThrow(Scope::Own, [&] { bad = IsBadReadPtr(reserved, 4); });
    CHECK(bad);
    RunOrThrow(Scope::Foreign, [&] { bad = IsBadReadPtr(reserved, 4); });
    CHECK(bad);
    VirtualFree(reserved, 0, MEM_RELEASE);

    // Our C++ exceptions pass unchanged, through both kinds of trap, and so
    // do the ones caught inside.
    for (const Scope scope : {Scope::Own, Scope::Foreign}) {
        Context context(scope == Scope::Foreign ? "foreign" : "own");
        std::string passed;
        try {
            RunOrThrow(scope, [] { throw std::runtime_error("passes"); });
        } catch (const std::runtime_error& e) {
            passed = e.what();
        }
        CHECK_EQ(passed, std::string("passes"));
        int caughtInside = 0;
        RunOrThrow(scope, [&] {
            try {
                throw std::logic_error("inside");
            } catch (const std::logic_error&) {
                ++caughtInside;
            }
        });
        CHECK_EQ(caughtInside, 1);
    }
}

// What leaves the library through CallForeign in this process, and what it
// handles itself: the processor state afterwards, a hundred escapes in a row,
// stack overflows back to back.
PIX_TEST(TrapsForeignFaults) {
    const HMODULE library = LoadLibraryW(RecordingLibrary().c_str());
    REQUIRE(library != nullptr);
    const auto newPix = reinterpret_cast<NewPixFn>(reinterpret_cast<void (*)()>(GetProcAddress(library, "NewPix")));
    REQUIRE(newPix != nullptr);
    const auto call = [&](const wchar_t* mode) -> std::wstring {
        SetEnvironmentVariableW(L"QUELVANO_MODE", mode);
        int released = 0;
        try {
            const Counted counted{released};
            const wchar_t* answer = pix::CallForeign(
                [&] { return newPix(nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, 1.0, 2.0); });
            return answer ? L"answer: " + std::wstring(answer) : L"null";
        } catch (const pix::Failure& failure) {
            CHECK_EQ(released, 1);
            return Message(failure);
        }
    };
    pix::cpu::SetX87ControlWord(pix::cpu::kProgramX87ControlWord);
    const std::uint32_t mxcsr = pix::cpu::Mxcsr();
    const struct {
        const wchar_t* mode;
        const wchar_t* message;
    } cases[] = {
        {L"fpdiv0", L"Floating point division by zero"},
        {L"intdiv0", L"Division by zero"},
        {L"stackoverflow", L"Stack overflow"},
        {L"stackoverflow", L"Stack overflow"},
        {L"read0", nullptr},
        {L"raise", L"External exception E0424242"},
        {L"raise-noncontinuable", L"External exception E0424242"},
        {L"probe", L"answer: probe: unreadable"},
        {L"cxx", L"answer: cxx: caught"},
        {L"crlf", L"answer: linha 1\r\nlinha 2\r\n\r\nlinha 4"},
    };
    for (const auto& c : cases) {
        Context context(Utf8(c.mode));
        const std::wstring message = call(c.mode);
        if (c.message)
            CHECK_EQ(message, std::wstring(c.message));
        else
            CHECK(message.find(L" in module 'Quelvano.dll'. Read of address 0000000000000000") != std::wstring::npos);
        CHECK_EQ(pix::cpu::X87ControlWord() & ~pix::cpu::kX87Reserved, pix::cpu::kProgramX87ControlWord);
        CHECK_EQ(pix::cpu::X87StatusWord() & 0x00BF, 0);  // no exception flag left pending
        CHECK_EQ(pix::cpu::Mxcsr(), mxcsr);
        // x87 arithmetic works again, without a pending fault striking.
        volatile long double x = 3.0L;
        CHECK(std::fabs(static_cast<double>(x / 2.0L) - 1.5) < 1e-12);
    }
    const wchar_t* const escapes[] = {L"read0", L"stackoverflow", L"raise", L"raise-noncontinuable"};
    int failures = 0;
    for (int i = 0; i < 100; ++i) failures += call(escapes[i % 4]).rfind(L"answer", 0) != 0;
    CHECK_EQ(failures, 100);
    CHECK_EQ(call(L"probe"), std::wstring(L"answer: probe: unreadable"));
    SetEnvironmentVariableW(L"QUELVANO_MODE", nullptr);
    FreeLibrary(library);
}

// The C++ library's own errors, raised through the functions PixGen defines
// in their place (base/core/compiler.h, defined here as in app/main.cpp),
// and what the guard then shows: a text beyond what memory can hold is out
// of memory; an error with a message keeps the library's own words, as
// before.
PIX_DEFINE_QUIET_RUNTIME_ERRORS()

PIX_TEST(RuntimeLibraryErrors) {
#if PIX_GNU && defined(__MINGW32__)
    const auto shown = [](auto&& body) {
        try {
            body();
        } catch (...) {
            const pix::Failure failure = pix::ForeignFailure(std::current_exception());
            return std::u16string(failure.Kind()) + u": " + failure.Message();
        }
        return std::u16string(u"nothing thrown");
    };
    std::u16string text;
    CHECK(shown([&] { text.reserve(text.max_size() + 1); }) == u"OutOfMemory: Out of memory");
    const char16_t* volatile none = nullptr;
    CHECK(shown([&] { text = std::u16string(none); }) ==
          u"RuntimeError: basic_string: construction from null is not valid");
    CHECK(shown([&] { (void)text.at(1); }).rfind(u"RuntimeError: ", 0) == 0);
#else
    Skip("the program defines the C++ library's error functions with GCC's library only");
#endif
}
