#include "watch/mail_worker_win32.h"

#include "platform/message_loop_win32.h"
#include "platform/win32_system_dll.h"
#include "watch/mail_check.h"
#include "watch/watch_win32.h"

namespace vl {

namespace {

enum Answer : WPARAM { kNoMail = 0, kMail = 1, kUnavailable = 2 };

}  // namespace

// What the UI thread and the worker share; the last of the two lets it go.
struct MailWorker::Shared {
    UniqueKernelHandle wake{::CreateEventW(nullptr, FALSE, FALSE, nullptr)};  // auto-reset
    HWND window = nullptr;
    volatile LONG busy = 0;  // a check is asked for or running
    volatile LONG stop = 0;  // the owner is gone
};

namespace {

// Mail providers expect a single-threaded apartment that pumps messages,
// also while no check runs (they may post to windows of their own).
DWORD WINAPI MailThread(void* param) {
    std::unique_ptr<std::shared_ptr<MailWorker::Shared>> owned(
        static_cast<std::shared_ptr<MailWorker::Shared>*>(param));
    const std::shared_ptr<MailWorker::Shared> shared = *owned;
    owned.reset();
    // Looked up by each worker for itself: statics are the UI thread's.
    const auto comInit = SystemFunction<decltype(&::CoInitializeEx)>(L"ole32.dll", "CoInitializeEx");
    const auto comEnd = SystemFunction<decltype(&::CoUninitialize)>(L"ole32.dll", "CoUninitialize");
    const HRESULT com = comInit && comEnd ? comInit(nullptr, COINIT_APARTMENTTHREADED) : E_NOTIMPL;
    {
        Win32Mapi mapi;  // loaded, used and released on this thread only
        const HANDLE wake = shared->wake.get();
        for (;;) {
            const LoopEnd end = RunMessageLoop({&wake, 1}, LoopStyle{});
            if (shared->stop || end.why != LoopEnd::kSignalled) break;
            const std::optional<std::string> answer = CheckMail(mapi);
            const WPARAM told = !answer ? kUnavailable : answer->empty() ? kNoMail : kMail;
            // A form already gone takes no answer: the run is over.
            ::PostMessageW(shared->window, kMailAnswerMessage, told, 0);
            ::InterlockedExchange(&shared->busy, 0);
        }
    }
    if (SUCCEEDED(com)) comEnd();
    return 0;
}

}  // namespace

MailWorker::~MailWorker() {
    if (!shared_) return;
    ::InterlockedExchange(&shared_->stop, 1);
    ::SetEvent(shared_->wake.get());
}

void MailWorker::Request() {
    if (!shared_) {
        // Not make_shared: built without run-time types, its type tag brings
        // the library's exception support into the file.
        std::shared_ptr<Shared> shared(new Shared);
        if (!shared->wake) return;
        shared->window = window_;
        auto* param = new std::shared_ptr<Shared>(shared);
        thread_.reset(::CreateThread(nullptr, 0, MailThread, param, 0, nullptr));
        if (!thread_) {
            delete param;
            return;  // no thread: no mail checks, as when the library is missing
        }
        shared_ = std::move(shared);
    }
    if (::InterlockedCompareExchange(&shared_->busy, 1, 0) != 0) return;  // one check at a time
    ::SetEvent(shared_->wake.get());
}

void MailWorker::Keep(WPARAM answer) {
    if (answer == kUnavailable)
        answer_.reset();
    else
        answer_ = answer == kMail ? std::string(kMailFound) : std::string();
}

}  // namespace vl
