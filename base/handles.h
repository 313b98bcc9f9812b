// Move-only owners for Windows resources: each handle has exactly one owner
// that releases it, and copying one is a compile error, not a double free.
#pragma once

#include <windows.h>

#include <utility>

namespace pix {

template <class Traits>
class Unique {
public:
    using Handle = typename Traits::Handle;

    Unique() noexcept = default;
    explicit Unique(Handle handle) noexcept : handle_(handle) {}
    Unique(Unique&& other) noexcept : handle_(other.Release()) {}
    Unique& operator=(Unique&& other) noexcept {
        if (this != &other) Reset(other.Release());
        return *this;
    }
    Unique(const Unique&) = delete;
    Unique& operator=(const Unique&) = delete;
    ~Unique() { Reset(); }

    Handle Get() const noexcept { return handle_; }
    explicit operator bool() const noexcept { return handle_ != Handle{}; }

    Handle Release() noexcept { return std::exchange(handle_, Handle{}); }
    void Reset(Handle handle = Handle{}) noexcept {
        if (handle_ != Handle{}) Traits::Close(handle_);
        handle_ = handle;
    }

private:
    Handle handle_{};
};

// The traits of a handle type: its type and the one call that releases it.
template <class H, auto Release>
struct Closer {
    using Handle = H;
    static void Close(H handle) noexcept { Release(handle); }
};

using UniqueWindow = Unique<Closer<HWND, &DestroyWindow>>;
using UniqueFont = Unique<Closer<HFONT, &DeleteObject>>;
using UniqueBrush = Unique<Closer<HBRUSH, &DeleteObject>>;
using UniqueHook = Unique<Closer<HHOOK, &UnhookWindowsHookEx>>;
using UniqueLibrary = Unique<Closer<HMODULE, &FreeLibrary>>;
using UniqueKernelHandle = Unique<Closer<HANDLE, &CloseHandle>>;
using UniqueGlobal = Unique<Closer<HGLOBAL, &GlobalFree>>;

// A COM interface pointer: released once by its one owner.
template <class Interface>
struct ComReleaser {
    using Handle = Interface*;
    static void Close(Interface* pointer) noexcept { pointer->Release(); }
};
template <class Interface>
using UniqueCom = Unique<ComReleaser<Interface>>;

// Selects an object into a DC for one scope and puts the previous one back.
class SelectedObject {
public:
    SelectedObject(HDC dc, HGDIOBJ object) noexcept : dc_(dc), previous_(SelectObject(dc, object)) {}
    SelectedObject(const SelectedObject&) = delete;
    SelectedObject& operator=(const SelectedObject&) = delete;
    ~SelectedObject() { SelectObject(dc_, previous_); }

private:
    HDC dc_;
    HGDIOBJ previous_;
};

// An SRW lock held exclusively for one scope.
class ExclusiveLock {
public:
    explicit ExclusiveLock(SRWLOCK& lock) noexcept : lock_(lock) { AcquireSRWLockExclusive(&lock_); }
    ExclusiveLock(const ExclusiveLock&) = delete;
    ExclusiveLock& operator=(const ExclusiveLock&) = delete;
    ~ExclusiveLock() { ReleaseSRWLockExclusive(&lock_); }

private:
    SRWLOCK& lock_;
};

// Moveable local memory locked for one scope; Data() is null when it cannot
// be locked.
class LockedLocalMemory {
public:
    explicit LockedLocalMemory(HLOCAL memory) noexcept
        : memory_(memory), data_(memory ? LocalLock(memory) : nullptr) {}
    LockedLocalMemory(const LockedLocalMemory&) = delete;
    LockedLocalMemory& operator=(const LockedLocalMemory&) = delete;
    ~LockedLocalMemory() { if (data_) LocalUnlock(memory_); }
    const void* Data() const noexcept { return data_; }
    // In bytes; 0 when not locked.
    SIZE_T Size() const noexcept { return data_ ? LocalSize(memory_) : 0; }

private:
    HLOCAL memory_;
    void* data_;
};

// A window's DC for one scope, released to the window at its end: the DC of
// its client area (WindowDC) or of the whole window, frame included
// (WholeWindowDC).
template <HDC(WINAPI* Acquire)(HWND)>
class ReleasedDC {
public:
    explicit ReleasedDC(HWND window) noexcept : window_(window), dc_(Acquire(window)) {}
    ReleasedDC(const ReleasedDC&) = delete;
    ReleasedDC& operator=(const ReleasedDC&) = delete;
    ~ReleasedDC() {
        if (dc_) ReleaseDC(window_, dc_);
    }
    HDC Get() const noexcept { return dc_; }

private:
    HWND window_;
    HDC dc_;
};
using WindowDC = ReleasedDC<&GetDC>;
using WholeWindowDC = ReleasedDC<&GetWindowDC>;

// A DC's state (selected objects, clipping, colours, modes) for one scope:
// what is changed inside it is undone at its end.
class SavedDC {
public:
    explicit SavedDC(HDC dc) noexcept : dc_(dc), saved_(SaveDC(dc)) {}
    SavedDC(const SavedDC&) = delete;
    SavedDC& operator=(const SavedDC&) = delete;
    ~SavedDC() {
        if (saved_) RestoreDC(dc_, saved_);
    }

private:
    HDC dc_;
    int saved_;
};

}  // namespace pix
