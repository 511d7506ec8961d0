// An edit box whose text goes into one field of a record. A record has no
// way to carry ";", so the box refuses it with a beep, typed or pasted or
// put in any other way. It also reports key releases, which edit controls
// keep to themselves.
#pragma once

#include "platform/win32_api.h"

#include <functional>
#include <string>

namespace vl {

class RecordBox {
public:
    RecordBox() = default;
    RecordBox(const RecordBox&) = delete;
    RecordBox& operator=(const RecordBox&) = delete;

    // The box must outlive the edit control or be destroyed with it.
    void Attach(HWND edit, std::function<void()> onKeyUp);
    [[nodiscard]] HWND get() const { return edit_; }

    // For the box's EN_CHANGE: when a ";" got in after all, the last text
    // without one comes back.
    void OnChange();

private:
    static LRESULT CALLBACK Proc(HWND edit, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id, DWORD_PTR self);

    HWND edit_ = nullptr;
    std::string accepted_;
    std::function<void()> onKeyUp_;
};

}  // namespace vl
