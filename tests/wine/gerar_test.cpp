// The Gerar action seen from outside: a real PixGen.exe, typed into and
// clicked as a person would, with the recording Quelvano.dll showing what
// crossed into the library, byte for byte: the counted texts and their
// headers, the bits of the two doubles, the processor state on entry. Then the
// result area after presses (several results, a null result, a result with
// line breaks, text the user typed first), the decimal symbol of the regional
// settings at start-up and while the program runs, the amounts that fail, and
// every input left exactly as it was by every press.
#include "tests/wine/driver/driver.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>

#include "base/core/compiler.h"
#include "tests/fixtures/sample_charge.h"
#include "form/core/control_ids.h"
#include "form/core/memo_text.h"
#include "pixlib/core/counted_text.h"
#include "quelvano/core/answer.h"

using namespace pixtest;
namespace ids = pix::ids;

namespace {

// What Windows gives a fresh process: read as this program loads, before any
// code of ours can have touched the SSE unit.
const std::uint32_t kFreshMxcsr = pix::cpu::Mxcsr();

// The SSE unit's control: exception masks, rounding, flush-to-zero and
// denormals-are-zero. Its low six bits are the sticky exception flags, which
// any inexact arithmetic of the program's own (the day count of the picked
// date, for one) raises before the call.
constexpr std::uint32_t kMxcsrControl = 0xFFC0;

constexpr std::uint16_t kProgramX87ControlWord = pix::cpu::kProgramX87ControlWord;
constexpr std::uint64_t kInitialDueDateBits = 0x40E5C0E000000000;  // 44551.0: 21 December 2021
constexpr wchar_t kFailureCaption[] = L"Pixgen";                     // the title of PixGen.exe
constexpr wchar_t kCrlfAnswer[] = L"linha 1\r\nlinha 2\r\n\r\nlinha 4";  // the "crlf" mode's answer

std::uint64_t Bits(double value) {
    std::uint64_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

std::u16string U16(const std::wstring& text) { return std::u16string(text.begin(), text.end()); }
std::wstring FromU16(const std::u16string& text) { return std::wstring(text.begin(), text.end()); }

// --- the form's inputs ----------------------------------------------------------------

struct TextField {
    int id;
    const char* argument;  // the name the recording gives the argument
    const char* control;
};

// The six text fields, in the order of the arguments they become (the bank
// code comes first, always "001").
const TextField kTextFields[] = {
    {ids::edtDeveloperApplicationKey, "developerApplicationKey", "edtDeveloperApplicationKey"},
    {ids::edtClientId, "clientId", "edtClientId"},
    {ids::edtClientSecret, "clientSecret", "edtClientSecret"},
    {ids::edtConvenio, "convenio", "edtConvenio"},
    {ids::edtCodigoSolicitacaoBancoCentral, "chavePix", "edtCodigoSolicitacaoBancoCentral"},
    {ids::edtBoleto, "boleto", "edtBoleto"},
};

const char* NameOf(int id) {
    if (id == ids::edtValor) return "edtValor";
    if (id == ids::edtVencimento) return "edtVencimento";
    for (const TextField& field : kTextFields)
        if (field.id == id) return field.control;
    return "?";
}

// The text of each of the six text fields.
using Texts = std::map<int, std::wstring>;

Texts SampleTexts() {
    Texts texts;
    for (const pix::sample::Field& field : pix::sample::kCharge)
        texts[field.id] = std::wstring(field.text, field.text + std::char_traits<char16_t>::length(field.text));
    return texts;
}

// What the stand-in library answers for these inputs.
std::wstring AnswerFor(const Texts& texts, double valor, double vencimento) {
    quelvano::Received received;
    received.bankCode = u"001";
    received.developerApplicationKey = U16(texts.at(ids::edtDeveloperApplicationKey));
    received.clientId = U16(texts.at(ids::edtClientId));
    received.clientSecret = U16(texts.at(ids::edtClientSecret));
    received.convenio = U16(texts.at(ids::edtConvenio));
    received.chavePix = U16(texts.at(ids::edtCodigoSolicitacaoBancoCentral));
    received.boleto = U16(texts.at(ids::edtBoleto));
    received.valor = valor;
    received.vencimento = vencimento;
    return FromU16(quelvano::DescribeCall(received));
}

std::string ShowTime(const SYSTEMTIME& t) {
    char text[64];
    std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u.%03u", t.wYear, t.wMonth, t.wDay, t.wHour,
                  t.wMinute, t.wSecond, t.wMilliseconds);
    return text;
}

// --- the user's decimal symbol ------------------------------------------------------------

std::wstring CurrentDecimalSymbol() {
    wchar_t buffer[8] = {};
    GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, buffer, 8);
    return buffer;
}

void SetDecimalSymbol(const std::wstring& symbol) {
    if (!SetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, symbol.c_str()))
        throw Abort{"SetLocaleInfoW(LOCALE_SDECIMAL, " + Show(symbol) + ") failed with error " +
                    std::to_string(GetLastError())};
    if (CurrentDecimalSymbol() != symbol)
        throw Abort{"the decimal symbol reads back as " + Show(CurrentDecimalSymbol()) + ", not " + Show(symbol)};
}

