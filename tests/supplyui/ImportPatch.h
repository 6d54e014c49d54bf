#pragma once
// Seams into the library as shipped, for what Wine can't show or a test must
// not do: one function that a loaded module imports is replaced in that
// module's import table only, and put back when the patch goes.

#include <windows.h>

#include <atomic>
#include <cstddef>

class ImportPatch {
public:
    ImportPatch(HMODULE module, const char* dll, const char* function, const void* replacement);
    ~ImportPatch();
    ImportPatch(const ImportPatch&) = delete;
    ImportPatch& operator=(const ImportPatch&) = delete;

    bool Applied() const { return slot_ != nullptr; }
    // The replacement stays when the patch goes: for a module that will be
    // unloaded, or a process that will end, with it in place.
    void Keep() { slot_ = nullptr; }
    template <typename Function>
    Function Original() const
    {
        return reinterpret_cast<Function>(original_);
    }

private:
    void** slot_ = nullptr;
    void* original_ = nullptr;
};

// The module's allocations through the C runtime's malloc, one of which
// fails when armed: the next one after Arm(), as when memory runs out there.
class AllocationFault {
public:
    explicit AllocationFault(HMODULE module);
    ~AllocationFault();
    AllocationFault(const AllocationFault&) = delete;
    AllocationFault& operator=(const AllocationFault&) = delete;

    bool Applied() const { return patch_.Applied(); }
    void Arm() { armed_ = true; }
    // Whether an allocation failed since the fault was made.
    bool Fired() const { return fired_; }

private:
    static void* __cdecl Malloc(std::size_t size);

    static std::atomic<bool> armed_;
    static std::atomic<bool> fired_;
    static void*(__cdecl* original_)(std::size_t);
    ImportPatch patch_;
};
