// Test programs run under Wine; no message box may ever wait for a user, and
// nothing may restart the machine.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include "common/AnsiLeadByte.h"
#include "script/MessageBox.h"
#include "door/RestartRequest.h"

int main(int argc, char** argv)
{
    UseAnsiCodePage();
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    SetMessageAnswerer([](const char* text, const char* title, UINT) {
        ADD_FAILURE() << "unexpected message box \"" << (title ? title : "") << "\": " << (text ? text : "");
        return IDCANCEL;
    });
    // Nor may any test restart Windows: a request fails the test and is refused.
    SetRestartRequester([](RestartVariant, const char* command) {
        ADD_FAILURE() << "unexpected restart request " << (command ? command : "");
        return false;
    });
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
