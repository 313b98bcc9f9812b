// The i686 build, the one users run, end to end in an emulated 32-bit Wine:
// it starts, binds NewPix of a 32-bit library, passes its arguments by the
// 32-bit stdcall contract, shows the answer, turns a software exception that
// leaves the library into the failure dialog, leaves alone what the library
// handles itself, and ends. (Processor faults are not tested here: the
// emulation reports them wrongly.)
#include <cstring>
#include <string>
#include <vector>

#include "base/core/compiler.h"
#include "form/core/control_ids.h"
#include "quelvano/core/answer.h"
#include "tests/fixtures/sample_charge.h"
#include "tests/wine/driver/driver.h"

using namespace pixtest;

namespace {

using pix::cpu::kX87Reserved;

// The form filled with the sample charge, one field beyond Latin-1 and one
// left empty.
struct Field {
    int id;
    const char* argument;
    std::u16string text;
};
std::vector<Field> ChargeFields() {
    std::vector<Field> fields;
    for (const pix::sample::Field& field : pix::sample::kCharge) fields.push_back({field.id, field.argument, field.text});
    fields[1].text = u"Conv\u00eanio \u00e7\u00e3o \u20ac";
    fields[4].text = u"";  // empty: passed as null
    return fields;
}
const std::vector<Field> kFields = ChargeFields();

std::wstring Wide16(const std::u16string& text) { return std::wstring(text.begin(), text.end()); }

std::uint64_t Bits(double value) {
    std::uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

void SetField(HWND main, int id, const std::u16string& text) {
    const HWND field = FindDescendantById(main, id);
    REQUIRE(field != nullptr);
    const std::wstring wide = Wide16(text);
    SendMessageW(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wide.c_str()));
}

void CheckText(const RecordedCall& call, const char* name, const std::u16string& expected, long referenceCount) {
    Context row(std::string("argument ") + name);
    const RecordedText& text = call.Text(name);
    if (expected.empty()) {
        CHECK(text.null);
        return;
    }
    CHECK(!text.null);
    CHECK_EQ(text.codePage, 1200);
    CHECK_EQ(text.elementSize, 2);
    if (referenceCount < 0)
        CHECK_EQ(text.referenceCount, referenceCount);
    else
        CHECK(text.referenceCount > 0);
    CHECK_EQ(text.length, static_cast<long>(expected.size()));
    CHECK(text.units == expected);
}

struct Running {
    Process process;
    HWND main = nullptr;
};

Running StartPixGen(const std::wstring& folder, const Layout& layout,
                    const StartOptions& options = StartOptions()) {
    Running running;
    running.process = Process::Start(Deploy(folder, layout), options);
    running.main = WaitForMainWindow(running.process, 120000);  // emulation is slow
    return running;
}

}  // namespace

PIX_TEST(WindowAndClose) {
    Running pixgen = StartPixGen(L"close", Layout());
    REQUIRE(pixgen.main != nullptr);
    // The emulation's first run of a fresh program translates its code
    // first: the window answers messages only after a while.
    WaitUntil([&] { return Text(pixgen.main) == L"PIX"; }, 60000, 200);
    CHECK_EQ(Text(pixgen.main), std::wstring(L"PIX"));
    CHECK(IsWindowVisible(pixgen.main) != FALSE);
    PostMessageW(pixgen.main, WM_CLOSE, 0, 0);
    REQUIRE(pixgen.process.WaitForExit(60000));
    CHECK_EQ(pixgen.process.ExitCode(), 0ul);
}

