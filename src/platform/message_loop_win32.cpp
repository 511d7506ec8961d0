#include "platform/message_loop_win32.h"

namespace vl::detail {
namespace {

LoopEnd Quit(const MSG& msg, bool nested) {
    const int code = static_cast<int>(msg.wParam);
    if (nested) ::PostQuitMessage(code);
    return {LoopEnd::kQuit, 0, code};
}

// The end a wait gives, unless it woke for messages (nothing then).
bool EndedByWait(DWORD woke, DWORD count, LoopEnd& end) {
    if (woke == WAIT_OBJECT_0 + count) return false;
    if (woke < WAIT_OBJECT_0 + count)
        end = {LoopEnd::kSignalled, woke - WAIT_OBJECT_0, 0};
    else
        end = {woke == WAIT_TIMEOUT ? LoopEnd::kTimedOut : LoopEnd::kFailed, 0, 0};
    return true;
}

}  // namespace

LoopEnd RunMessageLoop(std::span<const HANDLE> handles, const LoopStyle& style, const LoopHooks& hooks) {
    const DWORD count = static_cast<DWORD>(handles.size());
    for (bool wait = true;;) {
        if (hooks.done(hooks.context)) return {LoopEnd::kDone, 0, 0};
        if (wait) {
            // MWMO_INPUTAVAILABLE: messages already seen by an earlier peek
            // but still queued wake it too, or they would wait for the next.
            const DWORD woke =
                ::MsgWaitForMultipleObjectsEx(count, handles.data(), style.idleMs, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
            if (LoopEnd end; EndedByWait(woke, count, end)) return end;
        }
        MSG msg;
        const bool got = ::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE);
        wait = !got || style.oneMessagePerWake;
        if (!got) continue;
        if (msg.message == WM_QUIT) return Quit(msg, style.nested);
        if (hooks.handled(hooks.context, msg)) continue;
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
}

}  // namespace vl::detail