// The user's decimal symbol while one of these lives; "." again afterwards,
// whatever happened in between: the prefix's own symbol, which every other
// test takes for granted.
class DecimalSymbol {
public:
    explicit DecimalSymbol(const std::wstring& symbol) {
        try {
            SetDecimalSymbol(symbol);
        } catch (...) {
            Restore();
            throw;
        }
    }
    ~DecimalSymbol() { Restore(); }
    DecimalSymbol(const DecimalSymbol&) = delete;
    DecimalSymbol& operator=(const DecimalSymbol&) = delete;

private:
    static void Restore() { SetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, L"."); }
};

// --- PixGen with the recording library ------------------------------------------------------

struct Pix : RecordedPixGen {
    HWND Memo() const { return Control(ids::Memo1); }
};

Pix StartPix(const std::wstring& folder) {
    Pix pix{StartRecorded(folder)};
    REQUIRE(Responds(pix.main));
    REQUIRE(BringToFront(pix.main));
    return pix;
}

// A click into the field, its text selected by keys and typed over, as a
// person replaces what a field holds.
void TypeInto(const Pix& pix, int id, const std::wstring& text) {
    const HWND field = pix.Control(id);
    REQUIRE(BringToFront(pix.main));
    Click(CenterOf(WindowRect(field)));
    REQUIRE(WaitUntil([&] { return pix.Focus() == field; }, kReactTimeout));
    PressKey(VK_END);
    PressKey(VK_HOME, kShift);
    if (text.empty())
        PressKey(VK_DELETE);
    else
        TypeText(text);
    if (!WaitUntil([&] { return Text(field) == text; }, kReactTimeout))
        throw Abort{std::string("typing into ") + NameOf(id) + " gave " + Show(Text(field)) + ", not " + Show(text)};
}

// For texts too long to type in a test's time.
void SetInto(const Pix& pix, int id, const std::wstring& text) {
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(pix.Control(id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), SMTO_ABORTIFHUNG,
                        kReactTimeout, &ignored);
    if (Text(pix.Control(id)) != text) throw Abort{std::string("cannot set the text of ") + NameOf(id)};
}

void SetTexts(const Pix& pix, const Texts& texts) {
    for (const auto& [id, text] : texts) SetInto(pix, id, text);
}

SYSTEMTIME Picked(const Pix& pix) {
    RemoteBuffer buffer(pix.process.Handle(), sizeof(SYSTEMTIME));
    SYSTEMTIME time{};
    buffer.Write(&time, sizeof time);
    DWORD_PTR result = 0;
    SendMessageTimeoutW(pix.Control(ids::edtVencimento), DTM_GETSYSTEMTIME, 0, buffer.Address(), SMTO_ABORTIFHUNG,
                        kReactTimeout, &result);
    if (result != GDT_VALID) throw Abort{"the date picker holds no date"};
    buffer.Read(&time, sizeof time);
    return time;
}

bool SameMoment(const SYSTEMTIME& a, const SYSTEMTIME& b) {
    return a.wYear == b.wYear && a.wMonth == b.wMonth && a.wDay == b.wDay && a.wHour == b.wHour &&
           a.wMinute == b.wMinute && a.wSecond == b.wSecond && a.wMilliseconds == b.wMilliseconds;
}

// What a person picking this date and time leaves in the picker.
void Pick(const Pix& pix, const SYSTEMTIME& time) {
    RemoteBuffer buffer(pix.process.Handle(), sizeof(SYSTEMTIME));
    buffer.Write(&time, sizeof time);
    DWORD_PTR result = 0;
    SendMessageTimeoutW(pix.Control(ids::edtVencimento), DTM_SETSYSTEMTIME, GDT_VALID, buffer.Address(),
                        SMTO_ABORTIFHUNG, kReactTimeout, &result);
    const SYSTEMTIME now = Picked(pix);
    if (!result || !SameMoment(now, time))
        throw Abort{"the picker does not take " + ShowTime(time) + ": it holds " + ShowTime(now)};
}

// Everything a press may read, and must leave as it was.
struct Inputs {
    std::map<int, std::wstring> texts;  // the six text fields and edtValor
    SYSTEMTIME picked{};
};

Inputs ReadInputs(const Pix& pix) {
    Inputs inputs;
    for (const TextField& field : kTextFields) inputs.texts[field.id] = Text(pix.Control(field.id));
    inputs.texts[ids::edtValor] = Text(pix.Control(ids::edtValor));
    inputs.picked = Picked(pix);
    return inputs;
}

void CheckUnchanged(const Inputs& before, const Inputs& after) {
    for (const auto& [id, text] : before.texts) {
        Context context(std::string("after the press: ") + NameOf(id));
        CHECK_EQ(after.texts.at(id), text);
    }
    Context context("after the press: edtVencimento");
    CHECK_EQ(ShowTime(after.picked), ShowTime(before.picked));
}

struct PressOutcome {
    std::vector<RecordedCall> calls;  // the calls this press made
    bool failed = false;              // the failure dialog showed
    std::wstring failure;             // its text
};

