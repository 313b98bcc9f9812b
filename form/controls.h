// Thin views of the form's child controls. The form's window owns them
// (Windows destroys children with their parent); these create and name them.
// What a control does on its own (the fields' height rule, the labels'
// sizing to their text) lives in a subclass procedure that needs nothing but
// the window, so no C++ object has to outlive anything.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "form/core/layout.h"

namespace pix {

// Where a control goes and what it starts with; its kind adds its styles.
// The font is set before the control first measures itself.
struct ControlParams {
    HWND parent;
    int id;
    const wchar_t* text;
    layout::Rect bounds;
    HFONT font;
};

class TControl {
public:
    virtual ~TControl() = default;

    HWND Handle() const noexcept { return handle_; }
    void Attach(HWND handle) noexcept { handle_ = handle; }

    // In the client coordinates of the parent. Bounds the control already
    // has are not set again.
    layout::Rect Bounds() const;
    void SetBounds(const layout::Rect& bounds) const;
    // A later font: the control fits itself to it as to the first.
    void SetFont(HFONT font) const;

    // Takes the focus the way a Tab press gives it.
    virtual void FocusFromKeyboard() const;

protected:
    void CreateWindowOf(const wchar_t* className, DWORD style, DWORD exStyle, const ControlParams& params);

    HWND handle_ = nullptr;
};

class TEdit : public TControl {
public:
    // A single-line field: any characters, no limit of its own, scrolls
    // sideways, as high as its font's rule says.
    void Create(const ControlParams& params);

    // The text exactly as the field holds it.
    std::u16string Text() const;

    // From the keyboard the field selects all its text; a click leaves the
    // caret where it went.
    void FocusFromKeyboard() const override;
};

class TMemo : public TControl {
public:
    // The result area: wraps its lines, vertical scroll bar always shown.
    void Create(const ControlParams& params);

    // The lines of one press, each appended by the result area's rule: at
    // the end, the caret after it, not undoable; only the end of the text is
    // read. When the appending is over, however it ends, the caret is
    // scrolled into view once (every scroll repaints the scroll bar).
    class Appending {
    public:
        explicit Appending(const TMemo& memo) noexcept : memo_(memo) {}
        ~Appending();
        Appending(const Appending&) = delete;
        Appending& operator=(const Appending&) = delete;

        void Line(std::u16string_view line);

    private:
        const TMemo& memo_;
        bool appended_ = false;
    };

private:
    void AppendLine(std::u16string_view line) const;
    // The last characters of the text, as many as the rule reads.
    std::u16string TextEnd(int length) const;
};

class TButton : public TControl {
public:
    // A plain push button: neither default nor cancel.
    void Create(const ControlParams& params);
};

class TPanel : public TControl {
public:
    // Borderless, captionless, in the window's background colour; it passes
    // its children's notifications up to the form.
    void Create(const ControlParams& params);
};

class TLabel : public TControl {
public:
    // One line, no accelerators, sized to its text.
    void Create(const ControlParams& params);
};

class TDateTimePicker : public TControl {
public:
    // Short date format, no check box, no range; as high as the fields.
    void Create(const ControlParams& params);

    // Day count from 30 December 1899, the time of day as the fraction.
    double DateTime() const;
    void SetDateTime(double value);
};

}  // namespace pix
