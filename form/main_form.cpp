#include "form/main_form.h"

#include <string>

#include "base/core/failure.h"
#include "form/bench_timing.h"
#include "form/core/control_ids.h"
#include "win/dpi.h"

TForm1* Form1 = nullptr;

namespace {

namespace ids = pix::ids;
namespace layout = pix::layout;

constexpr wchar_t kFormClass[] = L"TForm1";
// 21 December 2021 16:11:57.851, on every run.
constexpr double kInitialVencimento = 44551 + 0.6749751273164293;
bool IsTabStop(HWND window) {
    return (GetWindowLongW(window, GWL_STYLE) & WS_TABSTOP) && IsWindowVisible(window) && IsWindowEnabled(window);
}

bool CanTakeFocus(HWND window) { return IsWindowVisible(window) && IsWindowEnabled(window); }

bool Pressed(int key) { return GetKeyState(key) < 0; }

}  // namespace

TForm1::~TForm1() {
    DestroyHandle();
}

// --- building ----------------------------------------------------------------

void TForm1::Create() {
    const DWORD style = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
    const DWORD exStyle = Host().MainFormOnTaskBar() ? WS_EX_APPWINDOW : 0;
    const layout::FormGeometry design = layout::DesignGeometry();
    RECT frame{0, 0, design.client.width, design.client.height};
    if (!AdjustWindowRectEx(&frame, style, FALSE, exStyle))
        throw pix::Failure(u"WindowError", u"Cannot size the window's frame");
    CreateHandle({kFormClass, CS_DBLCLKS, Host().Icon(), GetSysColorBrush(COLOR_BTNFACE)},
                 {L"PIX", style, exStyle, CW_USEDEFAULT, CW_USEDEFAULT, frame.right - frame.left,
                  frame.bottom - frame.top, nullptr});
    SendMessageW(Handle(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(Host().Icon()));
    pix::bench::EndOfPhase("form-window");

    // Built as designed at 96 DPI, then scaled like any later change of DPI.
    const int dpi = pix::WindowDpi(Handle());
    SetClientSize(design.client);
    fontHeight_ = design.fontHeight;
    margins_ = design.margins;
    // Each control takes the font as it is created, and fits itself to it once.
    font_ = CreateFormFont();
    pix::bench::EndOfPhase("font");
    CreateControls();
    pix::bench::EndOfPhase("controls");
    edtVencimento.SetDateTime(kInitialVencimento);
    controlsCreated_ = true;
    LayOutDockedControls();
    if (dpi != dpi_) {
        ScaleControls(dpi_, dpi);
        SetClientSize(layout::ScaleSize(design.client, layout::kDesignDpi, dpi));
        LayOutDockedControls();
    }
    pix::bench::EndOfPhase("layout");
}

void TForm1::CreateControls() {
    const layout::FormGeometry design = layout::DesignGeometry();
    const HWND form = Handle();
    const auto params = [&](HWND parent, int id, const wchar_t* text) {
        return pix::ControlParams{parent, id, text, design[id], font_.Get()};
    };
    // The window's children in their tab order, then the panel's fields in
    // theirs, each after the label that names it.
    Memo1.Create(params(form, ids::Memo1, L""));
    Button2.Create(params(form, ids::Button2, L"Gerar"));
    Panel1.Create(params(form, ids::Panel1, L""));
    const HWND panel = Panel1.Handle();
    Label1.Create(params(panel, ids::Label1, L"Chave Pix"));
    edtCodigoSolicitacaoBancoCentral.Create(params(panel, ids::edtCodigoSolicitacaoBancoCentral, L""));
    Label3.Create(params(panel, ids::Label3, L"Conv\u00eanio"));
    edtConvenio.Create(params(panel, ids::edtConvenio, L""));
    Label2.Create(params(panel, ids::Label2, L"DeveloperApplicationKey"));
    edtDeveloperApplicationKey.Create(params(panel, ids::edtDeveloperApplicationKey, L""));
    Label4.Create(params(panel, ids::Label4, L"ClientId"));
    edtClientId.Create(params(panel, ids::edtClientId, L""));
    Label5.Create(params(panel, ids::Label5, L"ClientSecret"));
    edtClientSecret.Create(params(panel, ids::edtClientSecret, L""));
    Label6.Create(params(panel, ids::Label6, L"Boleto"));
    edtBoleto.Create(params(panel, ids::edtBoleto, L""));
    Label7.Create(params(panel, ids::Label7, L"Valor"));
    edtValor.Create(params(panel, ids::edtValor, L""));
    Label8.Create(params(panel, ids::Label8, L"Vencimento"));
    edtVencimento.Create(params(panel, ids::edtVencimento, L""));
}

pix::TControl& TForm1::Control(int id) {
    // In declaration order, which is the order of the ids.
    pix::TControl* const controls[ids::kCount] = {
        &Memo1,  &Button2, &Panel1, &edtCodigoSolicitacaoBancoCentral, &edtConvenio, &edtDeveloperApplicationKey,
        &edtBoleto, &Label1, &Label2, &Label3, &Label4, &edtClientId, &Label5, &edtClientSecret,
        &Label6, &Label7, &Label8, &edtVencimento, &edtValor};
    return *controls[ids::Index(id)];
}

// --- geometry ----------------------------------------------------------------

void TForm1::ScaleControls(int fromDpi, int toDpi) {
    // The same step at creation and at every later change of DPI: the sizes
    // the user chose follow from the current ones, the rest from the design.
    layout::FormGeometry current;
    RECT client{};
    GetClientRect(Handle(), &client);
    current.client = {client.right, client.bottom};
    current.fontHeight = fontHeight_;
    current.margins = margins_;
    for (int id = ids::kFirst; id < ids::kEnd; ++id) current[id] = Control(id).Bounds();
    const layout::FormGeometry scaled = layout::MoveToDpi(current, fromDpi, toDpi);
    for (int id = ids::kFirst; id < ids::kEnd; ++id) Control(id).SetBounds(scaled[id]);
    fontHeight_ = scaled.fontHeight;
    margins_ = scaled.margins;
    dpi_ = toDpi;
    // The fields then take their heights and the labels their sizes from the
    // new font.
    ApplyFont();
}

pix::UniqueFont TForm1::CreateFormFont() const {
    pix::UniqueFont created = pix::CreateProgramFont(fontHeight_);
    if (!created) throw pix::Failure(u"WindowError", u"Cannot create the form's font");
    return created;
}

void TForm1::ApplyFont() {
    pix::UniqueFont created = CreateFormFont();
    for (int id = ids::kFirst; id < ids::kEnd; ++id) Control(id).SetFont(created.Get());
    // The old font goes only now that no control uses it any more.
    font_ = std::move(created);
}

void TForm1::LayOutDockedControls() {
    RECT client{};
    GetClientRect(Handle(), &client);
    const layout::Docked docked = layout::LayOutDocked(
        {{client.right, client.bottom}, Panel1.Bounds().Height(), Button2.Bounds().Height(), margins_,
         Memo1.Bounds()});
    Panel1.SetBounds(docked.panel);
    Button2.SetBounds(docked.button);
    Memo1.SetBounds(docked.memo);
}

void TForm1::SetClientSize(layout::Size size) {
    pix::SetClientAreaSize(Handle(), size.width, size.height);
}

// --- focus and keys ------------------------------------------------------------

namespace {

// The tab cycle: the window's children in tab order, each followed by its
// own children in theirs. Panel1 is in it but is no tab stop.
constexpr int kTabCycle[] = {ids::Memo1,
                             ids::Button2,
                             ids::Panel1,
                             ids::edtCodigoSolicitacaoBancoCentral,
                             ids::edtConvenio,
                             ids::edtDeveloperApplicationKey,
                             ids::edtClientId,
                             ids::edtClientSecret,
                             ids::edtBoleto,
                             ids::edtValor,
                             ids::edtVencimento};
constexpr int kTabCycleLength = sizeof kTabCycle / sizeof kTabCycle[0];

// The window's direct children, among which the arrow keys move.
constexpr int kWindowChildren[] = {ids::Memo1, ids::Button2, ids::Panel1};
constexpr int kWindowChildrenCount = sizeof kWindowChildren / sizeof kWindowChildren[0];

template <std::size_t N>
int PositionIn(const int (&cycle)[N], int id) {
    for (std::size_t i = 0; i < N; ++i)
        if (cycle[i] == id) return static_cast<int>(i);
    return -1;
}

int Wrap(int index, int count) { return ((index % count) + count) % count; }

}  // namespace

pix::TControl* TForm1::FocusedControl() {
    // The focus may sit in a window inside a control: the control is the
    // nearest ancestor that is one of ours.
    for (HWND w = GetFocus(); w && w != Handle(); w = GetParent(w))
        for (int id = ids::kFirst; id < ids::kEnd; ++id)
            if (Control(id).Handle() == w) return &Control(id);
    return nullptr;
}

void TForm1::FocusNextTabStop(const pix::TControl* from, bool forward) {
    const int step = forward ? 1 : -1;
    // With nothing focused, forward starts at the first stop, backward at the last.
    int position = from ? PositionIn(kTabCycle, GetDlgCtrlID(from->Handle())) : -1;
    if (position < 0) position = forward ? -1 : 0;
    for (int i = 1; i <= kTabCycleLength; ++i) {
        pix::TControl& candidate = Control(kTabCycle[Wrap(position + i * step, kTabCycleLength)]);
        if (IsTabStop(candidate.Handle())) {
            candidate.FocusFromKeyboard();
            return;
        }
    }
}

void TForm1::FocusNextSibling(const pix::TControl* from, bool forward) {
    const int step = forward ? 1 : -1;
    const int position = PositionIn(kWindowChildren, GetDlgCtrlID(from->Handle()));
    for (int i = 1; i < kWindowChildrenCount; ++i) {
        pix::TControl& candidate = Control(kWindowChildren[Wrap(position + i * step, kWindowChildrenCount)]);
        if (CanTakeFocus(candidate.Handle())) {
            candidate.FocusFromKeyboard();
            return;
        }
    }
}

bool TForm1::PreTranslateMessage(const MSG& message) {
    if (!controlsCreated_) return false;
    // Focus moves as input is handled, so here, before each message, the
    // control that has it is known. Deactivation alone is not enough: when
    // the window is minimised the focus may be gone before WA_INACTIVE comes.
    RememberFocus();
    if (message.message != WM_KEYDOWN) return false;
    if (message.hwnd != Handle() && !IsChild(Handle(), message.hwnd)) return false;
    const bool shift = Pressed(VK_SHIFT), control = Pressed(VK_CONTROL), alt = Pressed(VK_MENU);
    pix::TControl* const focused = FocusedControl();
    switch (message.wParam) {
        case VK_TAB:
            if (control || alt) return false;
            FocusNextTabStop(focused, !shift);
            return true;  // never translated: no tab character reaches the result area
        case VK_LEFT:
        case VK_UP:
        case VK_RIGHT:
        case VK_DOWN:
            // The fields, the result area and the picker use the arrows themselves.
            if (focused != &Button2 && focused != &Panel1) return false;
            FocusNextSibling(focused, message.wParam == VK_RIGHT || message.wParam == VK_DOWN);
            return true;
        case VK_RETURN:
            // A push button clicks on Space by itself, not on Enter. Enter
            // anywhere else is the control's own business: no default button.
            if (focused != &Button2 || shift || control || alt) return false;
            Button2Click(nullptr);
            return true;
        default:
            return false;
    }
}

void TForm1::RememberFocus() {
    const HWND focus = GetFocus();
    if (focus && IsChild(Handle(), focus)) lastFocus_ = focus;
}

void TForm1::RestoreFocus() {
    // First activation: the first tab stop of the cycle. Later ones: the
    // control that had the focus, as the user left it (no selecting all).
    if (lastFocus_ && IsWindow(lastFocus_) && IsChild(Handle(), lastFocus_))
        SetFocus(lastFocus_);
    else
        SetFocus(Memo1.Handle());
}

// --- messages --------------------------------------------------------------------

LRESULT TForm1::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_SIZE:
            // A minimised window has no client area to lay out; restoring
            // lays it out again.
            if (controlsCreated_ && wParam != SIZE_MINIMIZED) LayOutDockedControls();
            break;
        case WM_ACTIVATE:
            if (!controlsCreated_) break;
            if (LOWORD(wParam) == WA_INACTIVE) {
                RememberFocus();
                break;
            }
            if (HIWORD(wParam)) break;  // activated while minimised: no focus to give
            RestoreFocus();
            return 0;
        case WM_SETFOCUS:
            // The window itself takes the focus when it is restored from a
            // minimised state, for one: it passes it on to its control.
            if (!controlsCreated_ || IsIconic(Handle())) break;
            RestoreFocus();
            return 0;
        case pix::kWmDpiChanged: {
            const int newDpi = HIWORD(wParam);
            if (controlsCreated_ && newDpi > 0 && newDpi != dpi_) ScaleControls(dpi_, newDpi);
            if (const auto* proposed = reinterpret_cast<const RECT*>(lParam))
                SetWindowPos(Handle(), nullptr, proposed->left, proposed->top, proposed->right - proposed->left,
                             proposed->bottom - proposed->top, SWP_NOZORDER | SWP_NOACTIVATE);
            // The proposed rectangle may be the current one: no WM_SIZE then.
            if (controlsCreated_) LayOutDockedControls();
            return 0;
        }
        case WM_COMMAND:
            if (controlsCreated_ && reinterpret_cast<HWND>(lParam) == Button2.Handle() &&
                HIWORD(wParam) == BN_CLICKED) {
                Button2Click(nullptr);
                return 0;
            }
            break;
        default:
            break;
    }
    return TForm::HandleMessage(message, wParam, lParam);
}
