// The program entry: the main window, its accelerators and the message loop.
#include "editor/Zelko.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    zelko::Zelko editor;
    if (!editor.Start(SW_SHOWDEFAULT)) return -1;
    HACCEL accelerators = editor.BuildAcceleratorTable();
    return zelko::RunMessageLoop(editor.window, accelerators);
}
