// Test programs run under Wine; no message box may ever wait for a user.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include "common/AnsiLeadByte.h"
#include "script/MessageBox.h"

int main(int argc, char** argv)
{
    UseAnsiCodePage();
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    SetMessageAnswerer([](const char* text, const char* title, UINT) {
        ADD_FAILURE() << "unexpected message box \"" << (title ? title : "") << "\": " << (text ? text : "");
        return IDCANCEL;
    });
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
