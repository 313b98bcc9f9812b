// The QR Code of a PIX code, as a person gets it: PixGen with the bank 001
// Quelvano.dll and the mock bank behind it, Gerar pressed, the QR window
// opened from the result area's shortcut menu or with Ctrl+Q, and what it
// shows, copies and saves. Every picture the QR Code leaves (a screenshot of
// the window, the bitmap on the clipboard, the PNG file) is written to the
// case's folder beside the text it must hold (NAME.bmp or NAME.png and
// NAME.expected), and an independent decoder reads each after the run
// (decode_qr.sh).
#include "tests/wine/driver/driver.h"

#include <cstring>
#include <string>
#include <vector>

#include "bank001/tests/wine/pixgen_with_bank.h"
#include "form/core/control_ids.h"
#include "qr/core/qr_symbol.h"
#include "win/dpi.h"

using namespace pixtest;
using namespace bank001::testing;
namespace ids = pix::ids;

namespace {

constexpr wchar_t kCaption[] = L"QR Code do Pix";
constexpr COLORREF kBlack = RGB(0, 0, 0), kWhite = RGB(255, 255, 255);
constexpr COLORREF kMenuDisabledText = RGB(128, 128, 128);

// A second code for the same charge: another location, so other modules.
const std::string kOtherEmv = [] {
    std::vector<Field> fields = BankFields("123.45");
    fields[2].value = TlvText("00", "br.gov.bcb.pix") + TlvText("25", "qrcodepix-h.bb.com.br/pix/v2/cobv/0f1e2d3c");
    return BrCode(fields);
}();

// --- PixGen with the bank library ------------------------------------------------

// A click on Gerar; the result area once the answer is in it.
void PressGerar(const RecordedPixGen& pix, const std::string& emv) {
    const HWND memo = pix.Control(ids::Memo1);
    REQUIRE(BringToFront(pix.main));
    Click(CenterOf(WindowRect(pix.Control(ids::Button2))));
    const std::wstring code = Wide(emv);
    std::size_t count = 0;
    REQUIRE(WaitUntil([&] {
        const std::wstring text = Text(memo);
        count = 0;
        for (std::size_t at = text.find(code); at != std::wstring::npos; at = text.find(code, at + 1)) ++count;
        return count > 0 || FindMessageBox(pix.process, pix.main);
    }, 30000));
    REQUIRE(FindMessageBox(pix.process, pix.main) == nullptr);
}

// PixGen, the mock's answers scripted, Gerar pressed: the code is in the result area.
RecordedPixGen PixGenWithCode(const std::wstring& folder, MockBank& mock) {
    mock.Script({TokenAnswer(), PixAnswer(), PixAnswer(kOtherEmv)});
    RecordedPixGen pix = StartWithBank001(folder);
    Fill(pix);
    PressGerar(pix, kEmv);
    return pix;
}

// --- the result area --------------------------------------------------------------

// The selection of the result area (below 65,536 characters).
std::pair<std::size_t, std::size_t> Selection(HWND memo) {
    DWORD_PTR selection = 0;
    SendMessageTimeoutW(memo, EM_GETSEL, 0, 0, SMTO_ABORTIFHUNG, kReactTimeout, &selection);
    return {LOWORD(selection), HIWORD(selection)};
}

// Where a character of the result area is on the screen, a little inside it.
POINT PointOfCharacter(HWND memo, std::size_t index) {
    DWORD_PTR position = 0;
    REQUIRE(SendMessageTimeoutW(memo, EM_POSFROMCHAR, index, 0, SMTO_ABORTIFHUNG, kReactTimeout, &position));
    POINT p{static_cast<short>(LOWORD(position)) + 2, static_cast<short>(HIWORD(position)) + 4};
    ClientToScreen(memo, &p);
    return p;
}

// The caret put into a line by a click on one of its characters.
POINT ClickIntoText(const RecordedPixGen& pix, const std::wstring& text, std::size_t offset = 3) {
    const HWND memo = pix.Control(ids::Memo1);
    const std::size_t at = Text(memo).rfind(text);
    REQUIRE(at != std::wstring::npos);
    REQUIRE(BringToFront(pix.main));
    const POINT p = PointOfCharacter(memo, at + offset);
    Click(p);
    REQUIRE(WaitUntil([&] { return Selection(memo) == std::make_pair(at + offset, at + offset); }, kReactTimeout));
    return p;
}

// The caret put into a line by the program's own means, where a click cannot
// reach it (the QR window in front of it).
void SetCaretInto(const RecordedPixGen& pix, const std::wstring& text, std::size_t offset = 3) {
    const HWND memo = pix.Control(ids::Memo1);
    const std::size_t at = Text(memo).rfind(text) + offset;
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(memo, EM_SETSEL, at, at, SMTO_ABORTIFHUNG, kReactTimeout, &ignored);
    REQUIRE(Selection(memo) == std::make_pair(at, at));
}

// The visible pop-up menu of PixGen's thread, as soon as there is one.
HWND WaitForMenu(const RecordedPixGen& pix) {
    HWND menu = nullptr;
    WaitUntil([&] {
        for (HWND w : ThreadWindows(pix.process.ThreadId()))
            if (ClassName(w) == L"#32768" && IsWindowVisible(w)) menu = w;
        return menu != nullptr;
    }, kReactTimeout);
    return menu;
}

// A right click at p: the result area's shortcut menu.
HWND OpenShortcutMenu(const RecordedPixGen& pix, POINT p) {
    Click(p, true);
    const HWND menu = WaitForMenu(pix);
    REQUIRE(menu != nullptr);
    Pause(200);
    return menu;
}

// The item at the foot of the menu: "QR Code do Pix".
POINT LastItem(HWND menu) {
    const RECT m = WindowRect(menu);
    return {(m.left + m.right) / 2, m.bottom - 8};
}

// The pointer moved there, waiting until it stays.
void PointAt(POINT p) {
    for (int attempt = 0; attempt < 10; ++attempt) {
        MoveMouse(p);
        Pause(100);
        POINT now{};
        GetCursorPos(&now);
        if (now.x == p.x && now.y == p.y) return;
    }
    Note("the pointer does not stay at " + Show(p));
}

bool HasColor(const Screenshot& shot, const RECT& area, COLORREF color) {
    for (int y = area.top; y < area.bottom; ++y)
        for (int x = area.left; x < area.right; ++x)
            if (shot.At(x, y) == color) return true;
    return false;
}

// --- the QR window ----------------------------------------------------------------

struct QrWindow {
    HWND window = nullptr;
    HWND text = nullptr;
    HWND message = nullptr;
    HWND copyCode = nullptr, copyImage = nullptr, savePng = nullptr;
};

QrWindow FindQrWindow(const RecordedPixGen& pix) {
    QrWindow qr;
    qr.window = WaitForWindow(pix.process, kCaption, kReactTimeout);
    REQUIRE(qr.window != nullptr);
    REQUIRE(Responds(qr.window));
    qr.text = FindDescendant(qr.window, L"Edit");
    qr.message = FindDescendant(qr.window, L"Static");
    qr.copyCode = FindDescendantByText(qr.window, L"Copiar c\u00f3digo");
    qr.copyImage = FindDescendantByText(qr.window, L"Copiar imagem");
    qr.savePng = FindDescendantByText(qr.window, L"Salvar PNG\u2026");
    REQUIRE(qr.text && qr.message && qr.copyCode && qr.copyImage && qr.savePng);
    // Painted: the white of the picture or of the text box shows, and the
    // paint of what was asked last has had its turn.
    const RECT client = ClientRectOnScreen(qr.window);
    CHECK(WaitUntil([&] { return HasColor(Screenshot::Capture(client), client, kWhite); }, kReactTimeout));
    REQUIRE(Responds(qr.window));
    Pause(300);
    return qr;
}

// A picture the decoder reads after the run, and the text it must hold.
void ExpectDecoded(const std::wstring& name, const std::string& code) {
    WriteFileBytes(Scratch(name + L".expected"), code);
}

// The window as it is on the screen, for the decoder.
void CaptureForDecoder(const QrWindow& qr, const std::wstring& name, const std::string& code) {
    REQUIRE(Screenshot::Capture(WindowRect(qr.window)).Save(Scratch(name + L".bmp")));
    ExpectDecoded(name, code);
}

// Pixels per module of the QR Code on the screen, read from the top edge of
// its top-left finder pattern (seven modules of black): the first black run
// of the client area. Checks that the run is a whole number of pixels per
// module and that the quiet zone around it is white, four modules deep.
int MeasuredModule(const QrWindow& qr) {
    const RECT client = ClientRectOnScreen(qr.window);
    const Screenshot shot = Screenshot::Capture(client);
    for (int y = client.top; y < client.bottom; ++y) {
        for (int x = client.left; x < client.right; ++x) {
            if (shot.At(x, y) != kBlack) continue;
            int run = 0;
            while (x + run < client.right && shot.At(x + run, y) == kBlack) ++run;
            CHECK_EQ(run % 7, 0);
            const int module = run / 7;
            const int quiet = 4 * module;
            if (!CHECK(x - quiet >= client.left && y - quiet >= client.top)) return module;
            int white = 0;
            for (int i = 1; i <= quiet; ++i) white += (shot.At(x - i, y) == kWhite) + (shot.At(x, y - i) == kWhite);
            CHECK_EQ(white, 2 * quiet);
            return module;
        }
    }
    Fail("no black module in the QR window");
}

int ExpectedModule(const std::string& code, int dpi) {
    const pix::Result<pix::qr::QrSymbol> symbol = pix::qr::EncodeQrCode(code);
    REQUIRE(symbol.Ok());
    return pix::qr::ModulePixels(symbol.value.Span(), dpi);
}

void CloseByEscape(const QrWindow& qr) {
    REQUIRE(BringToFront(qr.window));
    PressKey(VK_ESCAPE);
    CHECK(WaitUntil([&] { return !IsWindowVisible(qr.window); }, kReactTimeout));
    CHECK(IsWindow(qr.window));
}

// The QR window opened with Ctrl+Q on the line that holds text.
QrWindow OpenByCtrlQ(const RecordedPixGen& pix, const std::wstring& text) {
    ClickIntoText(pix, text);
    PressKey('Q', kControl);
    return FindQrWindow(pix);
}

// --- the clipboard --------------------------------------------------------------

class OpenedClipboard {
public:
    OpenedClipboard() {
        REQUIRE(WaitUntil([] { return OpenClipboard(nullptr) != FALSE; }, kReactTimeout));
    }
    ~OpenedClipboard() { CloseClipboard(); }
    OpenedClipboard(const OpenedClipboard&) = delete;
    OpenedClipboard& operator=(const OpenedClipboard&) = delete;

