// The mail check on a thread of its own. A mail system may take seconds to
// answer a logon, or never answer; the UI thread, which draws over the saver
// and notices its end, never waits for it. The thread posts each answer to
// the form; nothing is shared but the flag that one check runs.
#pragma once

#include "platform/win32_api.h"

#include <memory>
#include <optional>
#include <string>

#include "platform/win32_handles.h"

namespace vl {

// Posted to the form with a check's answer in wParam (MailWorker::Keep).
inline constexpr UINT kMailAnswerMessage = WM_APP + 21;

class MailWorker {
public:
    MailWorker() = default;
    // Does not wait for a check that hangs: the process may end around it.
    ~MailWorker();
    MailWorker(const MailWorker&) = delete;
    MailWorker& operator=(const MailWorker&) = delete;

    void SetWindow(HWND window) { window_ = window; }
    // Starts one check, unless one runs. The thread starts with the first.
    void Request();
    // Takes a posted answer.
    void Keep(WPARAM answer);
    // The last completed check's answer; nothing before the first, or when
    // the mail library cannot be used.
    [[nodiscard]] std::optional<std::string> LastAnswer() const { return answer_; }

    struct Shared;

private:
    HWND window_ = nullptr;
    std::shared_ptr<Shared> shared_;  // also held by the thread, which may outlive this object
    UniqueKernelHandle thread_;
    std::optional<std::string> answer_;
};

}  // namespace vl
