// Reliability seen from outside: a storm of faults inside NewPix that must
// leave no handle, GDI or USER object or memory behind, and inputs far beyond
// what anyone types (a megabyte in every field, a result area grown to tens
// of megabytes) that must lose nothing and crash nothing.
#include "tests/wine/driver/driver.h"

#include <algorithm>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "tests/fixtures/sample_charge.h"
#include "form/core/control_ids.h"

using namespace pixtest;
namespace ids = pix::ids;

namespace {

std::wstring FromU16(const std::u16string& text) { return std::wstring(text.begin(), text.end()); }

// The six text fields, each with the name the recording gives its argument.
struct TextField {
    int id;
    const char* argument;
};
const TextField kTextFields[] = {
    {ids::edtDeveloperApplicationKey, "developerApplicationKey"},
    {ids::edtClientId, "clientId"},
    {ids::edtClientSecret, "clientSecret"},
    {ids::edtConvenio, "convenio"},
    {ids::edtCodigoSolicitacaoBancoCentral, "chavePix"},
    {ids::edtBoleto, "boleto"},
};

void SetField(const RecordedPixGen& pix, int id, const std::wstring& text) {
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(pix.Control(id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), SMTO_ABORTIFHUNG,
                        kReactTimeout, &ignored);
    REQUIRE(Text(pix.Control(id)) == text);
}

void FillSampleCharge(const RecordedPixGen& pix, const std::wstring& valor) {
    for (const pix::sample::Field& field : pix::sample::kCharge) SetField(pix, field.id, FromU16(field.text));
    SetField(pix, ids::edtValor, valor);
}

void ClickGerar(const RecordedPixGen& pix) {
    REQUIRE(BringToFront(pix.main));
    Click(CenterOf(WindowRect(pix.Control(ids::Button2))));
}

bool MainWindowActive(const RecordedPixGen& pix) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    return GetGUIThreadInfo(pix.process.ThreadId(), &info) && info.hwndActive == pix.main;
}

std::size_t TextLength(HWND window) {
    DWORD_PTR length = 0;
    SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kReactTimeout, &length);
    return length;
}

// One press that must work: one more call, and the result area ends with an
// answer and the empty line.
void CheckNormalPress(const RecordedPixGen& pix, DWORD timeoutMs = kReactTimeout) {
    pix.Mode("");
    const HWND memo = pix.Control(ids::Memo1);
    const std::size_t before = TextLength(memo);
    ClickGerar(pix);
    const bool grew = WaitUntil([&] { return TextLength(memo) > before; }, timeoutMs);
    CHECK(grew);
    CHECK(FindMessageBox(pix.process, pix.main) == nullptr);
    const std::wstring text = Text(memo);
    CHECK(text.size() >= 4 && text.compare(text.size() - 4, 4, L"\r\n\r\n") == 0);
}

// --- what a process holds -------------------------------------------------------

std::string Show(const Holdings& h) {
    return "handles " + std::to_string(h.handles) + ", GDI " + std::to_string(h.gdiObjects) + ", USER " +
           std::to_string(h.userObjects) + ", private bytes " + std::to_string(h.privateBytes);
}

// What may grow over a whole storm without counting as a leak. The storm
// has a thousand failed presses: one handle or object left behind per fault
// shows as a thousand, four kilobytes per fault as four megabytes. Below
// that lies what grows without a leak: the heap's own growth and
// fragmentation, caches the system fills lazily (fonts, the message box's
// resources), and Wine's bookkeeping for the process.
struct Allowance {
    DWORD handles = 32;
    DWORD gdiObjects = 16;
    DWORD userObjects = 16;
    SIZE_T privateBytes = 4u << 20;
};

void CheckFlat(const Holdings& before, const Holdings& after, const Allowance& allowance = {}) {
    Note("before: " + Show(before));
    Note("after:  " + Show(after));
    if (before.handles == 0)
        SKIP_CHECK("handle count", "GetProcessHandleCount gives no count here");
    else
        CHECK(after.handles <= before.handles + allowance.handles);
    if (before.gdiObjects == 0 && before.userObjects == 0) {
        SKIP_CHECK("GDI and USER objects", "GetGuiResources counts nothing here (Wine 8 answers 0 for another process)");
    } else {
        CHECK(after.gdiObjects <= before.gdiObjects + allowance.gdiObjects);
        CHECK(after.userObjects <= before.userObjects + allowance.userObjects);
    }
    if (before.privateBytes == 0)
        SKIP_CHECK("private bytes", "GetProcessMemoryInfo gives no private bytes here");
    else
        CHECK(after.privateBytes <= before.privateBytes + allowance.privateBytes);
}

