// Looking at windows from outside: which exist, what they say, where they are.
#include "tests/wine/driver/driver.h"

#include <cstdio>

namespace pixtest {

std::wstring ClassName(HWND window) {
    wchar_t name[256];
    const int n = GetClassNameW(window, name, 256);
    return std::wstring(name, n > 0 ? static_cast<std::size_t>(n) : 0);
}

std::wstring Text(HWND window) {
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kReactTimeout, &length))
        return std::wstring();
    std::wstring text(length + 1, L'\0');
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                             SMTO_ABORTIFHUNG, kReactTimeout, &copied))
        return std::wstring();
    text.resize(copied);
    return text;
}

std::wstring StoredText(HWND window) {
    // Windows answers this for another process's window from its own copy.
    wchar_t text[1024];
    const int n = InternalGetWindowText(window, text, 1024);
    return std::wstring(text, n > 0 ? static_cast<std::size_t>(n) : 0);
}

DWORD Style(HWND window) { return static_cast<DWORD>(GetWindowLongPtrW(window, GWL_STYLE)); }
DWORD ExStyle(HWND window) { return static_cast<DWORD>(GetWindowLongPtrW(window, GWL_EXSTYLE)); }

DWORD ProcessOf(HWND window) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    return process;
}

DWORD ThreadOf(HWND window) { return GetWindowThreadProcessId(window, nullptr); }

RECT WindowRect(HWND window) {
    RECT rect{};
    GetWindowRect(window, &rect);
    return rect;
}

RECT ClientRect(HWND window) {
    RECT rect{};
    GetClientRect(window, &rect);
    return rect;
}

RECT ClientRectOnScreen(HWND window) {
    RECT rect = ClientRect(window);
    MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

POINT CenterOf(const RECT& rect) { return {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2}; }
int Width(const RECT& rect) { return rect.right - rect.left; }
int Height(const RECT& rect) { return rect.bottom - rect.top; }

namespace {

struct Collect {
    DWORD processId;
    std::vector<HWND> windows;
};

BOOL CALLBACK CollectOfProcess(HWND window, LPARAM data) {
    auto* collect = reinterpret_cast<Collect*>(data);
    if (ProcessOf(window) == collect->processId) collect->windows.push_back(window);
    return TRUE;
}

BOOL CALLBACK CollectAll(HWND window, LPARAM data) {
    reinterpret_cast<std::vector<HWND>*>(data)->push_back(window);
    return TRUE;
}

}  // namespace

std::vector<HWND> TopLevelWindows(DWORD processId) {
    Collect collect{processId, {}};
    EnumWindows(&CollectOfProcess, reinterpret_cast<LPARAM>(&collect));
    return collect.windows;
}

std::vector<HWND> ThreadWindows(DWORD threadId) {
    std::vector<HWND> windows;
    EnumThreadWindows(threadId, &CollectAll, reinterpret_cast<LPARAM>(&windows));
    return windows;
}

bool IsSystemWindow(HWND window) {
    // The input method windows that the system gives each GUI thread.
    const std::wstring name = ClassName(window);
    return name == L"IME" || name == L"MSCTFIME UI";
}

HMODULE ClassModule(HWND window) {
    return reinterpret_cast<HMODULE>(GetClassLongPtrW(window, GCLP_HMODULE));
}

std::string Describe(HWND window) {
    char head[200];
    std::snprintf(head, sizeof head, "%p style %08lX exstyle %08lX%s owner %p module %p class ",
                  static_cast<void*>(window), static_cast<unsigned long>(Style(window)),
                  static_cast<unsigned long>(ExStyle(window)), IsWindowVisible(window) ? " visible" : "",
                  static_cast<void*>(GetWindow(window, GW_OWNER)), static_cast<void*>(ClassModule(window)));
    return head + Show(ClassName(window)) + " text " + Show(StoredText(window)) + " " + Show(WindowRect(window));
}

std::string Describe(const std::vector<HWND>& windows) {
    if (windows.empty()) return " no windows";
    std::string text;
    for (HWND window : windows) text += "\n       " + Describe(window);
    return text;
}

HWND WaitForWindow(const Process& process, const std::wstring& caption, DWORD timeoutMs) {
    HWND found = nullptr;
    WaitUntil(
        [&] {
            for (HWND window : TopLevelWindows(process.Id()))
                if (IsWindowVisible(window) && StoredText(window) == caption) found = window;
            return found != nullptr || !process.Running();
        },
        timeoutMs);
    if (!found)
        Note("no visible window " + Show(caption) + " of process " + std::to_string(process.Id()) +
             (process.Running() ? " (still running)" : " (ended with " + Show(process.ExitCode()) + ")") +
             "; its windows: " + Describe(TopLevelWindows(process.Id())));
    return found;
}

HWND WaitForMainWindow(const Process& process, DWORD timeoutMs) {
    return WaitForWindow(process, L"PIX", timeoutMs);
}

HWND FindApplicationWindow(HWND mainWindow) {
    // Pop-ups that the main window owns are its own (a date picker's
    // calendar, say), not the application's.
    std::vector<HWND> candidates;
    for (HWND window : ThreadWindows(ThreadOf(mainWindow)))
        if (window != mainWindow && !IsSystemWindow(window) && GetWindow(window, GW_OWNER) != mainWindow)
            candidates.push_back(window);
    if (candidates.size() == 1) return candidates.front();
    Note("expected one application window besides the main window, found " + std::to_string(candidates.size()) +
         " among the thread's windows:" + Describe(ThreadWindows(ThreadOf(mainWindow))));
    return nullptr;
}

OwnWindow::OwnWindow(const std::wstring& caption, const RECT& where) {
    static const ATOM windowClass = [] {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        wc.hbrBackground = GetSysColorBrush(COLOR_WINDOW);
        wc.lpszClassName = L"PixTestWindow";
        return RegisterClassExW(&wc);
    }();
    window_ = CreateWindowExW(0, MAKEINTATOM(windowClass), caption.c_str(), WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                              where.left, where.top, Width(where), Height(where), nullptr, nullptr,
                              GetModuleHandleW(nullptr), nullptr);
    if (!window_) throw Abort{"cannot create the driver's window " + Show(caption)};
    Pause(50);
}

OwnWindow::~OwnWindow() {
    DestroyWindow(window_);
}

bool Responds(HWND window, DWORD timeoutMs) {
    DWORD_PTR result = 0;
    return SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, timeoutMs, &result) != 0;
}

