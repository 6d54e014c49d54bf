#include "ImportPatch.h"

namespace {

template <typename T>
T* At(HMODULE module, DWORD offset)
{
    return reinterpret_cast<T*>(reinterpret_cast<BYTE*>(module) + offset);
}

// The import address table entry of `dll`!`function` in `module`, or nullptr.
void** ImportSlot(HMODULE module, const char* dll, const char* function)
{
    if (!module)
        return nullptr;
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(module);
    const auto* nt = At<const IMAGE_NT_HEADERS>(module, static_cast<DWORD>(dos->e_lfanew));
    const IMAGE_DATA_DIRECTORY& directory = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (directory.VirtualAddress == 0)
        return nullptr;
    for (auto* import = At<IMAGE_IMPORT_DESCRIPTOR>(module, directory.VirtualAddress); import->Name; ++import) {
        if (lstrcmpiA(At<const char>(module, import->Name), dll) != 0)
            continue;
        auto* names = At<IMAGE_THUNK_DATA>(module, import->OriginalFirstThunk);
        auto* slots = At<IMAGE_THUNK_DATA>(module, import->FirstThunk);
        for (; names->u1.AddressOfData; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal))
                continue;
            const auto* byName = At<const IMAGE_IMPORT_BY_NAME>(module, static_cast<DWORD>(names->u1.AddressOfData));
            if (lstrcmpA(reinterpret_cast<const char*>(byName->Name), function) == 0)
                return reinterpret_cast<void**>(&slots->u1.Function);
        }
    }
    return nullptr;
}

void Write(void** slot, void* value)
{
    DWORD old = 0;
    if (!VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &old))
        return;
    *slot = value;
    VirtualProtect(slot, sizeof *slot, old, &old);
}

} // namespace

ImportPatch::ImportPatch(HMODULE module, const char* dll, const char* function, const void* replacement)
    : slot_(ImportSlot(module, dll, function))
{
    if (!slot_)
        return;
    original_ = *slot_;
    Write(slot_, const_cast<void*>(replacement));
}

ImportPatch::~ImportPatch()
{
    if (slot_)
        Write(slot_, original_);
}

std::atomic<bool> AllocationFault::armed_{false};
std::atomic<bool> AllocationFault::fired_{false};
void*(__cdecl* AllocationFault::original_)(std::size_t) = nullptr;

AllocationFault::AllocationFault(HMODULE module)
    : patch_(module, "msvcrt.dll", "malloc", reinterpret_cast<const void*>(&AllocationFault::Malloc))
{
    armed_ = false;
    fired_ = false;
    original_ = patch_.Original<void*(__cdecl*)(std::size_t)>();
}

AllocationFault::~AllocationFault() { armed_ = false; }

void* __cdecl AllocationFault::Malloc(std::size_t size)
{
    if (armed_.exchange(false)) {
        fired_ = true;
        return nullptr;
    }
    return original_(size);
}