    std::string Bytes(UINT format) const {
        const HANDLE data = GetClipboardData(format);
        if (!data) return {};
        const void* pointer = GlobalLock(data);
        if (!pointer) return {};
        std::string bytes(static_cast<const char*>(pointer), GlobalSize(data));
        GlobalUnlock(data);
        return bytes;
    }
};

void EmptyTheClipboard() {
    REQUIRE(WaitUntil([] { return OpenClipboard(nullptr) != FALSE; }, kReactTimeout));
    EmptyClipboard();
    CloseClipboard();
}

std::wstring ClipboardText() {
    const OpenedClipboard clipboard;
    const std::string bytes = clipboard.Bytes(CF_UNICODETEXT);
    std::wstring text(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / sizeof(wchar_t));
    return text.substr(0, text.find(L'\0'));
}

// The bitmap on the clipboard, as a BMP file.
std::string ClipboardBitmapFile() {
    const OpenedClipboard clipboard;
    const std::string dib = clipboard.Bytes(CF_DIB);
    if (dib.size() < sizeof(BITMAPINFOHEADER)) return {};
    BITMAPINFOHEADER header{};
    std::memcpy(&header, dib.data(), sizeof header);
    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + header.biSize + (header.biCompression == BI_BITFIELDS ? 12 : 0);
    file.bfSize = static_cast<DWORD>(sizeof file + dib.size());
    return std::string(reinterpret_cast<const char*>(&file), sizeof file) + dib;
}

// --- the save dialog ---------------------------------------------------------------

HWND WaitForSaveDialog(const RecordedPixGen& pix) {
    HWND dialog = nullptr;
    WaitUntil([&] {
        for (HWND w : TopLevelWindows(pix.process.Id()))
            if (IsWindowVisible(w) && ClassName(w) == L"#32770" && Text(w) == L"Salvar PNG") dialog = w;
        return dialog != nullptr;
    }, kReactTimeout);
    return dialog;
}

std::vector<std::wstring> FilesIn(const std::wstring& folder) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found{};
    const HANDLE search = FindFirstFileW(JoinPath(folder, L"*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        const std::wstring name = found.cFileName;
        if (name != L"." && name != L"..") names.push_back(name);
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return names;
}

}  // namespace

// The shortcut menu of the line that holds the code: the item at its foot,
// enabled and drawn like the others, opens the QR window, whose picture
// the decoder reads as exactly the code; Esc closes the window.
PIX_TEST(MenuItemShowsTheCode) {
    MockBank mock;
    RecordedPixGen pix = PixGenWithCode(L"menu", mock);
    const POINT inCode = ClickIntoText(pix, Wide(kEmv));
    const HWND menu = OpenShortcutMenu(pix, inCode);
    const POINT item = LastItem(menu);
    const RECT itemRow{WindowRect(menu).left + 2, item.y - 5, WindowRect(menu).right - 2, item.y + 5};
    CHECK(HasColor(Screenshot::Capture(itemRow), itemRow, kBlack));
    CHECK(!HasColor(Screenshot::Capture(itemRow), itemRow, kMenuDisabledText));
    PointAt(item);
    Click(item);
    CHECK(WaitUntil([&] { return !IsWindowVisible(menu); }, kReactTimeout));
    const QrWindow qr = FindQrWindow(pix);
    CHECK(GetWindow(qr.window, GW_OWNER) == pix.main);
    CHECK_EQ(Text(qr.text), Wide(kEmv));
    CHECK(!IsWindowVisible(qr.message));
    CHECK(IsWindowEnabled(qr.copyImage) && IsWindowEnabled(qr.savePng));
    CHECK_EQ(MeasuredModule(qr), ExpectedModule(kEmv, 96));
    CaptureForDecoder(qr, L"menu-96", kEmv);
    CloseByEscape(qr);
    // Nothing opens by itself: a click elsewhere in the area opens nothing.
    Click(PointOfCharacter(pix.Control(ids::Memo1), 0));
    Pause(300);
    CHECK(!IsWindowVisible(qr.window));
    Close(pix);
}

// Ctrl+Q does what the item does; the next code shows in the same window.
PIX_TEST(CtrlQShowsTheCodeInTheSameWindow) {
    MockBank mock;
    RecordedPixGen pix = PixGenWithCode(L"ctrl-q", mock);
    const QrWindow first = OpenByCtrlQ(pix, Wide(kEmv));
    CHECK_EQ(Text(first.text), Wide(kEmv));
    CaptureForDecoder(first, L"ctrl-q-first", kEmv);
    CloseByEscape(first);
    PressGerar(pix, kOtherEmv);
    const QrWindow second = OpenByCtrlQ(pix, Wide(kOtherEmv));
    CHECK(second.window == first.window);
    CHECK_EQ(Text(second.text), Wide(kOtherEmv));
    CaptureForDecoder(second, L"ctrl-q-second", kOtherEmv);
    // Opened again while it shows, it shows the first code again.
    REQUIRE(BringToFront(pix.main));
    SetCaretInto(pix, Wide(kEmv));
    PressKey('Q', kControl);
    const QrWindow again = FindQrWindow(pix);
    CHECK(WaitUntil([&] { return Text(again.text) == Wide(kEmv); }, kReactTimeout));
    CHECK(again.window == first.window);
    CHECK_EQ(Text(again.text), Wide(kEmv));
    CaptureForDecoder(again, L"ctrl-q-again", kEmv);
    Close(pix);
}

// Chosen with the keyboard (the item is the last one: Up from the top lands
// on it), the item opens the window too; Esc or a click outside the menu,
// with the item highlighted, open nothing.
PIX_TEST(KeyboardChoiceAndWaysOut) {
    MockBank mock;
    RecordedPixGen pix = PixGenWithCode(L"keyboard", mock);
    const POINT inCode = ClickIntoText(pix, Wide(kEmv));
    HWND menu = OpenShortcutMenu(pix, inCode);
    PointAt(LastItem(menu));
    PressKey(VK_ESCAPE);
    CHECK(WaitUntil([&] { return !IsWindowVisible(menu); }, kReactTimeout));
    CHECK(WaitForWindow(pix.process, kCaption, 1000) == nullptr);
    menu = OpenShortcutMenu(pix, inCode);
    PointAt(LastItem(menu));
    // On a label, where a click does nothing of its own.
    Click(CenterOf(WindowRect(pix.Control(ids::Label1))));
    CHECK(WaitUntil([&] { return !IsWindowVisible(menu); }, kReactTimeout));
    CHECK(WaitForWindow(pix.process, kCaption, 1000) == nullptr);
    menu = OpenShortcutMenu(pix, inCode);
    // Away from the menu, so that the pointer highlights nothing.
    PointAt({WindowRect(menu).right + 40, WindowRect(menu).bottom + 40});
    PressKey(VK_UP);
    PressKey(VK_RETURN);
    CHECK(WaitUntil([&] { return !IsWindowVisible(menu); }, kReactTimeout));
    const QrWindow qr = FindQrWindow(pix);
    CHECK_EQ(Text(qr.text), Wide(kEmv));
    CaptureForDecoder(qr, L"keyboard", kEmv);
    Close(pix);
}

// A change of DPI reported to the window (Wine sends none of its own): the
// modules take their size at the new DPI, everything still fits the window.
PIX_TEST(FollowsDpiChanges) {
    MockBank mock;
    RecordedPixGen pix = PixGenWithCode(L"dpi-change", mock);
    const QrWindow qr = OpenByCtrlQ(pix, Wide(kEmv));
    for (const int dpi : {144, 96}) {
        Context context("to " + std::to_string(dpi) + " DPI");
        const RECT proposed = WindowRect(qr.window);
        RemoteBuffer rect(pix.process.Handle(), sizeof(RECT));
        rect.Write(&proposed, sizeof proposed);
        DWORD_PTR ignored = 0;
        REQUIRE(SendMessageTimeoutW(qr.window, pix::kWmDpiChanged, MAKEWPARAM(dpi, dpi), rect.Address(),
                                    SMTO_ABORTIFHUNG, kReactTimeout, &ignored));
        REQUIRE(Responds(qr.window));
        REQUIRE(Responds(qr.window));
        Pause(300);
        CHECK_EQ(MeasuredModule(qr), ExpectedModule(kEmv, dpi));
        const RECT client = ClientRectOnScreen(qr.window);
        for (const HWND control : {qr.text, qr.copyCode, qr.copyImage, qr.savePng}) {
            const RECT r = WindowRect(control);
            CHECK(r.left >= client.left && r.right <= client.right && r.top >= client.top && r.bottom <= client.bottom);
        }
        CaptureForDecoder(qr, L"dpi-change-" + std::to_wstring(dpi), kEmv);
    }
    Close(pix);
}

// At 144 DPI every module is still a whole number of pixels: half as many
// again as at 96 DPI.
PIX_TEST(CrispAt144Dpi) {
    const LogPixels pixels(144);
    MockBank mock;
    RecordedPixGen pix = PixGenWithCode(L"dpi-144", mock);
    const QrWindow qr = OpenByCtrlQ(pix, Wide(kEmv));
    const int module = MeasuredModule(qr);
    CHECK_EQ(module, ExpectedModule(kEmv, 144));
    CHECK_EQ(module * 2, ExpectedModule(kEmv, 96) * 3);
    CaptureForDecoder(qr, L"dpi-144", kEmv);
    Close(pix);
}

// "Copiar código" puts the code on the clipboard, "Copiar imagem" the QR
// Code as a bitmap the decoder reads as the code.
PIX_TEST(CopiesCodeAndImage) {
    MockBank mock;
    RecordedPixGen pix = PixGenWithCode(L"copy", mock);
    const QrWindow qr = OpenByCtrlQ(pix, Wide(kEmv));
    EmptyTheClipboard();
    Click(CenterOf(WindowRect(qr.copyCode)));
    CHECK(WaitUntil([] { return ClipboardText() == Wide(kEmv); }, kReactTimeout));
    CHECK_EQ(ClipboardText(), Wide(kEmv));
    Click(CenterOf(WindowRect(qr.copyImage)));
    CHECK(WaitUntil([] { return IsClipboardFormatAvailable(CF_DIB) != FALSE; }, kReactTimeout));
    const std::string bitmap = ClipboardBitmapFile();
    REQUIRE(!bitmap.empty());
    WriteFileBytes(Scratch(L"clipboard.bmp"), bitmap);
    ExpectDecoded(L"clipboard", kEmv);
    Close(pix);
}

// "Salvar PNG…" asks where, and writes there and nowhere else a PNG file
// the decoder reads as the code.
PIX_TEST(SavesPngWhereAsked) {
    MockBank mock;
    RecordedPixGen pix = PixGenWithCode(L"png", mock);
    const std::wstring program = FolderOf(pix.record);
    const std::vector<std::wstring> before = FilesIn(program);
    const std::wstring chosen = Scratch(L"chosen");
    REQUIRE(CreateDirectoryW(chosen.c_str(), nullptr));
    const QrWindow qr = OpenByCtrlQ(pix, Wide(kEmv));
    Click(CenterOf(WindowRect(qr.savePng)));
    const HWND dialog = WaitForSaveDialog(pix);
    REQUIRE(dialog != nullptr);
    HWND name = nullptr;
    for (HWND edit : Descendants(dialog))
        if (ClassName(edit) == L"Edit" && IsWindowVisible(edit) && Text(edit) == L"qrcode-pix.png") name = edit;
    REQUIRE(name != nullptr);
    const std::wstring path = JoinPath(chosen, L"Pix do boleto.png");
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()), SMTO_ABORTIFHUNG, kReactTimeout,
                        &ignored);
    REQUIRE(BringToFront(dialog));
    PressKey(VK_RETURN);
    REQUIRE(WaitUntil([&] { return !IsWindow(dialog) || !IsWindowVisible(dialog); }, kReactTimeout));
    REQUIRE(WaitUntil([&] { return FileExists(path); }, kReactTimeout));
    CHECK(Responds(qr.window));
    CHECK_EQ(FilesIn(chosen).size(), std::size_t{1});
    CHECK_EQ(ReadFileBytes(path).substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));
    ExpectDecoded(JoinPath(L"chosen", L"Pix do boleto"), kEmv);
    CHECK_EQ(FilesIn(program).size(), before.size());
    Close(pix);
}

