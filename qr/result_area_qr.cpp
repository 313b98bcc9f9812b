#include "qr/result_area_qr.h"

#include <commctrl.h>

#include <utility>

#include "base/core/failure.h"
#include "base/handles.h"
#include "base/text.h"
#include "qr/core/pix_line.h"
#include "qr/core/qr_texts.h"
#include "win/guard.h"
#include "win/window.h"

namespace pix::qr {

namespace {

constexpr UINT_PTR kSubclassId = 0x51524344;  // "QRCD"
constexpr UINT kGetMenuOfWindow = 0x01E1;     // MN_GETHMENU
constexpr wchar_t kMenuWindowClass[] = L"#32768";
constexpr WPARAM kCtrlQCharacter = 0x11;

bool Pressed(int key) { return GetKeyState(key) < 0; }

}  // namespace

// --- the shortcut menu ------------------------------------------------------------
//
// The edit control builds its shortcut menu, tracks it and carries out the
// command it returns all inside its WM_CONTEXTMENU, with TPM_RETURNCMD: no
// WM_COMMAND reaches anyone, and an id it does not know it drops. So the
// item is added to the control's own menu as that opens, and whether the
// user chose it is seen on the way:
//  - Where the item is added. Windows tells the menu's owner, the control,
//    with WM_INITMENUPOPUP before the menu is laid out. Wine 8's control
//    tracks with TPM_NONOTIFY and sends no WM_INITMENUPOPUP at all, but it
//    creates the menu's window before laying the menu out: that window's
//    WM_CREATE, seen through a creation hook that lives only while the menu
//    is open, is the other moment. Whichever comes first adds the item,
//    before the house style, which draws the items itself, takes them over:
//    this subclass of the area runs before the style's, and the creation
//    hook, installed after the style's own, is called before it, so that
//    the window's subclass set here lies beneath the style's.
//  - What is highlighted: WM_MENUSELECT, which both send the owner.
//  - The choice: the menu's modal loop shows every input message to a
//    WH_MSGFILTER hook (MSGF_MENU) before acting on it. Enter while the item
//    is highlighted, or a mouse button let go over the item, chooses it,
//    exactly as the menu itself decides; Esc, a click elsewhere or a choice
//    of another item do not. The QR window opens once the menu is gone.
// A disabled item is never chosen, whatever the input.
class TResultAreaQrCode::MenuSession {
public:
    MenuSession(HWND area, std::optional<std::u16string> code, MenuSession*& slot)
        : area_(area), code_(std::move(code)), slot_(slot), outer_(open_) {
        slot_ = this;
        open_ = this;
        creation_.Reset(SetWindowsHookExW(WH_CBT, &CreationHook, nullptr, GetCurrentThreadId()));
        input_.Reset(SetWindowsHookExW(WH_MSGFILTER, &InputHook, nullptr, GetCurrentThreadId()));
        // Without seeing the input the item could be chosen to no effect.
        if (!input_) code_.reset();
    }
    ~MenuSession() {
        input_.Reset();
        creation_.Reset();
        if (watched_ && IsWindow(watched_)) RemoveWindowSubclass(watched_, &MenuWindowProc, kSubclassId);
        open_ = outer_;
        slot_ = nullptr;
    }
    MenuSession(const MenuSession&) = delete;
    MenuSession& operator=(const MenuSession&) = delete;

    const std::optional<std::u16string>& Code() const noexcept { return code_; }
    bool Chosen() const noexcept { return chosen_; }

    // The separator and the item at the foot of the area's own menu, the
    // first menu that opens; later ones (submenus) are left alone.
    void AddItem(HMENU menu) {
        if (menu_ || !menu) return;
        const int count = GetMenuItemCount(menu);
        if (count < 0 || !AppendMenuW(menu, MF_SEPARATOR, 0, nullptr)) return;
        if (!AppendMenuW(menu, MF_STRING | (code_ ? MF_ENABLED : MF_GRAYED), kItemId, W(kMenuItemText))) {
            DeleteMenu(menu, static_cast<UINT>(count), MF_BYPOSITION);
            return;
        }
        menu_ = menu;
        itemPosition_ = count + 1;
    }

    void Highlighted(WPARAM wParam, LPARAM lParam) noexcept {
        const UINT flags = HIWORD(wParam);
        highlighted_ = menu_ && reinterpret_cast<HMENU>(lParam) == menu_ && flags != 0xFFFF && !(flags & MF_POPUP) &&
                       LOWORD(wParam) == kItemId;
    }

private:
    void SeeInput(const MSG& message) {
        if (!menu_ || !code_) return;
        switch (message.message) {
            case WM_KEYDOWN:
                if (message.wParam == VK_RETURN) chosen_ = highlighted_;
                break;
            case WM_LBUTTONUP:
            case WM_RBUTTONUP:
                chosen_ = MenuItemFromPoint(nullptr, menu_, message.pt) == itemPosition_;
                break;
            default:
                break;
        }
    }

