// The bare press: what the edit control's own work of a press costs. One
// window as large as PixGen's, with a multi-line edit made like the result
// area (same styles, place, size and font) and a button "Gerar"; a click
// appends the same texts as a press of PixGen that succeeds: the answer and
// a line break, then one more line break, each by selecting the end and
// replacing the selection (not undoable), then the caret is scrolled into
// view. Nothing else: no fields are read, no library is called, no style
// draws.
//
// The answer comes from the file that PIX_BENCH_ANSWER names (UTF-16LE, read
// once at start); one line per press, "<total µs> 0 <characters in the area
// before the press> ok", goes to the file that PIX_BENCH_TIMINGS names, the
// format of the timed PixGen's lines.
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

constexpr int kMemoId = 1;
constexpr int kButtonId = 2;

HWND memo = nullptr;
std::wstring answerLine;  // the answer and its line break
HANDLE timings = INVALID_HANDLE_VALUE;

std::wstring Variable(const wchar_t* name) {
    wchar_t value[1024];
    const DWORD n = GetEnvironmentVariableW(name, value, 1024);
    return n > 0 && n < 1024 ? std::wstring(value, n) : std::wstring();
}

std::wstring ReadAnswer() {
    const HANDLE file = CreateFileW(Variable(L"PIX_BENCH_ANSWER").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return std::wstring();
    std::wstring text(GetFileSize(file, nullptr) / sizeof(wchar_t), L'\0');
    DWORD read = 0;
    ReadFile(file, text.data(), static_cast<DWORD>(text.size() * sizeof(wchar_t)), &read, nullptr);
    CloseHandle(file);
    text.resize(read / sizeof(wchar_t));
    return text;
}

void AppendAtTheEnd(const wchar_t* text) {
    const LRESULT end = GetWindowTextLengthW(memo);
    SendMessageW(memo, EM_SETSEL, static_cast<WPARAM>(end), end);
    SendMessageW(memo, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(text));
}

void Press() {
    const int before = GetWindowTextLengthW(memo);
    LARGE_INTEGER start, end, frequency;
    QueryPerformanceCounter(&start);
    AppendAtTheEnd(answerLine.c_str());
    AppendAtTheEnd(L"\r\n");
    SendMessageW(memo, EM_SCROLLCARET, 0, 0);
    QueryPerformanceCounter(&end);
    QueryPerformanceFrequency(&frequency);
    const double us = 1e6 * static_cast<double>(end.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
    char line[96];
    const int n = std::snprintf(line, sizeof line, "%.3f 0 %d ok\n", us, before);
    DWORD written = 0;
    if (timings != INVALID_HANDLE_VALUE && n > 0) WriteFile(timings, line, static_cast<DWORD>(n), &written, nullptr);
}

LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND:
            if (LOWORD(wParam) == kButtonId && HIWORD(wParam) == BN_CLICKED) {
                Press();
                return 0;
            }
            break;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        default:
            break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showState) {
    answerLine = ReadAnswer() + L"\r\n";
    timings = CreateFileW(Variable(L"PIX_BENCH_TIMINGS").c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                          OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = WindowProcedure;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = L"BarePress";
    if (!RegisterClassExW(&windowClass)) return 1;
    // PixGen's client area, to the right of where PixGen opens.
    const DWORD style = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
    RECT frame{0, 0, 635, 491};
    AdjustWindowRectEx(&frame, style, FALSE, 0);
    const HWND window = CreateWindowExW(0, L"BarePress", L"PIX (bare press)", style, 640, 0, frame.right - frame.left,
                                        frame.bottom - frame.top, nullptr, nullptr, instance, nullptr);
    if (!window) return 1;
    const DWORD child = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_TABSTOP;
    memo = CreateWindowExW(WS_EX_CLIENTEDGE, L"Edit", L"",
                           child | WS_VSCROLL | ES_LEFT | ES_MULTILINE | ES_WANTRETURN | ES_AUTOVSCROLL, 15, 244, 605,
                           197, window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kMemoId)), instance, nullptr);
    const HWND button = CreateWindowExW(0, L"Button", L"Gerar", child | BS_PUSHBUTTON, 15, 447, 605, 41, window,
                                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(kButtonId)), instance, nullptr);
    if (!memo || !button) return 1;
    SendMessageW(memo, EM_SETLIMITTEXT, 0, 0);
    LOGFONTW font{};
    font.lfHeight = -11;
    font.lfWeight = FW_NORMAL;
    font.lfCharSet = DEFAULT_CHARSET;
    lstrcpyW(font.lfFaceName, L"Tahoma");
    const HFONT tahoma = CreateFontIndirectW(&font);
    SendMessageW(memo, WM_SETFONT, reinterpret_cast<WPARAM>(tahoma), TRUE);
    SendMessageW(button, WM_SETFONT, reinterpret_cast<WPARAM>(tahoma), TRUE);
    ShowWindow(window, showState);
    UpdateWindow(window);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    DeleteObject(tahoma);
    if (timings != INVALID_HANDLE_VALUE) CloseHandle(timings);
    return static_cast<int>(message.wParam);
}
