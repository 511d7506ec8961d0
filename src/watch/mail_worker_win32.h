// The mail check on a thread of its own. A mail system may take seconds to
// answer a logon, or never answer; the UI thread, which draws over the saver
// and notices its end, never waits for it.
#pragma once

#include "platform/win32_api.h"

#include <memory>
#include <optional>
#include <string>

#include "platform/win32_handles.h"

namespace vl {

class MailWorker {
public:
    MailWorker() = default;
    // Does not wait for a check that hangs: the process may end around it.
    ~MailWorker();
    MailWorker(const MailWorker&) = delete;
    MailWorker& operator=(const MailWorker&) = delete;

    // Starts one check, unless one runs. The thread starts with the first.
    void Request();
    // The last completed check's answer; nothing before the first, or when
    // the mail library cannot be used.
    [[nodiscard]] std::optional<std::string> LastAnswer() const;

    struct Shared;

private:
    std::shared_ptr<Shared> shared_;  // also held by the thread, which may outlive this object
    UniqueKernelHandle thread_;
};

}  // namespace vl