// A click on Gerar, then what it led to: the result area grown, or the
// failure dialog, read and answered with Enter (the result area as before).
// On either path every input is as it was, and the library was entered in
// the program's floating-point environment.
PressOutcome PressGerar(const Pix& pix) {
    const Inputs before = ReadInputs(pix);
    const std::size_t callsBefore = pix.Calls().size();
    const std::wstring memo = Text(pix.Memo());
    REQUIRE(BringToFront(pix.main));
    Click(CenterOf(WindowRect(pix.Control(ids::Button2))));
    HWND dialog = nullptr;
    REQUIRE(WaitUntil([&] {
        return (dialog = FindMessageBox(pix.process, pix.main)) != nullptr || Text(pix.Memo()) != memo;
    }, kReactTimeout));
    PressOutcome outcome;
    if (dialog) {
        outcome.failed = true;
        outcome.failure = MessageBoxText(dialog);
        CHECK_EQ(Text(dialog), std::wstring(kFailureCaption));
        AnswerByEnter(dialog);
        REQUIRE(WaitUntil([&] { return IsWindowEnabled(pix.main) != FALSE; }, kReactTimeout));
        CHECK_EQ(Text(pix.Memo()), memo);
    }
    REQUIRE(Responds(pix.main));
    const std::vector<RecordedCall> calls = pix.Calls();
    outcome.calls.assign(calls.begin() + static_cast<std::ptrdiff_t>(callsBefore), calls.end());
    for (const RecordedCall& call : outcome.calls) {
        CHECK_EQ(call.x87ControlWord & ~pix::cpu::kX87Reserved, kProgramX87ControlWord);
        CHECK_EQ(call.mxcsr & kMxcsrControl, kFreshMxcsr & kMxcsrControl);
    }
    CheckUnchanged(before, ReadInputs(pix));
    return outcome;
}

// The one call of a press that worked; Abort otherwise.
RecordedCall OnlyCall(const PressOutcome& outcome) {
    if (outcome.failed) throw Abort{"the press failed: " + Utf8(outcome.failure)};
    if (outcome.calls.size() != 1) throw Abort{"the press made " + std::to_string(outcome.calls.size()) + " calls"};
    return outcome.calls[0];
}

const char* const kArgumentOrder[] = {"bankCode", "developerApplicationKey", "clientId", "clientSecret",
                                      "convenio", "chavePix",                "boleto"};

// One counted text as it lay in memory: UTF-16 (code page 1200, two bytes a
// unit), its length in code units, the units themselves.
void CheckCountedText(const RecordedText& text, const std::wstring& expected, bool constant) {
    Context context("argument " + text.name);
    if (expected.empty()) {
        CHECK(text.null);
        return;
    }
    if (!CHECK(!text.null)) return;
    CHECK_EQ(text.codePage, 1200);
    CHECK_EQ(text.elementSize, 2);
    if (constant)
        CHECK_EQ(text.referenceCount, -1L);
    else if (!CHECK(text.referenceCount > 0))
        Note("reference count " + std::to_string(text.referenceCount));
    CHECK_EQ(text.length, static_cast<long>(expected.size()));
    if (!CHECK(text.units == U16(expected)) && expected.size() < 200)
        Note("units " + Show(text.units) + ", expected " + Show(expected));
}

// All seven texts of a call, by position: the bank code, then the fields.
void CheckTexts(const RecordedCall& call, const Texts& texts) {
    REQUIRE_EQ(call.texts.size(), std::size(kArgumentOrder));
    for (std::size_t i = 0; i < std::size(kArgumentOrder); ++i)
        CHECK_EQ(call.texts[i].name, std::string(kArgumentOrder[i]));
    CheckCountedText(call.texts[0], L"001", true);
    for (std::size_t i = 0; i < std::size(kTextFields); ++i)
        CheckCountedText(call.texts[i + 1], texts.at(kTextFields[i].id), false);
}

// Where a check sees Windows' behaviour that Wine 8 is known to lack.
void CheckAsWindowsDoes(bool condition, const char* what) {
    Context context(what);
    if (UnderWine())
        CHECK_TODO_WINE(condition);
    else
        CHECK(condition);
}

LRESULT SendTo(HWND window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, kReactTimeout, &result))
        throw Abort{"message " + std::to_string(message) + " got no answer"};
    return static_cast<LRESULT>(result);
}

// The insertion point after the inserted text: an empty selection at the
// very end; the line it is on in view.
void CheckCaretAtTheEnd(const Pix& pix) {
    const HWND memo = pix.Memo();
    const std::size_t length = Text(memo).size();
    // Through its two pointers: the packed answer has 16 bits a position.
    DWORD start = 0, end = 0;
    SendTo(memo, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    CHECK_EQ(static_cast<std::size_t>(start), length);
    CHECK_EQ(static_cast<std::size_t>(end), length);
    const LRESULT caretLine = SendTo(memo, EM_LINEFROMCHAR, static_cast<WPARAM>(-1));
    const LRESULT firstVisible = SendTo(memo, EM_GETFIRSTVISIBLELINE);
    // The edit messages lie below WM_USER: the system carries their buffers
    // across processes itself.
    RECT format{};
    SendTo(memo, EM_GETRECT, 0, reinterpret_cast<LPARAM>(&format));
    const int lineHeight = 13;  // Tahoma at -11 and 96 DPI, the prefix's
    const LRESULT visibleLines = (format.bottom - format.top) / lineHeight;
    if (!CHECK(caretLine >= firstVisible && caretLine < firstVisible + visibleLines))
        Note("caret on line " + std::to_string(caretLine) + ", lines " + std::to_string(firstVisible) + " to " +
             std::to_string(firstVisible + visibleLines - 1) + " in view");
}

// The insertion cannot be undone through the area's undo.
void CheckNotUndoable(const Pix& pix) {
    const HWND memo = pix.Memo();
    const std::wstring text = Text(memo);
    CHECK_EQ(SendTo(memo, EM_CANUNDO), LRESULT{0});
    SendTo(memo, EM_UNDO);
    CHECK_EQ(Text(memo), text);
}

// Line n of the result area, through the edit control's own line index.
std::wstring MemoLine(const Pix& pix, int line) {
    constexpr WORD kCapacity = 512;
    std::wstring text(kCapacity, L'\0');
    std::memcpy(text.data(), &kCapacity, sizeof kCapacity);  // the buffer's size goes in its first word
    const LRESULT copied =
        SendTo(pix.Memo(), EM_GETLINE, static_cast<WPARAM>(line), reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<std::size_t>(copied));
    return text;
}

std::size_t CountOf(const std::wstring& text, const std::wstring& part) {
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::wstring::npos; at = text.find(part, at + part.size())) ++count;
    return count;
}

