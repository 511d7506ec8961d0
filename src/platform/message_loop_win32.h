// The one message loop of the program: every loop, the host's and the modal
// ones, is a call to it with what it waits for, so WM_QUIT is passed on by
// one rule. A nested loop that takes WM_QUIT re-posts it, with its code, and
// ends: the loop outside it then ends too. The outermost loop keeps it, and
// its caller has the code.
#pragma once

#include "platform/win32_api.h"

#include <cstddef>
#include <span>

namespace vl {

struct LoopEnd {
    enum Why { kDone, kSignalled, kQuit, kTimedOut, kFailed };
    Why why = kDone;
    std::size_t handle = 0;  // kSignalled: the index of the signalled handle
    int exitCode = 0;        // kQuit: the code WM_QUIT carried
};

struct LoopStyle {
    bool nested = false;  // WM_QUIT is re-posted for the loop outside this one
    // One message a wake instead of all that are queued: the wait returns at
    // once while more are queued, and a lone timer's wake then costs one
    // question less.
    bool oneMessagePerWake = false;
    // kTimedOut when nothing came for this long; 0 handles what is already
    // queued and returns.
    DWORD idleMs = INFINITE;
};

namespace detail {

struct LoopHooks {
    bool (*done)(void* context);
    bool (*handled)(void* context, MSG& msg);
    void* context;
};

LoopEnd RunMessageLoop(std::span<const HANDLE> handles, const LoopStyle& style, const LoopHooks& hooks);

struct NeverDone {
    bool operator()() const { return false; }
};
struct NothingHandled {
    bool operator()(const MSG&) const { return false; }
};

}  // namespace detail

// Handles this thread's messages until `done()` holds (asked before each
// message and each wait), one of `handles` is signalled, WM_QUIT comes or
// the wait fails. `handled(msg)` sees each message first and answers whether
// it dealt with it (a dialog's keyboard); the others are translated and
// dispatched. The callables are borrowed for the call only: a function
// pointer and a context underneath, which keeps std::function's code out of
// the executable.
template <typename Done = detail::NeverDone, typename Handled = detail::NothingHandled>
LoopEnd RunMessageLoop(std::span<const HANDLE> handles, const LoopStyle& style, Done done = {}, Handled handled = {}) {
    struct Callables {
        Done& done;
        Handled& handled;
    } callables{done, handled};
    const detail::LoopHooks hooks{
        [](void* context) -> bool { return static_cast<Callables*>(context)->done(); },
        [](void* context, MSG& msg) -> bool { return static_cast<Callables*>(context)->handled(msg); }, &callables};
    return detail::RunMessageLoop(handles, style, hooks);
}

}  // namespace vl
