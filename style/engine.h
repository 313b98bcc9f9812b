// Draws the windows of the GUI thread in the active style. A window-creation
// hook sees every window the thread creates from the activation on and takes
// over the drawing of those the style knows: top-level windows with a caption
// (the frame), single-line fields and date pickers, the multi-line result
// area, push buttons, and the program's own containers. The windows' owners
// know nothing of it: without the style they are drawn as the platform draws
// them.
#pragma once

#include <windows.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "base/handles.h"
#include "style/core/frame.h"
#include "style/core/look.h"

namespace pix::style {

// Where the parts of a vertical scroll bar lie: the bar on the screen, the
// arrows' height and the thumb's edges from the bar's top.
struct ScrollGeometry {
    bool shown = false;
    bool disabled = false;
    RECT bar{};
    int arrow = 0;
    int thumbTop = 0, thumbBottom = 0;
    DWORD states[6] = {};
};

class TStyleEngine {
public:
    explicit TStyleEngine(Look look);
    ~TStyleEngine();
    TStyleEngine(const TStyleEngine&) = delete;
    TStyleEngine& operator=(const TStyleEngine&) = delete;

    const Look& GetLook() const noexcept { return look_; }

    // What the engine keeps of each window it draws.
    enum class Kind { Frame, Dialog, Field, Picker, Memo, Button, Container, Menu };
    struct Skinned {
        TStyleEngine* engine = nullptr;
        HWND window = nullptr;
        Kind kind = Kind::Container;
        bool hot = false;        // under the pointer
        bool tracking = false;   // a leave notice is asked for
        // Frames only.
        int dpi = 96;
        bool active = false;
        FramePart hotButton = FramePart::Client;
        FramePart pressedButton = FramePart::Client;
        bool pressedInside = false;
        UniqueFont captionFont;
        int captionFontDpi = 0;
        // The result area's scroll bar: the part under the pointer (the
        // platform's numbering, 1 up arrow, 3 thumb, 5 down arrow; 0 none)
        // and what was drawn last.
        int scrollHot = 0;
        int scrollHotDrawn = 0;
        ScrollGeometry scrollDrawn;
    };

    // Called by the hook for each new window of the thread.
    void Adopt(HWND window, const CREATESTRUCTW& create);
    LRESULT Handle(Skinned& s, UINT message, WPARAM wParam, LPARAM lParam);

private:
    LRESULT HandleFrame(Skinned& s, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT HandleField(Skinned& s, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT HandleMemo(Skinned& s, UINT message, WPARAM wParam, LPARAM lParam);
    void PaintScrollBar(Skinned& s, bool always);
    LRESULT HandleButton(Skinned& s, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT HandleContainer(Skinned& s, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT HandleMenu(Skinned& s, UINT message, WPARAM wParam, LPARAM lParam);
    // The shortcut menus of the fields and the result area: their items
    // drawn by the style, their window's border too.
    bool HandleMenuOwner(Skinned& s, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
    void MakeOwnerDrawn(HMENU menu, int dpi);
    void PaintMenuBorder(const Skinned& s);
    HFONT MenuFont(int dpi);
    const std::wstring* MenuText(ULONG_PTR data) const;
    LRESULT ControlColor(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT DialogColor(WPARAM wParam, bool text);
    void FitDialogToFrame(Skinned& s);

    int DpiOf(HWND window) const;
    FrameMetrics MetricsOf(const Skinned& s, const RECT& windowRect) const;
    void PaintFrame(Skinned& s);
    void PaintFieldBorder(const Skinned& s);
    void PaintPickerButton(const Skinned& s);
    void FitCalendar(HWND picker);
    void PaintButton(const Skinned& s, HDC dc);
    void PaintButtonNow(const Skinned& s);
    void SetHot(Skinned& s, bool hot);
    void TrackLeave(Skinned& s, bool nonClient);
    void FrameButtonPressed(Skinned& s, FramePart part);

    Look look_;
    Skinned* hot_ = nullptr;  // the field or button under the pointer
    // The texts of the menu items the style draws, by menu, while it is open.
    std::map<HMENU, std::vector<std::wstring>> menuTexts_;
    UniqueFont menuFont_;
    int menuFontDpi_ = 0;
    UniqueBrush menuBrush_;
    Skinned* menuOwner_ = nullptr;  // the control whose shortcut menu is open
    std::map<HWND, std::unique_ptr<Skinned>> windows_;
    UniqueHook hook_;
};

}  // namespace pix::style
