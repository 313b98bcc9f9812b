#include "app/application.h"

#include <objbase.h>
#include <ole2.h>

#include "form/bench_timing.h"
#include "win/core/title.h"
#include "base/module.h"
#include "win/guard.h"
#include "base/text.h"

namespace pix {

std::unique_ptr<TApplication> Application;

namespace {

constexpr wchar_t kApplicationWindowClass[] = L"PixGenApplication";

void LowerCase(char16_t* text, std::size_t count) {
    CharLowerBuffW(reinterpret_cast<wchar_t*>(text), static_cast<DWORD>(count));
}

std::u16string LocaleText(LCID locale, LCTYPE type) {
    wchar_t buffer[128];
    const int n = GetLocaleInfoW(locale, type, buffer, 128);
    return n > 1 ? std::u16string(U16(std::wstring_view(buffer, static_cast<std::size_t>(n - 1)))) : std::u16string();
}

}  // namespace

FormatSettings ReadThreadFormatSettings() {
    const LCID locale = GetThreadLocale();
    FormatSettings settings;
    settings.decimalSeparator = SingleCharacterOr(LocaleText(locale, LOCALE_SDECIMAL), u'.');
    settings.thousandSeparator = SingleCharacterOr(LocaleText(locale, LOCALE_STHOUSAND), u',');
    settings.dateSeparator = SingleCharacterOr(LocaleText(locale, LOCALE_SDATE), u'/');
    settings.timeSeparator = SingleCharacterOr(LocaleText(locale, LOCALE_STIME), u':');
    settings.listSeparator = SingleCharacterOr(LocaleText(locale, LOCALE_SLIST), u',');
    settings.shortDateFormat = LocaleText(locale, LOCALE_SSHORTDATE);
    settings.longDateFormat = LocaleText(locale, LOCALE_SLONGDATE);
    settings.currencyString = LocaleText(locale, LOCALE_SCURRENCY);
    return settings;
}

// --- the hidden application window ---------------------------------------

TApplicationWindow::TApplicationWindow(const std::u16string& title, HICON icon) {
    // Never shown; it sits at the centre of the primary monitor so that a
    // dialog it owns appears there.
    const int x = GetSystemMetrics(SM_CXSCREEN) / 2;
    const int y = GetSystemMetrics(SM_CYSCREEN) / 2;
    CreateHandle({kApplicationWindowClass, 0, icon, nullptr},
                 {W(title).c_str(), WS_POPUP | WS_CLIPSIBLINGS, WS_EX_TOOLWINDOW, x, y, 0, 0, nullptr});
    SendMessageW(Handle(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
}

TApplicationWindow::~TApplicationWindow() {
    DestroyHandle();
}

LRESULT TApplicationWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (Application) Application->ExamineApplicationMessage(message, lParam);
    switch (message) {
        case WM_CLOSE:
            if (Application && Application->MainForm())
                SendMessageW(Application->MainForm()->Handle(), WM_CLOSE, 0, 0);
            return 0;
        case WM_QUERYENDSESSION:
            return TRUE;
        case WM_ENDSESSION:
            if (wParam) {
                if (Application) Application->Terminate();
                ExitProcessing(0);  // the logon ends now; Windows will not wait for the loop
            }
            return 0;
        default:
            return DefaultHandler(message, wParam, lParam);
    }
}

// --- the application object ----------------------------------------------

TApplication::TApplication(HINSTANCE instance, int showState, FormatSettings settings)
    : instance_(instance), showState_(showState), settings_(std::move(settings)) {
    oleInitialized_ = SUCCEEDED(OleInitialize(nullptr));
    bench::EndOfPhase("ole");
    icon_ = LoadIconW(instance_, L"MAINICON");
    if (!icon_) icon_ = LoadIconW(nullptr, IDI_APPLICATION);
    title_ = ApplicationTitle(U16(ProgramPath()), &LowerCase);
    window_ = std::make_unique<TApplicationWindow>(title_, icon_);
    taskbarCreated_ = RegisterWindowMessageW(L"TaskbarCreated");
    SetFailureReporting({title_, window_->Handle()});
}

TApplication::~TApplication() {
    DestroyForms();
    SetFailureReporting({});
    window_.reset();
    if (oleInitialized_) OleUninitialize();
}

void TApplication::Initialize() {
    // The apartment exists since OleInitialize; this only balances the count.
    comInitialized_ = SUCCEEDED(CoInitialize(nullptr));
}

void TApplication::SetMainFormOnTaskBar() {
    mainFormOnTaskBar_ = true;
    // Only the main window shows a caption on the taskbar.
    SetWindowTextW(Handle(), L"");
}

void TApplication::AdoptForm(std::unique_ptr<TForm> form) {
    TForm* adopted = form.get();
    forms_.push_back(std::move(form));
    if (mainForm_) return;
    mainForm_ = adopted;
    const HWND hidden = Handle();
    SetWindowLongPtrW(hidden, GWL_EXSTYLE, GetWindowLongPtrW(hidden, GWL_EXSTYLE) | WS_EX_NOACTIVATE);
}

void TApplication::Run() {
    if (!mainForm_) return;
    const HWND main = mainForm_->Handle();
    switch (showState_) {
        case SW_SHOWMAXIMIZED: ShowWindow(main, SW_SHOWMAXIMIZED); break;
        case SW_SHOWMINNOACTIVE: ShowWindow(main, SW_SHOWMINNOACTIVE); break;
        default: ShowWindow(main, SW_SHOWNORMAL); break;
    }
    bench::EndOfPhase("show");
    while (!terminate_) Guarded([this] { ProcessOnePass(); });
}

void TApplication::ProcessOnePass() {
    MSG message;
    if (!PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE)) {
        // Idle: the program shows no hints, so there is nothing to note; block
        // until the next message, never poll.
        bench::LoopIdle();
        WaitMessage();
        return;
    }
    const bool unicode = !message.hwnd || IsWindowUnicode(message.hwnd);
    const BOOL got = unicode ? PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)
                             : PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE);
    if (!got) return;
    if (message.message == WM_QUIT) {
        terminate_ = true;  // the value it carries is ignored
        return;
    }
    if (mainForm_ && mainForm_->PreTranslateMessage(message)) return;
    TranslateMessage(&message);
    if (unicode)
        DispatchMessageW(&message);
    else
        DispatchMessageA(&message);
}