    static LRESULT CALLBACK CreationHook(int code, WPARAM wParam, LPARAM lParam) {
        if (code == HCBT_CREATEWND && open_) {
            const auto window = reinterpret_cast<HWND>(wParam);
            const auto* create = reinterpret_cast<const CBT_CREATEWNDW*>(lParam)->lpcs;
            MenuSession* const session = open_;
            Guarded([&] {
                if (session->menu_ || session->watched_ || create->hwndParent != session->area_ ||
                    WindowClassName(window) != kMenuWindowClass)
                    return;
                if (SetWindowSubclass(window, &MenuWindowProc, kSubclassId, reinterpret_cast<DWORD_PTR>(session)))
                    session->watched_ = window;
            });
        }
        return CallNextHookEx(nullptr, code, wParam, lParam);
    }

    // On the menu's window from its creation to its WM_CREATE, after which
    // the window knows its menu.
    static LRESULT CALLBACK MenuWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                           DWORD_PTR data) {
        LRESULT result = 0;
        Guarded([&] {
            auto* session = reinterpret_cast<MenuSession*>(data);
            result = DefSubclassProc(window, message, wParam, lParam);
            if (message != WM_CREATE && message != WM_NCDESTROY) return;
            RemoveWindowSubclass(window, &MenuWindowProc, id);
            session->watched_ = nullptr;
            if (message == WM_CREATE)
                session->AddItem(reinterpret_cast<HMENU>(SendMessageW(window, kGetMenuOfWindow, 0, 0)));
        });
        return result;
    }

    static LRESULT CALLBACK InputHook(int code, WPARAM wParam, LPARAM lParam) {
        if (code == MSGF_MENU && open_) {
            MenuSession* const session = open_;
            Guarded([&] { session->SeeInput(*reinterpret_cast<const MSG*>(lParam)); });
        }
        return CallNextHookEx(nullptr, code, wParam, lParam);
    }

    // Hook procedures get no context: the session of the menu open on this
    // thread, set and cleared by the session itself.
    static thread_local MenuSession* open_;

    HWND area_;
    std::optional<std::u16string> code_;
    MenuSession*& slot_;
    MenuSession* outer_;
    HMENU menu_ = nullptr;  // the menu the item went into
    int itemPosition_ = -1;
    bool highlighted_ = false;
    bool chosen_ = false;
    HWND watched_ = nullptr;  // the menu's window, until its WM_CREATE
    UniqueHook creation_;
    UniqueHook input_;
};

thread_local TResultAreaQrCode::MenuSession* TResultAreaQrCode::MenuSession::open_ = nullptr;

// --- the result area --------------------------------------------------------------

TResultAreaQrCode::TResultAreaQrCode(HWND area) : area_(area), window_(GetAncestor(area, GA_ROOT)) {
    if (!SetWindowSubclass(area_, &SubclassProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this)))
        throw Failure(u"WindowError", u"Cannot subclass the result area");
}

TResultAreaQrCode::~TResultAreaQrCode() {
    if (area_) RemoveWindowSubclass(area_, &SubclassProc, kSubclassId);
}

LRESULT CALLBACK TResultAreaQrCode::SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                                 DWORD_PTR data) {
    (void)window;
    LRESULT result = 0;
    Guarded([&] { result = reinterpret_cast<TResultAreaQrCode*>(data)->Handle(message, wParam, lParam); });
    return result;
}

LRESULT TResultAreaQrCode::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
    const HWND area = area_;
    switch (message) {
        case WM_CONTEXTMENU:
            return ShowShortcutMenu(wParam, lParam);
        case WM_INITMENUPOPUP:
            // Before the style and the control see it: the item is drawn and
            // laid out like the others.
            if (menu_) menu_->AddItem(reinterpret_cast<HMENU>(wParam));
            break;
        case WM_MENUSELECT:
            if (menu_) menu_->Highlighted(wParam, lParam);
            break;
        case WM_KEYDOWN:
            if (wParam == 'Q' && Pressed(VK_CONTROL) && !Pressed(VK_SHIFT) && !Pressed(VK_MENU)) {
                ctrlQCharPending_ = true;
                if (const std::optional<std::u16string> code = CodeAtSelection()) window_.Show(*code);
                return 0;
            }
            break;
        case WM_CHAR: {
            const bool pending = std::exchange(ctrlQCharPending_, false);
            if (pending && wParam == kCtrlQCharacter) return 0;
            break;
        }
        case kItemId:
            return 0;
        case WM_NCDESTROY:
            RemoveWindowSubclass(area, &SubclassProc, kSubclassId);
            area_ = nullptr;
            break;
        default:
            break;
    }
    return DefSubclassProc(area, message, wParam, lParam);
}

LRESULT TResultAreaQrCode::ShowShortcutMenu(WPARAM wParam, LPARAM lParam) {
    std::optional<std::u16string> chosen;
    LRESULT result = 0;
    {
        MenuSession session(area_, CodeAtSelection(), menu_);
        result = DefSubclassProc(area_, WM_CONTEXTMENU, wParam, lParam);
        if (session.Chosen()) chosen = session.Code();
    }
    if (chosen) window_.Show(*chosen);
    return result;
}

std::optional<std::u16string> TResultAreaQrCode::CodeAtSelection() const {
    DWORD start = 0, end = 0;
    SendMessageW(area_, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    return PixCodeAt(U16(WindowText(area_)), start, end);
}

}  // namespace pix::qr
