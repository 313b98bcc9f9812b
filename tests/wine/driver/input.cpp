// A person's keyboard and mouse, through the system's input queue.
#include "tests/wine/driver/driver.h"

#include <cstring>

namespace pixtest {

namespace {

// Keys whose scan code carries the E0 prefix on a real keyboard: without
// the extended flag an arrow key would arrive as the number pad's.
bool IsExtendedKey(WORD key) {
    switch (key) {
        case VK_LEFT: case VK_RIGHT: case VK_UP: case VK_DOWN:
        case VK_HOME: case VK_END: case VK_PRIOR: case VK_NEXT:
        case VK_INSERT: case VK_DELETE: case VK_RCONTROL: case VK_RMENU:
        case VK_DIVIDE: case VK_NUMLOCK: case VK_APPS: case VK_LWIN: case VK_RWIN:
            return true;
        default:
            return false;
    }
}

INPUT KeyInput(WORD key, bool up) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = key;
    input.ki.wScan = static_cast<WORD>(MapVirtualKeyW(key, MAPVK_VK_TO_VSC));
    input.ki.dwFlags = (up ? KEYEVENTF_KEYUP : 0) | (IsExtendedKey(key) ? KEYEVENTF_EXTENDEDKEY : 0);
    return input;
}

void Send(std::vector<INPUT> inputs) {
    const UINT sent = SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
    if (sent != inputs.size())
        throw Abort{"SendInput delivered " + std::to_string(sent) + " of " + std::to_string(inputs.size()) +
                    " events (error " + std::to_string(GetLastError()) + ")"};
    // Let the system hand the events to the foreground thread before the
    // next ones come, as a person's typing would.
    Pause(15);
}

const struct {
    Modifier modifier;
    WORD key;
} kModifierKeys[] = {{kControl, VK_CONTROL}, {kAlt, VK_MENU}, {kShift, VK_SHIFT}};

// Absolute mouse coordinates run from 0 to 65535 over the primary screen;
// rounding up lands on the pixel itself whichever way it is scaled back.
LONG Normalized(int value, int size) {
    return static_cast<LONG>((static_cast<long long>(value) * 65536 + size - 1) / size);
}

INPUT MouseInput(DWORD flags, POINT screen) {
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dx = Normalized(screen.x, GetSystemMetrics(SM_CXSCREEN));
    input.mi.dy = Normalized(screen.y, GetSystemMetrics(SM_CYSCREEN));
    input.mi.dwFlags = flags | MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_MOVE;
    return input;
}

}  // namespace

bool BringToFront(HWND window, DWORD timeoutMs) {
    return WaitUntil(
        [window] {
            if (GetForegroundWindow() == window) return true;
            SetForegroundWindow(window);
            return false;
        },
        timeoutMs, 20);
}

void KeyDown(WORD virtualKey) { Send({KeyInput(virtualKey, false)}); }
void KeyUp(WORD virtualKey) { Send({KeyInput(virtualKey, true)}); }

void PressKey(WORD virtualKey, unsigned modifiers) {
    std::vector<INPUT> inputs;
    for (const auto& m : kModifierKeys)
        if (modifiers & m.modifier) inputs.push_back(KeyInput(m.key, false));
    inputs.push_back(KeyInput(virtualKey, false));
    inputs.push_back(KeyInput(virtualKey, true));
    for (auto m = std::rbegin(kModifierKeys); m != std::rend(kModifierKeys); ++m)
        if (modifiers & m->modifier) inputs.push_back(KeyInput(m->key, true));
    Send(inputs);
}

void TypeText(const std::wstring& text) {
    for (wchar_t unit : text) {
        INPUT down{};
        down.type = INPUT_KEYBOARD;
        down.ki.wScan = unit;
        down.ki.dwFlags = KEYEVENTF_UNICODE;
        INPUT up = down;
        up.ki.dwFlags |= KEYEVENTF_KEYUP;
        Send({down, up});
    }
}

void MoveMouse(POINT screen) {
    Send({MouseInput(0, screen)});
}

void Click(POINT screen, bool right) {
    MoveMouse(screen);
    Send({MouseInput(right ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_LEFTDOWN, screen),
          MouseInput(right ? MOUSEEVENTF_RIGHTUP : MOUSEEVENTF_LEFTUP, screen)});
}

void DoubleClick(POINT screen) {
    MoveMouse(screen);
    const INPUT down = MouseInput(MOUSEEVENTF_LEFTDOWN, screen);
    const INPUT up = MouseInput(MOUSEEVENTF_LEFTUP, screen);
    Send({down, up, down, up});
}

void MouseDown(POINT screen) { Send({MouseInput(MOUSEEVENTF_LEFTDOWN, screen)}); }
void MouseUp(POINT screen) { Send({MouseInput(MOUSEEVENTF_LEFTUP, screen)}); }

void PlaceOnClipboard(HWND owner, const std::wstring& text) {
    REQUIRE(OpenClipboard(owner));
    EmptyClipboard();
    const HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(wchar_t));
    bool placed = false;
    if (memory) {
        void* const target = GlobalLock(memory);
        std::memcpy(target, text.c_str(), (text.size() + 1) * sizeof(wchar_t));
        GlobalUnlock(memory);
        placed = SetClipboardData(CF_UNICODETEXT, memory) != nullptr;
        if (!placed) GlobalFree(memory);
    }
    CloseClipboard();
    REQUIRE(placed);
}

}  // namespace pixtest