std::vector<HWND> Children(HWND parent) {
    std::vector<HWND> children;
    for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        children.push_back(child);
    return children;
}

std::vector<HWND> Descendants(HWND parent) {
    std::vector<HWND> all;
    for (HWND child : Children(parent)) {
        all.push_back(child);
        for (HWND grandchild : Descendants(child)) all.push_back(grandchild);
    }
    return all;
}

HWND FindDescendant(HWND parent, const std::wstring& className, int index) {
    for (HWND window : Descendants(parent))
        if (ClassName(window) == className && index-- == 0) return window;
    return nullptr;
}

HWND FindDescendantById(HWND parent, int controlId) {
    for (HWND window : Descendants(parent))
        if (GetDlgCtrlID(window) == controlId) return window;
    return nullptr;
}

HWND FindDescendantByText(HWND parent, const std::wstring& text) {
    for (HWND window : Descendants(parent))
        if (StoredText(window) == text) return window;
    return nullptr;
}

GlobalHook::GlobalHook(const std::wstring& library, int kind, const char* procedure) {
    library_ = LoadLibraryW(library.c_str());
    REQUIRE(library_ != nullptr);
    const auto proc = reinterpret_cast<HOOKPROC>(reinterpret_cast<void (*)()>(GetProcAddress(library_, procedure)));
    REQUIRE(proc != nullptr);
    hook_ = SetWindowsHookExW(kind, proc, library_, 0);
    REQUIRE(hook_ != nullptr);
}

GlobalHook::~GlobalHook() {
    if (hook_) UnhookWindowsHookEx(hook_);
    if (library_) FreeLibrary(library_);
}

}  // namespace pixtest