// --- amounts ----------------------------------------------------------------------------

struct AmountRow {
    const wchar_t* text;  // '.' stands for the decimal separator in force
    std::uint64_t bits;
};

const AmountRow kAmounts[] = {
    {L"12.5", 0x4029000000000000},
    {L" 12.5 ", 0x4029000000000000},
    {L"0", 0},
    {L"-0", 0x8000000000000000},
    {L".", 0},
    {L"-.", 0x8000000000000000},  // a minus and a lone separator: negative zero too
    {L".5", 0x3FE0000000000000},
    {L"5.", 0x4014000000000000},
    {L"+5", 0x4014000000000000},
    {L"-5", 0xC014000000000000},
    {L"0.1", 0x3FB999999999999A},
    {L"1e3", 0x408F400000000000},
    {L"1E+3", 0x408F400000000000},
    {L"2e", 0x4000000000000000},
    {L"1e-400", 0},
    {L"5e-324", 0x0000000000000001},                   // the smallest subnormal
    {L"1.7976931348623157e308", 0x7FEFFFFFFFFFFFFF},  // the largest finite
};

std::wstring WithSeparator(std::wstring text, wchar_t separator) {
    for (wchar_t& c : text)
        if (c == L'.') c = separator;
    return text;
}

std::wstring Invalid(const std::wstring& text) { return L"'" + text + L"' is not a valid floating point value."; }

// Every amount of the table typed with this separator, the bits that reach
// the library; then texts with the other character, which are invalid.
void CheckAmounts(const Pix& pix, wchar_t separator, const std::vector<std::wstring>& invalid) {
    for (const AmountRow& row : kAmounts) {
        const std::wstring text = WithSeparator(row.text, separator);
        Context context("amount " + Show(text));
        TypeInto(pix, ids::edtValor, text);
        const RecordedCall call = OnlyCall(PressGerar(pix));
        if (!CHECK_EQ(call.valorBits, row.bits)) Note("that is " + Show(call.Valor()));
    }
    for (const std::wstring& text : invalid) {
        Context context("amount " + Show(text));
        TypeInto(pix, ids::edtValor, text);
        const PressOutcome outcome = PressGerar(pix);
        CHECK(outcome.failed);
        CHECK_EQ(outcome.failure, Invalid(text));
        CHECK_EQ(outcome.calls.size(), std::size_t{0});
    }
}

// --- due dates --------------------------------------------------------------------------

struct DueDateRow {
    SYSTEMTIME picked;  // year, month, day of week (ignored), day, time of day
    double dayCount;    // from 30 December 1899, whole days
};

const DueDateRow kDueDates[] = {
    {{2021, 12, 0, 21, 0, 0, 0, 0}, 44551},
    {{2021, 12, 0, 21, 23, 59, 59, 999}, 44551},
    {{1899, 12, 0, 30, 12, 0, 0, 0}, 0},    // +0, never -0
    {{1899, 12, 0, 31, 0, 0, 0, 0}, 1},
    {{1899, 12, 0, 29, 0, 0, 0, 0}, -1},
    {{1899, 12, 0, 29, 6, 0, 0, 0}, -1},    // -1.25: the time counts from that day's midnight
    {{1899, 12, 0, 29, 18, 0, 0, 0}, -1},   // -1.75
    {{1899, 12, 0, 28, 23, 59, 59, 999}, -2},
    {{1800, 1, 0, 1, 0, 0, 0, 0}, -36522},
    {{1800, 1, 0, 1, 23, 59, 59, 0}, -36522},
    {{1900, 3, 0, 1, 8, 30, 0, 0}, 61},
    {{2000, 2, 0, 29, 12, 34, 56, 789}, 36585},
    {{9999, 12, 0, 30, 23, 59, 59, 999}, 2958464},  // the picker goes no further than 9999-12-31 00:00
};

}  // namespace

// --- what crosses into the library -----------------------------------------------------------

