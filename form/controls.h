// Thin views of the form's child controls. The form's window owns them
// (Windows destroys children with their parent); these only name them.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace pix {

class TControl {
public:
    HWND Handle() const noexcept { return handle_; }
    void Attach(HWND handle) noexcept { handle_ = handle; }

protected:
    HWND handle_ = nullptr;
};

class TEdit : public TControl {
public:
    // The text exactly as the field holds it.
    std::u16string Text() const;
};

class TMemo : public TControl {
public:
    std::u16string Text() const;
    // Appends a line by the result area's rule: at the end, caret after it,
    // scrolled into view, not undoable.
    void AppendLine(std::u16string_view line);
};

class TButton : public TControl {};
class TPanel : public TControl {};
class TLabel : public TControl {};

class TDateTimePicker : public TControl {
public:
    // Day count from 30 December 1899, the time of day as the fraction.
    double DateTime() const;
    void SetDateTime(double value);
};

}  // namespace pix
