#pragma once
// Texts of the string table by id. A text of the form "@file@section@key"
// redirects to a value of an INI file. Results rotate through four buffers,
// so any two results fetched one after the other stay valid together.

#include <windows.h>

class TextCatalogue {
public:
    explicit TextCatalogue(HINSTANCE module = nullptr) : module_(module) {}

    void SetModule(HINSTANCE module) { module_ = module; }

    // The resource text, empty when the id is missing.
    const char* LoadText(UINT id);

    // The resource text, or the INI value it redirects to.
    const char* GetText(UINT id);

    // The value of `key` in `section` of `file`; without a file, the INI
    // file named as the program beside it. "\n" in the value becomes a line feed.
    const char* ReadIniText(const char* file, const char* section, const char* key);

    // Replaces each backslash followed by 'n' with one line feed, in place.
    // Steps over double-byte characters, whose trail byte may equal '\'.
    static void ExpandNewlines(char* text);

    // Set a window's text from GetText; an empty text leaves it and gives false.
    bool SetWindowTextById(HWND window, UINT id);
    bool SetItemTextById(HWND dialog, int control, UINT id);

private:
    static constexpr int kSlots = 4;
    static constexpr int kSlotSize = 512;

    char* NextSlot();

    int current_ = 0;
    char results_[kSlots][kSlotSize] = {};
    HINSTANCE module_ = nullptr;
};
