#include "form/samples.h"

#include "app/application.h"

TForm1* Form1 = nullptr;

namespace {
constexpr wchar_t kFormClass[] = L"TForm1";
constexpr int kClientWidth = 635;
constexpr int kClientHeight = 491;
}  // namespace

TForm1::~TForm1() {
    DestroyHandle();
}

void TForm1::Create() {
    const DWORD style = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
    const DWORD exStyle = pix::Application->MainFormOnTaskBar() ? WS_EX_APPWINDOW : 0;
    RECT frame{0, 0, kClientWidth, kClientHeight};
    AdjustWindowRectEx(&frame, style, FALSE, exStyle);
    CreateHandle({kFormClass, CS_DBLCLKS, pix::Application->Icon(), GetSysColorBrush(COLOR_BTNFACE)},
                 {L"PIX", style, exStyle, CW_USEDEFAULT, CW_USEDEFAULT, frame.right - frame.left,
                  frame.bottom - frame.top, nullptr});
    SendMessageW(Handle(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(pix::Application->Icon()));
}

void TForm1::Button2Click(void*) {}

bool TForm1::PreTranslateMessage(const MSG&) { return false; }

LRESULT TForm1::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    return TForm::HandleMessage(message, wParam, lParam);
}
