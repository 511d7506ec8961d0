// What every page's portable logic needs from the form: the two flags the
// form keeps for all of its pages.
#pragma once

namespace vl {

class FormFlags {
public:
    virtual ~FormFlags() = default;
    // "Apply" is enabled exactly when there are unsaved changes.
    virtual void SetDirty(bool flag) = 0;
    // The program, not the user, is changing controls: their handlers only follow.
    virtual bool FillingControls() const = 0;
    virtual void SetFillingControls(bool filling) = 0;
};

}  // namespace vl
