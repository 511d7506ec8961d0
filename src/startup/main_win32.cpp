// Entry point of Vigilumen.scr.
#include <windows.h>

#include "startup/app_win32.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    vl::App app(instance);
    return app.Main();
}