// Every text by real keys (the 10,000-character PIX key excepted): the bank
// code as the constant counted text, each field's text with its header and
// exact code units, non-ASCII and a surrogate pair included, in the order of
// the arguments; the amount and the untouched picker's date as doubles; the
// processor state on entry; the answer shown.
PIX_TEST(WhatCrossesTheBoundary) {
    const DecimalSymbol point(L".");
    Pix pix = StartPix(L"boundary");
    std::wstring longKey;
    const std::wstring alphabet = L"abcdefghijklmnopqrstuvwxyz0123456789";
    for (std::size_t i = 0; longKey.size() < 10000; ++i) longKey += alphabet[i % alphabet.size()];
    longKey.replace(longKey.size() - 4, 4, L"-fim");
    const Texts texts = {
        {ids::edtDeveloperApplicationKey, L"dev \xD83D\xDE00 key"},  // U+1F600 as its surrogate pair
        {ids::edtClientId, L"client id 42"},
        {ids::edtClientSecret, L"s3cr3t!\"'<>&"},
        {ids::edtConvenio, L"Conv\u00eanio \u00e7\u00e3o \u20ac"},
        {ids::edtCodigoSolicitacaoBancoCentral, longKey},
        {ids::edtBoleto, L"00190.00009 03128.557004"},
    };
    for (const auto& [id, text] : texts)
        if (id == ids::edtCodigoSolicitacaoBancoCentral)
            SetInto(pix, id, text);
        else
            TypeInto(pix, id, text);
    TypeInto(pix, ids::edtValor, L"12.5");

    const RecordedCall call = OnlyCall(PressGerar(pix));
    CheckTexts(call, texts);
    CHECK_EQ(call.Text("developerApplicationKey").units.substr(4, 2), std::u16string(u"\xD83D\xDE00"));
    CHECK_EQ(call.valorBits, Bits(12.5));
    CHECK_EQ(call.vencimentoBits, kInitialDueDateBits);
    CHECK_EQ(call.x87ControlWord & ~pix::cpu::kX87Reserved, kProgramX87ControlWord);
    CHECK_EQ(call.mxcsr & kMxcsrControl, kFreshMxcsr & kMxcsrControl);
    if (UnderWine()) CHECK_EQ(kFreshMxcsr, std::uint32_t{0x1F80});
    Note("MXCSR on entry " + ShowUnsigned(call.mxcsr) + ", in a fresh process " + ShowUnsigned(kFreshMxcsr));
    CHECK_EQ(Text(pix.Memo()), AnswerFor(texts, 12.5, 44551) + L"\r\n\r\n");

    // Pressed again: everything read afresh, the same call once more.
    const RecordedCall again = OnlyCall(PressGerar(pix));
    CheckTexts(again, texts);
    CHECK_EQ(again.valorBits, Bits(12.5));
    CHECK_EQ(again.vencimentoBits, kInitialDueDateBits);
    Close(pix);
}

// Each text field empty in turn, then all at once: the empty one passed as a
// null pointer, the others as before, and the call still made.
PIX_TEST(EmptyFieldsAreNull) {
    const DecimalSymbol point(L".");
    Pix pix = StartPix(L"empty-fields");
    TypeInto(pix, ids::edtValor, L"1");
    for (std::size_t row = 0; row <= std::size(kTextFields); ++row) {
        const bool allEmpty = row == std::size(kTextFields);
        Context context(allEmpty ? std::string("all empty") : std::string(kTextFields[row].control) + " empty");
        Texts texts = SampleTexts();
        SetTexts(pix, texts);
        for (std::size_t i = 0; i < std::size(kTextFields); ++i) {
            if (!allEmpty && i != row) continue;
            texts[kTextFields[i].id].clear();
            TypeInto(pix, kTextFields[i].id, L"");
        }
        const std::wstring memo = Text(pix.Memo());
        const RecordedCall call = OnlyCall(PressGerar(pix));
        CheckTexts(call, texts);
        CHECK_EQ(Text(pix.Memo()), memo + AnswerFor(texts, 1, 44551) + L"\r\n\r\n");
    }
    Close(pix);
}

// --- amounts and the decimal symbol ---------------------------------------------------------

// The decimal symbol "." in the regional settings when PixGen starts: the
// amounts with a point, and a comma is no separator.
PIX_TEST(AmountsWithDecimalPoint) {
    const DecimalSymbol point(L".");
    Pix pix = StartPix(L"decimal-point");
    CheckAmounts(pix, L'.', {L"12,5", L"1,234.56", L","});
    Close(pix);
}

// The decimal symbol "," when PixGen starts: the amounts with a comma, and a
// point is no separator.
PIX_TEST(AmountsWithDecimalComma) {
    const DecimalSymbol comma(L",");
    Pix pix = StartPix(L"decimal-comma");
    CheckAmounts(pix, L',', {L"12.5", L"1.234,56", L"."});
    Close(pix);
}

// A decimal symbol of two characters is not taken: the separator is ".".
PIX_TEST(TwoCharacterDecimalSymbol) {
    const DecimalSymbol twoCommas(L",,");
    Pix pix = StartPix(L"decimal-two");
    CheckAmounts(pix, L'.', {L"12,5", L"12,,5", L",,"});
    Close(pix);
}

