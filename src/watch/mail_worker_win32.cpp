#include "watch/mail_worker_win32.h"

#include "platform/win32_system_dll.h"
#include "watch/mail_check.h"
#include "watch/watch_win32.h"

namespace vl {

// What the UI thread and the worker share; the last of the two lets it go.
struct MailWorker::Shared {
    UniqueKernelHandle wake{::CreateEventW(nullptr, FALSE, FALSE, nullptr)};  // auto-reset
    SRWLOCK lock = SRWLOCK_INIT;
    volatile LONG busy = 0;  // a check is asked for or running
    volatile LONG stop = 0;  // the owner is gone
    bool answered = false;   // under lock
    std::optional<std::string> answer;
};

namespace {

class SharedLock {
public:
    explicit SharedLock(SRWLOCK& lock) : lock_(lock) { ::AcquireSRWLockExclusive(&lock_); }
    ~SharedLock() { ::ReleaseSRWLockExclusive(&lock_); }
    SharedLock(const SharedLock&) = delete;
    SharedLock& operator=(const SharedLock&) = delete;

private:
    SRWLOCK& lock_;
};

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
    MSG msg;
    ::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);  // gives the thread its message queue
    {
        Win32Mapi mapi;  // loaded, used and released on this thread only
        HANDLE wake = shared->wake.get();
        for (;;) {
            const DWORD woke = ::MsgWaitForMultipleObjects(1, &wake, FALSE, INFINITE, QS_ALLINPUT);
            if (shared->stop) break;
            if (woke == WAIT_OBJECT_0 + 1) {
                while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
                    ::TranslateMessage(&msg);
                    ::DispatchMessageW(&msg);
                }
                continue;
            }
            if (woke != WAIT_OBJECT_0) break;
            std::optional<std::string> answer = CheckMail(mapi);
            {
                const SharedLock lock(shared->lock);
                shared->answer = std::move(answer);
                shared->answered = true;
            }
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

std::optional<std::string> MailWorker::LastAnswer() const {
    if (!shared_) return std::nullopt;
    const SharedLock lock(shared_->lock);
    return shared_->answered ? shared_->answer : std::nullopt;
}

}  // namespace vl
