// Entry point of Vigilumen.scr. The command line is read wide, inside.
#include "startup/app_win32.h"

#include <cstdlib>
#include <new>

// Memory exhausted ends the program, as it always did (nothing catches an
// exception here). The library's own operator new would throw, and bring
// the whole exception machinery into the file for that one case.
void* operator new(std::size_t size) {
    if (void* block = std::malloc(size != 0 ? size : 1)) return block;
    std::abort();
}
void operator delete(void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    vl::App app(instance);
    return app.Main();
}