// The decimal symbol changed while PixGen runs, announced the way the
// regional settings announce it: the next press uses the new separator.
// Wine 8 keeps a process's locale values once read, so PixGen reads the old
// symbol again: a known Wine gap.
PIX_TEST(DecimalSymbolChangedWhileRunning) {
    const DecimalSymbol symbol(L".");
    Pix pix = StartPix(L"decimal-live");
    TypeInto(pix, ids::edtValor, L"12.5");
    CHECK_EQ(OnlyCall(PressGerar(pix)).valorBits, Bits(12.5));

    SetDecimalSymbol(L",");
    DWORD_PTR ignored = 0;
    CHECK(SendMessageTimeoutW(HWND_BROADCAST, WM_SETTINGCHANGE, 0, reinterpret_cast<LPARAM>(L"intl"),
                              SMTO_ABORTIFHUNG, kReactTimeout, &ignored) != 0);
    REQUIRE(Responds(pix.main));

    TypeInto(pix, ids::edtValor, L"12,5");
    const PressOutcome withComma = PressGerar(pix);
    if (withComma.failed) Note("\"12,5\" after the change: " + Utf8(withComma.failure));
    CheckAsWindowsDoes(!withComma.failed && withComma.calls.size() == 1 && withComma.calls[0].valorBits == Bits(12.5),
                       "\"12,5\" is 12.5 after the change");

    TypeInto(pix, ids::edtValor, L"12.5");
    const PressOutcome withPoint = PressGerar(pix);
    CheckAsWindowsDoes(withPoint.failed && withPoint.failure == Invalid(L"12.5") && withPoint.calls.empty(),
                       "\"12.5\" is invalid after the change");
    CHECK(pix.process.Running());
    Close(pix);
}

// Amounts that fail: the failure dialog with the message, no call, the
// result area and every input as they were; the next press works.
PIX_TEST(FailingAmounts) {
    const DecimalSymbol point(L".");
    Pix pix = StartPix(L"failing-amounts");
    SetTexts(pix, SampleTexts());
    TypeInto(pix, ids::edtValor, L"1");
    OnlyCall(PressGerar(pix));  // the result area is not empty when the failures come
    const struct {
        std::wstring text;
        std::wstring message;
    } rows[] = {
        {L"abc", Invalid(L"abc")},
        {L"1e400", L"Floating point overflow."},
        {L"-1e400", L"Floating point overflow."},
        {L"1.8e308", L"Floating point overflow."},
        {L"", Invalid(L"")},
        {L"1e5000", Invalid(L"1e5000")},
        {L" 5 x", Invalid(L" 5 x")},
        {L"-", Invalid(L"-")},
        {L"- 5", Invalid(L"- 5")},
        {L"R$ 10", Invalid(L"R$ 10")},
        {L"NAN", Invalid(L"NAN")},
        {L"\u00a05", Invalid(L"\u00a05")},  // after a no-break space
        {L"\uff15", Invalid(L"\uff15")},    // a full-width digit
    };
    for (const auto& row : rows) {
        Context context("amount " + Show(row.text));
        TypeInto(pix, ids::edtValor, row.text);
        const PressOutcome outcome = PressGerar(pix);
        CHECK(outcome.failed);
        CHECK_EQ(outcome.failure, row.message);
        CHECK_EQ(outcome.calls.size(), std::size_t{0});
    }
    TypeInto(pix, ids::edtValor, L"2");
    const std::wstring memo = Text(pix.Memo());
    CHECK_EQ(OnlyCall(PressGerar(pix)).valorBits, Bits(2));
    CHECK_EQ(Text(pix.Memo()), memo + AnswerFor(SampleTexts(), 2, 44551) + L"\r\n\r\n");
    Close(pix);
}

// --- the due date ---------------------------------------------------------------------------

// The picked date as whole days from 30 December 1899, whatever time of day
// the picker holds, negative before that day, never a fraction and never -0.
PIX_TEST(DueDates) {
    const DecimalSymbol point(L".");
    Pix pix = StartPix(L"due-dates");
    TypeInto(pix, ids::edtValor, L"1");
    {
        Context context("untouched picker");
        const SYSTEMTIME initial = Picked(pix);
        CHECK(initial.wHour != 0 || initial.wMinute != 0);  // it carries a time of day
        CHECK_EQ(OnlyCall(PressGerar(pix)).vencimentoBits, kInitialDueDateBits);
    }
    for (const DueDateRow& row : kDueDates) {
        Context context("picked " + ShowTime(row.picked));
        Pick(pix, row.picked);
        const RecordedCall call = OnlyCall(PressGerar(pix));
        if (!CHECK_EQ(call.vencimentoBits, Bits(row.dayCount))) Note("that is " + Show(call.Vencimento()));
    }
    Close(pix);
}

// --- the result area ------------------------------------------------------------------------