// On a line that is not a code the item is there but disabled, and neither
// it nor Ctrl+Q opens anything; the platform's own items still work: Copy
// copies the selection and Select All selects everything.
PIX_TEST(OtherLinesAndThePlatformsItems) {
    MockBank mock;
    RecordedPixGen pix = PixGenWithCode(L"other-lines", mock);
    const HWND memo = pix.Control(ids::Memo1);
    const POINT inTxId = ClickIntoText(pix, L"TxId: ");
    PressKey('Q', kControl);
    CHECK(WaitForWindow(pix.process, kCaption, 1000) == nullptr);
    HWND menu = OpenShortcutMenu(pix, inTxId);
    const POINT item = LastItem(menu);
    const RECT itemRow{WindowRect(menu).left + 2, item.y - 5, WindowRect(menu).right - 2, item.y + 5};
    CHECK(HasColor(Screenshot::Capture(itemRow), itemRow, kMenuDisabledText));
    CHECK(!HasColor(Screenshot::Capture(itemRow), itemRow, kBlack));
    PointAt(item);
    Click(item);
    Pause(500);
    if (IsWindowVisible(menu)) PressKey(VK_ESCAPE);
    CHECK(WaitUntil([&] { return !IsWindowVisible(menu); }, kReactTimeout));
    CHECK(WaitForWindow(pix.process, kCaption, 1000) == nullptr);

    // Copy: the code selected by the program's own means, the third item down.
    const std::wstring text = Text(memo);
    const std::size_t at = text.find(Wide(kEmv));
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(memo, EM_SETSEL, at, at + Wide(kEmv).size(), SMTO_ABORTIFHUNG, kReactTimeout, &ignored);
    EmptyTheClipboard();
    menu = OpenShortcutMenu(pix, PointOfCharacter(memo, at + 3));
    for (int i = 0; i < 3; ++i) PressKey(VK_DOWN);
    PressKey(VK_RETURN);
    CHECK(WaitUntil([&] { return !IsWindowVisible(menu); }, kReactTimeout));
    CHECK(WaitUntil([] { return ClipboardText() == Wide(kEmv); }, kReactTimeout));
    CHECK(WaitForWindow(pix.process, kCaption, 500) == nullptr);
    // Select All: the item above the separator and "QR Code do Pix".
    menu = OpenShortcutMenu(pix, PointOfCharacter(memo, at + 3));
    PressKey(VK_UP);
    PressKey(VK_UP);
    PressKey(VK_RETURN);
    CHECK(WaitUntil([&] { return !IsWindowVisible(menu); }, kReactTimeout));
    CHECK(WaitUntil([&] {
        DWORD_PTR selection = 0;
        SendMessageTimeoutW(memo, EM_GETSEL, 0, 0, SMTO_ABORTIFHUNG, kReactTimeout, &selection);
        return LOWORD(selection) == 0 && HIWORD(selection) == Text(memo).size();
    }, kReactTimeout));
    CHECK(WaitForWindow(pix.process, kCaption, 500) == nullptr);
    Close(pix);
}