PIX_TEST(GerarAcrossTheBoundary) {
    const std::wstring record = Scratch(L"gerar-calls.txt");
    StartOptions options;
    options.environment.push_back({L"QUELVANO_RECORD", record});
    Running pixgen = StartPixGen(L"gerar", Layout(), options);
    REQUIRE(pixgen.main != nullptr);
    for (const Field& field : kFields) SetField(pixgen.main, field.id, field.text);
    SetField(pixgen.main, pix::ids::edtValor, u"12.5");  // the prefix's locale has a decimal point

    SendMessageW(FindDescendantById(pixgen.main, pix::ids::Button2), BM_CLICK, 0, 0);
    const std::vector<RecordedCall> calls = ReadRecording(record);
    REQUIRE_EQ(calls.size(), static_cast<std::size_t>(1));
    const RecordedCall& call = calls[0];

    CheckText(call, "bankCode", u"001", -1);
    for (const Field& field : kFields) CheckText(call, field.argument, field.text, 1);
    CHECK_EQ(call.valorBits, Bits(12.5));
    CHECK_EQ(call.vencimentoBits, Bits(44551.0));  // 21 December 2021, no time of day
    CHECK_EQ(call.x87ControlWord & ~kX87Reserved, pix::cpu::kProgramX87ControlWord & ~kX87Reserved);
    CHECK(call.stackPointer % 4 == 0);

    // The answer and the empty line after it.
    quelvano::Received received;
    received.bankCode = u"001";
    received.chavePix = kFields[0].text;
    received.convenio = kFields[1].text;
    received.developerApplicationKey = kFields[2].text;
    received.clientId = kFields[3].text;
    received.clientSecret = kFields[4].text;
    received.boleto = kFields[5].text;
    received.valor = 12.5;
    received.vencimento = 44551.0;
    const std::u16string answer = quelvano::DescribeCall(received);
    const std::wstring memo = Text(FindDescendantById(pixgen.main, pix::ids::Memo1));
    CHECK_EQ(memo, Wide16(answer) + L"\r\n\r\n");

    PostMessageW(pixgen.main, WM_CLOSE, 0, 0);
    REQUIRE(pixgen.process.WaitForExit(60000));
    CHECK_EQ(pixgen.process.ExitCode(), 0ul);
}

// stdcall with 44 bytes: the stack pointer after the call is back where it
// was, and the library found it 48 bytes lower on entry. A caller that
// disagrees with the library (the cdecl variant) is caught.
PIX_TEST(StackAfterTheCall) {
    const struct {
        const wchar_t* program;
        DWORD exitCode;
    } probes[] = {
        {L"PIX_ABI_PROBE", 0},
        {L"PIX_ABI_PROBE_CDECL", 1},
    };
    for (const auto& probe : probes) {
        Context row(Utf8(probe.program));
        const std::wstring folder = Scratch(std::wstring(L"probe-") + probe.program);
        const std::wstring program = Deploy(std::wstring(L"probe-") + probe.program, Layout{L"probe.exe"});
        CopyFileW(RequiredEnvironment(probe.program).c_str(), program.c_str(), FALSE);
        const std::wstring record = JoinPath(folder, L"calls.txt");
        StartOptions options;
        options.environment.push_back({L"QUELVANO_RECORD", record});
        Process run = Process::Start(program, options);
        REQUIRE(run.WaitForExit(60000));
        CHECK_EQ(run.ExitCode(), probe.exitCode);
        const std::vector<RecordedCall> calls = ReadRecording(record);
        REQUIRE_EQ(calls.size(), static_cast<std::size_t>(1));
        CHECK_EQ(calls[0].x87ControlWord & ~kX87Reserved, pix::cpu::kProgramX87ControlWord & ~kX87Reserved);
    }
}