// Two answers, each followed by an empty line; the insertion point after
// them and in view; nothing to undo. Then an answer with CR LF pairs, which
// start new lines.
PIX_TEST(ResultArea) {
    const DecimalSymbol point(L".");
    Pix pix = StartPix(L"result-area");
    Texts texts = SampleTexts();
    SetTexts(pix, texts);
    TypeInto(pix, ids::edtValor, L"1");
    OnlyCall(PressGerar(pix));
    const std::wstring first = AnswerFor(texts, 1, 44551);
    TypeInto(pix, ids::edtBoleto, L"boleto 2");
    texts[ids::edtBoleto] = L"boleto 2";
    OnlyCall(PressGerar(pix));
    const std::wstring second = AnswerFor(texts, 1, 44551);
    REQUIRE(first != second);
    const std::wstring both = first + L"\r\n\r\n" + second + L"\r\n\r\n";
    CHECK_EQ(Text(pix.Memo()), both);
    CheckCaretAtTheEnd(pix);
    CheckNotUndoable(pix);

    pix.Mode("crlf");
    OnlyCall(PressGerar(pix));
    const std::wstring all = both + kCrlfAnswer + L"\r\n\r\n";
    CHECK_EQ(Text(pix.Memo()), all);
    const LRESULT lines = SendTo(pix.Memo(), EM_GETLINECOUNT);
    CHECK_EQ(static_cast<std::size_t>(lines), CountOf(all, L"\r\n") + 1);
    const int firstOfAnswer = static_cast<int>(CountOf(both, L"\r\n"));
    const wchar_t* const expected[] = {L"linha 1", L"linha 2", L"", L"linha 4", L"", L""};
    for (int i = 0; i < static_cast<int>(std::size(expected)); ++i) {
        Context context("line " + std::to_string(firstOfAnswer + i));
        CHECK_EQ(MemoLine(pix, firstOfAnswer + i), std::wstring(expected[i]));
    }
    CheckCaretAtTheEnd(pix);
    CheckNotUndoable(pix);
    Close(pix);
}

// A null answer: two CR LF and nothing else, the call made all the same.
PIX_TEST(NullResult) {
    const DecimalSymbol point(L".");
    Pix pix = StartPix(L"null-result");
    TypeInto(pix, ids::edtValor, L"1");
    pix.Mode("null");
    CHECK_EQ(OnlyCall(PressGerar(pix)).valorBits, Bits(1));
    CHECK_EQ(Text(pix.Memo()), std::wstring(L"\r\n\r\n"));
    CheckCaretAtTheEnd(pix);
    OnlyCall(PressGerar(pix));
    CHECK_EQ(Text(pix.Memo()), std::wstring(L"\r\n\r\n\r\n\r\n"));
    CHECK_EQ(SendTo(pix.Memo(), EM_GETLINECOUNT), LRESULT{5});
    CheckCaretAtTheEnd(pix);
    CheckNotUndoable(pix);
    Close(pix);
}

// Text the user typed into the result area first, the caret left at its
// start: the answer goes at the end, on a line of its own, the caret after
// it, and the user's typing cannot be undone past the insertion.
PIX_TEST(TypedTextInResultArea) {
    const DecimalSymbol point(L".");
    const struct {
        const char* name;
        std::vector<std::wstring> lines;  // typed, Enter after all but the last
        std::wstring shown;               // what the area then holds
    } rows[] = {
        {"no final break", {L"nota do caixa"}, L"nota do caixa"},
        {"two lines", {L"nota", L"do caixa"}, L"nota\r\ndo caixa"},
        {"a final break", {L"nota", L""}, L"nota\r\n"},
        {"an empty line last", {L"nota", L"", L""}, L"nota\r\n\r\n"},
    };
    int number = 0;
    for (const auto& row : rows) {
        Context context(row.name);
        Pix pix = StartPix(L"typed-" + std::to_wstring(++number));
        const Texts texts = SampleTexts();
        SetTexts(pix, texts);
        TypeInto(pix, ids::edtValor, L"1");
        const HWND memo = pix.Memo();
        Click(CenterOf(WindowRect(memo)));
        REQUIRE(WaitUntil([&] { return pix.Focus() == memo; }, kReactTimeout));
        for (std::size_t i = 0; i < row.lines.size(); ++i) {
            if (i > 0) PressKey(VK_RETURN);
            TypeText(row.lines[i]);
        }
        PressKey(VK_HOME, kControl);
        REQUIRE(WaitUntil([&] { return Text(memo) == row.shown && LOWORD(SendTo(memo, EM_GETSEL)) == 0; },
                          kReactTimeout));
        CHECK(SendTo(memo, EM_CANUNDO) != 0);  // the typing itself could be undone

        OnlyCall(PressGerar(pix));
        const bool endsWithBreak = row.shown.size() >= 2 && row.shown.compare(row.shown.size() - 2, 2, L"\r\n") == 0;
        CHECK_EQ(Text(memo), row.shown + (endsWithBreak ? L"" : L"\r\n") + AnswerFor(texts, 1, 44551) + L"\r\n\r\n");
        CheckCaretAtTheEnd(pix);
        CheckNotUndoable(pix);
        Close(pix);
    }
}

