// The process entry of snowglobe.scr. The system's start-up code has already
// cut the program's own name and the blanks after it from the command line;
// the engine takes it from there.
#include "shell/shell.h"

#include <windows.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR arguments, int) {
    return sg::WinMain(reinterpret_cast<pf::HINSTANCE>(instance), arguments ? arguments : "");
}