// The loader binds plain NewPix only: a library that exports nothing but the
// decorated name keeps PixGen from starting. Wine binds a missing export to a
// stub and starts the program all the same: a known gap, marked so that this
// fails once Wine refuses like Windows.
PIX_TEST(OnlyThePlainExportBinds) {
    const struct {
        const wchar_t* library;
        bool starts;
    } libraries[] = {
        {L"PIX_QUELVANO", true},
        {L"PIX_QUELVANO_DECORATED", false},
    };
    for (const auto& library : libraries) {
        Context row(Utf8(library.library));
        Layout layout;
        layout.library = RequiredEnvironment(library.library);
        Process run = Process::Start(Deploy(std::wstring(L"bind-") + library.library, layout));
        const HWND main = WaitForMainWindow(run, library.starts ? 120000 : 20000);
        if (library.starts)
            CHECK(main != nullptr);
        else
            CHECK_TODO_WINE(main == nullptr);
        if (main) PostMessageW(main, WM_CLOSE, 0, 0);
        REQUIRE(run.WaitForExit(60000));
        if (library.starts) CHECK_EQ(run.ExitCode(), 0ul);
    }
}

// Software exceptions that leave NewPix (0xE0424242, continuable and not)
// end in the failure dialog and the program goes on; a C++ exception that
// the library throws and catches never reaches PixGen: its answer is
// appended. On i686 the trap is a registration on the fs:[0] chain, which
// this build alone exercises. The library's IsBadReadPtr probe is left out:
// the emulation reports its fault as an illegal instruction (C000001D),
// which Windows' handler inside IsBadReadPtr rightly does not take.
PIX_TEST(ExceptionsFromTheLibrary) {
    const std::wstring modeFile = Scratch(L"exceptions-mode.txt");
    StartOptions options;
    options.environment.push_back({L"QUELVANO_MODE_FILE", modeFile});
    Running pixgen = StartPixGen(L"exceptions", Layout(), options);
    REQUIRE(pixgen.main != nullptr);
    SetField(pixgen.main, pix::ids::edtValor, u"1");
    const HWND button = FindDescendantById(pixgen.main, pix::ids::Button2);
    const HWND memo = FindDescendantById(pixgen.main, pix::ids::Memo1);
    REQUIRE(button != nullptr && memo != nullptr);
    constexpr DWORD kEmulated = 60000;  // emulation is slow

    // A press that must not fail: the click returns, and the memo grows by the answer.
    const auto pressAnswered = [&](const char* mode, const std::wstring& answer) {
        Context row(std::string("mode '") + mode + "'");
        WriteFileBytes(modeFile, mode);
        const std::wstring before = Text(memo);
        DWORD_PTR ignored = 0;
        CHECK(SendMessageTimeoutW(button, BM_CLICK, 0, 0, SMTO_ABORTIFHUNG, kEmulated, &ignored) != 0);
        CHECK(FindMessageBox(pixgen.process, pixgen.main) == nullptr);
        const std::wstring after = Text(memo);
        if (answer.empty())
            CHECK(after.size() > before.size() + 4);
        else if (!CHECK_EQ(after, before + answer + L"\r\n\r\n"))
            Note("result area: " + Utf8(after));
    };

    pressAnswered("cxx", L"cxx: caught");
    for (const char* mode : {"raise", "raise-noncontinuable", "raise"}) {
        Context row(std::string("mode '") + mode + "'");
        WriteFileBytes(modeFile, mode);
        const std::wstring before = Text(memo);
        PostMessageW(button, BM_CLICK, 0, 0);
        const HWND box = WaitForMessageBox(pixgen.process, pixgen.main, kEmulated);
        REQUIRE(box != nullptr);
        CHECK_EQ(MessageBoxText(box), std::wstring(L"External exception E0424242."));
        CHECK_EQ(Text(box), std::wstring(L"Pixgen"));
        PostMessageW(box, WM_COMMAND, IDOK, 0);
        REQUIRE(WaitUntil([&] { return !IsWindow(box); }, kEmulated));
        REQUIRE(WaitUntil([&] { return IsWindowEnabled(pixgen.main) != FALSE; }, kEmulated));
        CHECK_EQ(Text(memo), before);
        pressAnswered("", L"");
    }

    PostMessageW(pixgen.main, WM_CLOSE, 0, 0);
    REQUIRE(pixgen.process.WaitForExit(kEmulated));
    CHECK_EQ(pixgen.process.ExitCode(), 0ul);
}
