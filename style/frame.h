// The frame of the program's top-level windows: the title bar with its
// caption, system buttons and icon, the borders, the client area's
// background, and the colours the controls inside ask their parent for.
// Also the program's own containers (the panel), painted like the client
// area.
#pragma once

#include "base/handles.h"
#include "style/core/frame.h"
#include "style/skinned_window.h"

namespace pix::style {

class FrameWindow : public SkinnedWindow {
public:
    FrameWindow(TStyleEngine& engine, HWND window);

    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    int FrameDpi() const noexcept override { return dpi_; }
    void Restyled() override { captionFont_.Reset(); }

protected:
    // The frame's measures at the window's DPI, for the window at windowRect.
    FrameMetrics Metrics(const RECT& windowRect) const;
    int Dpi() const noexcept { return dpi_; }

private:
    void Paint();
    // Paints the frame after the platform handled a message; its result.
    LRESULT PaintAfter(LRESULT result);
    LRESULT DefaultUnpainted(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT HitTest(LPARAM point);
    void ButtonPressed(FramePart part);
    LRESULT ScaledSize(WPARAM wParam, LPARAM lParam);
    LRESULT DpiChanged(WPARAM wParam, LPARAM lParam);

    int dpi_;
    bool active_ = false;
    FramePart hotButton_ = FramePart::Client;
    FramePart pressedButton_ = FramePart::Client;
    bool pressedInside_ = false;
    UniqueFont captionFont_;
    int captionFontDpi_ = 0;
};

// The window's frame and its children's measured again (a new DPI, a new look).
void RecomputeFrames(HWND window);

class ContainerWindow final : public SkinnedWindow {
public:
    using SkinnedWindow::SkinnedWindow;
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
};

}  // namespace pix::style