void TApplication::Terminate() noexcept {
    PostQuitMessage(0);
}

void TApplication::ExamineApplicationMessage(UINT message, LPARAM lParam) {
    const auto* section = message == WM_SETTINGCHANGE ? reinterpret_cast<const char16_t*>(lParam) : nullptr;
    if (!MeansFormatSettingsChanged(message, section, taskbarCreated_)) return;
    SetThreadLocale(LOCALE_USER_DEFAULT);
    settings_ = ReadThreadFormatSettings();
}

namespace {
BOOL CALLBACK HideIfOwnedBy(HWND window, LPARAM owner) {
    if (GetWindow(window, GW_OWNER) == reinterpret_cast<HWND>(owner) && IsWindowVisible(window))
        ShowWindow(window, SW_HIDE);
    return TRUE;
}
}  // namespace

void TApplication::HideOwnedPopups() noexcept {
    EnumThreadWindows(GetCurrentThreadId(), &HideIfOwnedBy, reinterpret_cast<LPARAM>(Handle()));
}

void TApplication::DestroyForms() noexcept {
    // Last created, first destroyed; the main window goes with its controls.
    while (!forms_.empty()) forms_.pop_back();
    mainForm_ = nullptr;
}

[[noreturn]] void ExitProcessing(UINT exitCode) noexcept {
    bool comInitialized = false;
    if (Application) {
        Application->HideOwnedPopups();
        Application->DestroyForms();
        comInitialized = Application->ComInitialized();
        Application.reset();  // the hidden window, then OLE
    }
    if (comInitialized) CoUninitialize();
    ExitProcess(exitCode);
}

}  // namespace pix