// A code too long for any QR Code at level M still opens the window, with
// the reason in place of the picture and nothing to copy as an image.
PIX_TEST(TooLongForAQrCode) {
    std::vector<Field> fields = BankFields("123.45");
    for (int i = 0; i < 26; ++i) fields.push_back({"99", std::string(99, 'A')});
    const std::string longCode = BrCode(fields);
    REQUIRE(longCode.size() > pix::qr::kMaxBytes);
    RecordedPixGen pix = StartRecorded(L"too-long");
    const HWND memo = pix.Control(ids::Memo1);
    const std::wstring text = L"Pix copia e cola:\r\n" + Wide(longCode) + L"\r\n";
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(memo, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), SMTO_ABORTIFHUNG, kReactTimeout,
                        &ignored);
    const QrWindow qr = OpenByCtrlQ(pix, Wide(longCode.substr(0, 40)));
    CHECK(IsWindowVisible(qr.message));
    CHECK_EQ(Text(qr.message), L"O c\u00f3digo tem " + std::to_wstring(longCode.size()) +
                                   L" bytes: mais do que cabe num QR Code com corre\u00e7\u00e3o de erros de "
                                   L"n\u00edvel M (at\u00e9 2331 bytes).");
    CHECK_EQ(Text(qr.text), Wide(longCode));
    CHECK(IsWindowEnabled(qr.copyCode));
    CHECK(!IsWindowEnabled(qr.copyImage));
    CHECK(!IsWindowEnabled(qr.savePng));
    CHECK(FindMessageBox(pix.process, pix.main) == nullptr);
    CHECK(FindMessageBox(pix.process, qr.window) == nullptr);
    CloseByEscape(qr);
    Close(pix);
}
