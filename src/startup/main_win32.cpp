// Entry point of Vigilumen.scr. The command line is read wide, inside.
#include "startup/app_win32.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    vl::App app(instance);
    return app.Main();
}