// --- the fault storm ------------------------------------------------------------

// The recording library's processor faults.
const std::vector<std::string> kProcessorFaultModes = {"read0", "fpdiv0", "intdiv0", "stackoverflow"};

// Software exceptions of other runtimes that escape NewPix, continuable and not.
const std::vector<std::string> kEscapingExceptionModes = {"raise", "raise-noncontinuable"};

std::vector<std::string> StormModes() {
    std::vector<std::string> modes = kProcessorFaultModes;
    modes.insert(modes.end(), kEscapingExceptionModes.begin(), kEscapingExceptionModes.end());
    return modes;
}

// One failed press: the failure dialog shows with a message, and Enter
// brings the main window back.
void PressAndAnswerFailure(const RecordedPixGen& pix, const std::string& mode) {
    pix.Mode(mode);
    ClickGerar(pix);
    const HWND dialog = WaitForMessageBox(pix.process, pix.main);
    REQUIRE(dialog != nullptr);
    CHECK(!MessageBoxText(dialog).empty());
    AnswerByEnter(dialog);
    REQUIRE(WaitUntil([&] { return MainWindowActive(pix); }, kReactTimeout));
}

constexpr int kStormFaults = 1000;

PIX_TEST(FaultStorm) {
    RecordedPixGen pix = StartRecorded(L"storm");
    FillSampleCharge(pix, L"1");
    const std::vector<std::string> modes = StormModes();

    // Once round everything first, so that what the system sets up at the
    // first dialog and the first press is there before the count.
    for (const std::string& mode : modes) PressAndAnswerFailure(pix, mode);
    CheckNormalPress(pix);
    REQUIRE(Responds(pix.main));
    const Holdings before = MeasureHoldings(pix.process);

    // The modes mixed: a stride prime to their number visits each in turn in
    // a changing order.
    for (int i = 0; i < kStormFaults; ++i) {
        const std::string& mode = modes[(static_cast<std::size_t>(i) * 7 + i / 5) % modes.size()];
        Context context(mode + " #" + std::to_string(i + 1));
        PressAndAnswerFailure(pix, mode);
    }
    CheckNormalPress(pix);
    REQUIRE(Responds(pix.main));
    const Holdings after = MeasureHoldings(pix.process);
    CheckFlat(before, after);
    CHECK_EQ(pix.Calls().size(), modes.size() + 1 + kStormFaults + 1);
    CHECK(pix.process.Running());
    Close(pix);
}

// --- huge inputs ----------------------------------------------------------------

// A megabyte of text (a million characters), different for every field and
// not only ASCII, so that a lost, moved or narrowed character shows.
std::wstring Huge(wchar_t tag) {
    std::wstring text;
    text.reserve(1u << 20);
    const wchar_t pieces[] = {tag, L'-', L'\u00e7', L'\u00e3', L'o', L' ', L'\u20ac', L'9'};
    for (std::size_t i = 0; text.size() < (1u << 20); ++i) text += pieces[i % 8];
    return text;
}

constexpr DWORD kHugeTimeout = 120000;

// Clicks into the field until it has the focus (a field holding a megabyte
// takes Wine seconds to lay out and paint, and the click may come early).
void FocusField(const RecordedPixGen& pix, int id) {
    const HWND field = pix.Control(id);
    for (int attempt = 0; attempt < 5 && pix.Focus() != field; ++attempt) {
        REQUIRE(Responds(pix.main, kHugeTimeout));
        REQUIRE(BringToFront(pix.main, kHugeTimeout));
        Click(CenterOf(WindowRect(field)));
        WaitUntil([&] { return pix.Focus() == field; }, 10000);
    }
    REQUIRE(pix.Focus() == field);
}

// Pastes text over the field's text with the keys a person would use.
void Paste(const RecordedPixGen& pix, HWND clipboardOwner, int id, const std::wstring& text) {
    PlaceOnClipboard(clipboardOwner, text);
    FocusField(pix, id);
    PressKey('A', kControl);
    PressKey('V', kControl);
    WaitUntil([&] { return TextLength(pix.Control(id)) == text.size(); }, kHugeTimeout);
}