// Whatever the area holds when Gerar is pressed, set by another program
// (WM_SETTEXT) or pasted by the user: a press appends exactly what the
// appending rule gives for the area's whole text, as PixGen did when it read
// the whole text, though it now reads only the end. Lone CR and LF, CR CR
// LF, lines that wrap without a break, and a text of 100,000 characters.
PIX_TEST(TextSetOrPastedInResultArea) {
    const DecimalSymbol point(L".");
    Pix pix = StartPix(L"set-or-pasted");
    const Texts texts = SampleTexts();
    SetTexts(pix, texts);
    TypeInto(pix, ids::edtValor, L"1");
    const std::u16string answer = U16(AnswerFor(texts, 1, 44551));
    // The area's text after a press, by the rule on the whole text: the
    // answer as a line, then an empty line.
    const auto pressed = [&](const std::wstring& before) {
        std::u16string text = U16(before);
        text += pix::TextForAppendingLine(text, answer);
        text += pix::TextForAppendingLine(text, u"");
        return FromU16(text);
    };
    std::wstring wrapping;
    for (int i = 0; i < 60; ++i) wrapping += L"palavra ";
    std::wstring large;
    while (large.size() < 100000) large += L"linha de um texto grande, " + std::to_wstring(large.size()) + L"\r\n";
    const struct {
        const char* name;
        std::wstring text;
    } set[] = {
        {"empty", L""},
        {"one character", L"x"},
        {"a line break alone", L"\r\n"},
        {"a final line break", L"nota\r\n"},
        {"an empty line last", L"nota\r\n\r\n"},
        {"a lone LF last", L"nota\n"},
        {"a lone CR last", L"nota\r"},
        {"LF CR last", L"nota\n\r"},
        {"CR CR LF last", L"nota\r\r\n"},
        {"a lone LF alone", L"\n"},
        {"a lone CR alone", L"\r"},
        {"one word wider than the area", std::wstring(300, L'x')},
        {"words wrapping, a space last", wrapping},
        {"words wrapping, a line break last", wrapping + L"\r\n"},
        {"100,000 characters, a line break last", large},
        {"100,000 characters, none last", large + L"fim"},
    };
    for (const auto& row : set) {
        Context context(std::string("set: ") + row.name);
        SetInto(pix, ids::Memo1, row.text);
        OnlyCall(PressGerar(pix));
        CHECK(Text(pix.Memo()) == pressed(row.text));
        CheckCaretAtTheEnd(pix);
        CheckNotUndoable(pix);
    }

    // Pasted at the end of what the area holds, with the keys a person uses.
    const OwnWindow clipboardOwner(L"clipboard owner", {1000, 600, 1200, 700});
    const struct {
        const char* name;
        std::wstring pasted;
    } pastes[] = {
        {"a line break last", L"colado\r\n"},
        {"a lone LF last", L"colado\n"},
        {"no break last", L"colado"},
    };
    for (const auto& row : pastes) {
        Context context(std::string("pasted: ") + row.name);
        SetInto(pix, ids::Memo1, L"nota");
        PlaceOnClipboard(clipboardOwner.Handle(), row.pasted);
        REQUIRE(BringToFront(pix.main));
        Click(CenterOf(WindowRect(pix.Memo())));
        REQUIRE(WaitUntil([&] { return pix.Focus() == pix.Memo(); }, kReactTimeout));
        PressKey(VK_END, kControl);
        PressKey('V', kControl);
        const std::wstring before = L"nota" + row.pasted;
        REQUIRE(WaitUntil([&] { return Text(pix.Memo()) == before; }, kReactTimeout));
        OnlyCall(PressGerar(pix));
        CHECK(Text(pix.Memo()) == pressed(before));
        CheckCaretAtTheEnd(pix);
        CheckNotUndoable(pix);
    }
    Close(pix);
}

// What the stand-in library keeps of its answers: the latest, readable after
// the call until the next one, and nothing older. A hundred answers of about
// 200 KB each leave this process no larger than a few of them would (kept,
// they would add 20 MB).
PIX_TEST(StandInKeepsOnlyTheLatestAnswer) {
    const HMODULE library = LoadLibraryW(PlainLibrary().c_str());
    REQUIRE(library != nullptr);
    using NewPixFunction = const wchar_t*(PIX_STDCALL*)(const wchar_t*, const wchar_t*, const wchar_t*,
                                                        const wchar_t*, const wchar_t*, const wchar_t*,
                                                        const wchar_t*, double, double);
    const auto newPix =
        reinterpret_cast<NewPixFunction>(reinterpret_cast<void (*)()>(GetProcAddress(library, "NewPix")));
    REQUIRE(newPix != nullptr);
    Texts texts;
    for (const TextField& field : kTextFields) texts[field.id] = L"";
    texts[ids::edtBoleto] = std::wstring(100000, L'7');
    const std::wstring expected = AnswerFor(texts, 1, 44551);
    const pix::CountedText boleto(U16(texts[ids::edtBoleto]));
    const auto* bankCode = reinterpret_cast<const wchar_t*>(pix::kBankCode.Chars());
    const auto call = [&] {
        const wchar_t* answer = newPix(bankCode, nullptr, nullptr, nullptr, nullptr, nullptr,
                                       reinterpret_cast<const wchar_t*>(boleto.Chars()), 1, 44551);
        return answer ? std::wstring(answer) : std::wstring();
    };
    for (int i = 0; i < 5; ++i) REQUIRE(call() == expected);  // the heap settles
    const SIZE_T before = OwnPrivateBytes();
    if (before == 0) Skip("this system does not say how many private bytes the process holds");
    constexpr int kCalls = 100;
    for (int i = 0; i < kCalls; ++i)
        if (!CHECK(call() == expected)) break;
    const SIZE_T after = OwnPrivateBytes();
    const SIZE_T grown = after - std::min(before, after);
    const SIZE_T answerBytes = expected.size() * sizeof(wchar_t);
    Note(std::to_string(kCalls) + " answers of " + std::to_string(answerBytes) + " bytes: " + std::to_string(grown) +
         " private bytes more");
    CHECK(grown < 10 * answerBytes);
    FreeLibrary(library);
}
