#pragma once
// Owners for the platform's handles: one owner, no copies, closed on scope exit.

#include <windows.h>
#include <commctrl.h>

#include <utility>

template <typename Handle, typename Traits>
class UniqueHandle {
public:
    UniqueHandle() = default;
    explicit UniqueHandle(Handle h) : h_(h) {}
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& o) noexcept : h_(o.Detach()) {}
    UniqueHandle& operator=(UniqueHandle&& o) noexcept
    {
        if (this != &o)
            Attach(o.Detach());
        return *this;
    }
    ~UniqueHandle() { Close(); }

    Handle Get() const { return h_; }
    explicit operator bool() const { return Traits::Valid(h_); }

    void Attach(Handle h)
    {
        Close();
        h_ = h;
    }
    Handle Detach() { return std::exchange(h_, Traits::Invalid()); }

    // Closes the handle; false when there was none or the platform refused.
    bool Close()
    {
        if (!Traits::Valid(h_))
            return false;
        const bool ok = Traits::Close(h_);
        h_ = Traits::Invalid();
        return ok;
    }

private:
    Handle h_ = Traits::Invalid();
};

struct KernelHandleTraits {
    static HANDLE Invalid() { return nullptr; }
    static bool Valid(HANDLE h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static bool Close(HANDLE h) { return CloseHandle(h) != FALSE; }
};
using KernelHandle = UniqueHandle<HANDLE, KernelHandleTraits>;

struct FindTraits {
    static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
    static bool Valid(HANDLE h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static bool Close(HANDLE h) { return FindClose(h) != FALSE; }
};
// A FindFirstFileA search.
using FindHandle = UniqueHandle<HANDLE, FindTraits>;

struct ModuleTraits {
    static HMODULE Invalid() { return nullptr; }
    static bool Valid(HMODULE h) { return h != nullptr; }
    static bool Close(HMODULE h) { return FreeLibrary(h) != FALSE; }
};
using LoadedModule = UniqueHandle<HMODULE, ModuleTraits>;

// A library of the system directory by its full path: the search path
// would look beside the program and in the current directory first.
inline LoadedModule LoadSystemLibrary(const char* name)
{
    char path[MAX_PATH] = {};
    const UINT length = GetSystemDirectoryA(path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH || lstrlenA(path) + 1 + lstrlenA(name) >= MAX_PATH)
        return LoadedModule{};
    lstrcatA(path, "\\");
    lstrcatA(path, name);
    return LoadedModule{LoadLibraryA(path)};
}

// A function of a loaded module as the type the caller knows it by.
template <typename Function>
Function ProcAddress(HMODULE module, const char* name)
{
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

template <typename Gdi>
struct GdiTraits {
    static Gdi Invalid() { return nullptr; }
    static bool Valid(Gdi h) { return h != nullptr; }
    static bool Close(Gdi h) { return DeleteObject(h) != FALSE; }
};
using FontHandle = UniqueHandle<HFONT, GdiTraits<HFONT>>;
using BitmapHandle = UniqueHandle<HBITMAP, GdiTraits<HBITMAP>>;

struct RegistryKeyTraits {
    static HKEY Invalid() { return nullptr; }
    static bool Valid(HKEY h) { return h != nullptr; }
    static bool Close(HKEY h) { return RegCloseKey(h) == ERROR_SUCCESS; }
};
// An opened registry key (never one of the predefined roots).
using RegistryKey = UniqueHandle<HKEY, RegistryKeyTraits>;

struct ImageListTraits {
    static HIMAGELIST Invalid() { return nullptr; }
    static bool Valid(HIMAGELIST h) { return h != nullptr; }
    static bool Close(HIMAGELIST h) { return ImageList_Destroy(h) != FALSE; }
};
// An image list of the common controls.
using ImageListHandle = UniqueHandle<HIMAGELIST, ImageListTraits>;

struct MenuTraits {
    static HMENU Invalid() { return nullptr; }
    static bool Valid(HMENU h) { return h != nullptr; }
    static bool Close(HMENU h) { return DestroyMenu(h) != FALSE; }
};
// A loaded menu; its submenus go with it.
using MenuHandle = UniqueHandle<HMENU, MenuTraits>;

// A flag set for the life of the object: a step that runs, which a tick
// arriving meanwhile (a message box lets it through) must not run again.
class FlagWhile {
public:
    explicit FlagWhile(bool& flag) : flag_(flag) { flag_ = true; }
    ~FlagWhile() { flag_ = false; }
    FlagWhile(const FlagWhile&) = delete;
    FlagWhile& operator=(const FlagWhile&) = delete;

private:
    bool& flag_;
};

// The wait cursor for the life of the object, then the cursor shown before.
class WaitCursor {
public:
    WaitCursor() : previous_(SetCursor(LoadCursorA(nullptr, IDC_WAIT))) {}
    ~WaitCursor() { SetCursor(previous_); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;

private:
    HCURSOR previous_;
};

#include <setupapi.h>

struct DeviceInfoSetTraits {
    static HDEVINFO Invalid() { return INVALID_HANDLE_VALUE; }
    static bool Valid(HDEVINFO h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static bool Close(HDEVINFO h) { return SetupDiDestroyDeviceInfoList(h) != FALSE; }
};
// A device information set of the setup library.
using DeviceInfoSet = UniqueHandle<HDEVINFO, DeviceInfoSetTraits>;