// A megabyte pasted into every field: all of it stays, a press hands all of
// it to the library, and an amount a megabyte long fails with the
// conversion's message quoting all of it. The library answers null here: an
// answer echoing six megabytes would take Wine's edit control minutes to lay
// out (the result area's own size is the next case's).
PIX_TEST(HugeFields) {
    const OwnWindow clipboardOwner(L"clipboard owner", {1000, 600, 1200, 700});
    RecordedPixGen pix = StartRecorded(L"huge-fields");
    FillSampleCharge(pix, L"1");
    std::map<int, std::wstring> typed;
    wchar_t tag = L'A';
    for (const TextField& field : kTextFields) {
        typed[field.id] = Huge(tag++);
        Paste(pix, clipboardOwner.Handle(), field.id, typed[field.id]);
        CHECK(Text(pix.Control(field.id)) == typed[field.id]);
    }
    pix.Mode("null");
    const HWND memo = pix.Control(ids::Memo1);
    const std::size_t memoBefore = TextLength(memo);
    ClickGerar(pix);
    CHECK(WaitUntil([&] { return TextLength(memo) == memoBefore + 4; }, kHugeTimeout));
    const std::vector<RecordedCall> calls = pix.Calls();
    if (CHECK_EQ(calls.size(), std::size_t{1})) {
        for (const TextField& field : kTextFields) {
            Context context(field.argument);
            const std::u16string& received = calls[0].Text(field.argument).units;
            CHECK_EQ(received.size(), typed[field.id].size());
            CHECK(std::wstring(received.begin(), received.end()) == typed[field.id]);
        }
    }
    for (const TextField& field : kTextFields) CHECK(Text(pix.Control(field.id)) == typed[field.id]);

    // (Not a megabyte of one digit: a run of a million characters of one
    // script takes Wine's edit control minutes to shape.)
    const std::wstring amount = Huge(L'7');
    Paste(pix, clipboardOwner.Handle(), ids::edtValor, amount);
    CHECK_EQ(TextLength(pix.Control(ids::edtValor)), amount.size());
    ClickGerar(pix);
    const HWND dialog = WaitForMessageBox(pix.process, pix.main, kHugeTimeout);
    if (CHECK(dialog != nullptr)) {
        // Read until it holds the whole message: copying a megabyte out of
        // another process's control can come back empty or short while that
        // process is still busy with the box (seen under load).
        const std::wstring expected = L"'" + amount + L"' is not a valid floating point value.";
        std::wstring message;
        const bool whole = WaitUntil([&] { return (message = MessageBoxText(dialog)) == expected; }, kHugeTimeout);
        if (!CHECK(whole)) {
            const std::size_t tail = std::min<std::size_t>(message.size(), 48);
            Note("the box holds " + std::to_string(message.size()) + " characters of " +
                 std::to_string(expected.size()) + ", ending \"" + Utf8(message.substr(message.size() - tail)) + "\"");
        }
        AnswerByEnter(dialog);
        CHECK(WaitUntil([&] { return MainWindowActive(pix); }, kHugeTimeout));
    }
    CHECK_EQ(pix.Calls().size(), std::size_t{1});
    CHECK_EQ(TextLength(memo), memoBefore + 4);
    CHECK(Text(pix.Control(ids::edtValor)) == amount);
    CHECK(pix.process.Running());
    Close(pix);
}

// The result area grown toward the edit control's limit by a person pasting
// into it (it is not read-only): eight million characters in lines of 80;
// then presses append whole answers after them, and nothing before is lost.
PIX_TEST(HugeResultArea) {
    const OwnWindow clipboardOwner(L"clipboard owner", {1000, 600, 1200, 700});
    RecordedPixGen pix = StartRecorded(L"huge-memo");
    FillSampleCharge(pix, L"1");
    std::wstring pasted;
    constexpr std::size_t kCharacters = 8u << 20;
    pasted.reserve(kCharacters + 82);
    for (std::size_t line = 0; pasted.size() < kCharacters; ++line) {
        std::wstring text = L"linha " + std::to_wstring(line) + L" \u00e7\u00e3o ";
        text.resize(78, L'x');
        pasted += text + L"\r\n";
    }
    Paste(pix, clipboardOwner.Handle(), ids::Memo1, pasted);
    const HWND memo = pix.Control(ids::Memo1);
    REQUIRE_EQ(TextLength(memo), pasted.size());
    for (int press = 1; press <= 3; ++press) {
        Context context("press " + std::to_string(press));
        CheckNormalPress(pix, kHugeTimeout);
    }
    const std::wstring all = Text(memo);
    CHECK(all.compare(0, pasted.size(), pasted) == 0);
    const std::wstring appended = all.substr(pasted.size());
    Note("result area: " + std::to_string(all.size()) + " characters");
    // Three equal answers, each with its empty line.
    CHECK(appended.size() % 3 == 0);
    const std::size_t one = appended.size() / 3;
    CHECK(appended.substr(0, one) == appended.substr(one, one));
    CHECK(appended.substr(one, one) == appended.substr(2 * one, one));
    CHECK(pix.process.Running());
    Close(pix);
}

}  // namespace
