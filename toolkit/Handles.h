#pragma once
// Owning wrappers for Win32 handles: each handle is released exactly once, by
// its owner's destructor, whatever path the code takes.
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include <utility>

namespace zelko {

// Move-only owner of one handle; Traits says what "none" is and how to free it.
template <typename Traits>
class UniqueHandle {
public:
    using Handle = typename Traits::Handle;

    UniqueHandle() noexcept = default;
    explicit UniqueHandle(Handle handle) noexcept : handle_(handle) {}
    ~UniqueHandle() { Reset(); }

    UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.Release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) Reset(other.Release());
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;

    Handle Get() const noexcept { return handle_; }
    explicit operator bool() const noexcept { return handle_ != Traits::Invalid(); }

    // Gives up ownership without freeing.
    Handle Release() noexcept { return std::exchange(handle_, Traits::Invalid()); }

    void Reset(Handle handle = Traits::Invalid()) noexcept {
        Handle old = std::exchange(handle_, handle);
        if (old != Traits::Invalid()) Traits::Free(old);
    }

private:
    Handle handle_ = Traits::Invalid();
};

namespace handle_traits {

template <typename H, auto FreeFunction>
struct Simple {
    using Handle = H;
    static Handle Invalid() noexcept { return nullptr; }
    static void Free(Handle h) noexcept { FreeFunction(h); }
};

struct CoTaskMemory {
    using Handle = void*;
    static Handle Invalid() noexcept { return nullptr; }
    static void Free(Handle h) noexcept { CoTaskMemFree(h); }
};

inline void DeleteBitmap(HBITMAP h) { DeleteObject(h); }
inline void DestroyImageList(HIMAGELIST h) { ImageList_Destroy(h); }
inline void CloseKey(HKEY h) { RegCloseKey(h); }

} // namespace handle_traits

using BitmapHandle = UniqueHandle<handle_traits::Simple<HBITMAP, handle_traits::DeleteBitmap>>;
using MemoryDcHandle = UniqueHandle<handle_traits::Simple<HDC, DeleteDC>>;
using IconHandle = UniqueHandle<handle_traits::Simple<HICON, DestroyIcon>>;
using ImageListHandle = UniqueHandle<handle_traits::Simple<HIMAGELIST, handle_traits::DestroyImageList>>;
using MenuHandle = UniqueHandle<handle_traits::Simple<HMENU, DestroyMenu>>;
using AcceleratorHandle = UniqueHandle<handle_traits::Simple<HACCEL, DestroyAcceleratorTable>>;
using LocalMemoryHandle = UniqueHandle<handle_traits::Simple<HLOCAL, LocalFree>>;
using RegistryKeyHandle = UniqueHandle<handle_traits::Simple<HKEY, handle_traits::CloseKey>>;
using CoTaskMemoryHandle = UniqueHandle<handle_traits::CoTaskMemory>;

// A device context borrowed from a window with GetDC, given back with ReleaseDC.
class WindowDc {
public:
    explicit WindowDc(HWND window) noexcept : window_(window), dc_(GetDC(window)) {}
    ~WindowDc() {
        if (dc_) ReleaseDC(window_, dc_);
    }
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;
    HDC Get() const noexcept { return dc_; }

private:
    HWND window_;
    HDC dc_;
};

// Selects an object into a device context and restores the previous one.
class SelectedObject {
public:
    SelectedObject(HDC dc, HGDIOBJ object) noexcept : dc_(dc), previous_(SelectObject(dc, object)) {}
    ~SelectedObject() {
        if (previous_ && previous_ != HGDI_ERROR) SelectObject(dc_, previous_);
    }
    SelectedObject(const SelectedObject&) = delete;
    SelectedObject& operator=(const SelectedObject&) = delete;

private:
    HDC dc_;
    HGDIOBJ previous_;
};

} // namespace zelko
