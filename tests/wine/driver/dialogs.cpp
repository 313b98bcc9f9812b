// Message boxes of another process, and memory inside it.
#include "tests/wine/driver/driver.h"

namespace pixtest {

namespace {
constexpr int kMessageBoxText = 0xFFFF;  // the static control that holds a message box's text
}  // namespace

HWND FindMessageBox(const Process& process, HWND owner) {
    for (HWND window : TopLevelWindows(process.Id()))
        if (IsWindowVisible(window) && ClassName(window) == L"#32770" && GetWindow(window, GW_OWNER) == owner)
            return window;
    return nullptr;
}

HWND WaitForMessageBox(const Process& process, HWND owner, DWORD timeoutMs) {
    HWND box = nullptr;
    WaitUntil([&] { return (box = FindMessageBox(process, owner)) != nullptr || !process.Running(); }, timeoutMs);
    return box;
}

std::wstring MessageBoxText(HWND box) {
    const HWND text = FindDescendantById(box, kMessageBoxText);
    return text ? Text(text) : std::wstring(L"<no text control>");
}

std::vector<HWND> VisibleButtons(HWND box) {
    std::vector<HWND> buttons;
    for (HWND child : Descendants(box))
        if (ClassName(child) == L"Button" && IsWindowVisible(child)) buttons.push_back(child);
    return buttons;
}

void AnswerByEnter(HWND box) {
    REQUIRE(BringToFront(box));
    PressKey(VK_RETURN);
    REQUIRE(WaitUntil([&] { return !IsWindow(box); }, kReactTimeout));
}

RemoteBuffer::RemoteBuffer(HANDLE process, std::size_t size)
    : process_(process), size_(size),
      address_(VirtualAllocEx(process, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE)) {
    if (!address_) throw Abort{"VirtualAllocEx failed: " + std::to_string(GetLastError())};
}

RemoteBuffer::~RemoteBuffer() { VirtualFreeEx(process_, address_, 0, MEM_RELEASE); }

void RemoteBuffer::Write(const void* data, std::size_t size) {
    SIZE_T written = 0;
    if (size > size_ || !WriteProcessMemory(process_, address_, data, size, &written) || written != size)
        throw Abort{"WriteProcessMemory failed"};
}

void RemoteBuffer::Read(void* data, std::size_t size) const {
    SIZE_T read = 0;
    if (size > size_ || !ReadProcessMemory(process_, address_, data, size, &read) || read != size)
        throw Abort{"ReadProcessMemory failed"};
}

}  // namespace pixtest
