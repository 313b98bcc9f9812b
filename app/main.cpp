// Start-up: the thread environment, the application object, the main window,
// the loop, and the exit processing, in this order and each step once.
#include <windows.h>

#include "app/application.h"
#include "base/core/compiler.h"
#include "base/system_library.h"
#include "win/startup_failure.h"
#include "form/bench_timing.h"
#include "form/main_form.h"
#include "qr/result_area_qr.h"

PIX_DEFINE_QUIET_TERMINATE_HANDLER()
PIX_DEFINE_QUIET_RUNTIME_ERRORS()

namespace {

// Libraries loaded from here on are searched for in the program's folder and
// the system folder alone, never in the current folder or along PATH, where
// a planted copy could wait (a document opened from a downloads folder). The
// program's folder stays: it is where Quelvano.dll must be, and a vendor
// library may load helpers of its own from beside itself. The program's own
// loads name the system folder in full. Vista's kernel32 has the function
// only with an update, so it is looked up; without it, taking the current
// folder out of the search is what Vista allows.
void SearchLibrariesInSafeFoldersOnly() {
    using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);
    const pix::SystemLibrary kernel32(L"kernel32.dll");
    const auto setDefault = kernel32.Find<SetDefaultDllDirectoriesFunction>("SetDefaultDllDirectories");
    constexpr DWORD kSearchDefaultDirs = 0x00001000;  // LOAD_LIBRARY_SEARCH_DEFAULT_DIRS
    if (setDefault && setDefault(kSearchDefaultDirs)) return;
    SetDllDirectoryW(L"");
}

int StartupShowState() {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    GetStartupInfoW(&startup);
    return (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : SW_SHOWDEFAULT;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    pix::bench::EndOfPhase("loader");  // the benchmark build's marks; nothing elsewhere
    SearchLibrariesInSafeFoldersOnly();
    // The thread environment. The command line is not read.
    SetThreadLocale(LOCALE_USER_DEFAULT);
    pix::cpu::SetX87ControlWord(pix::cpu::kProgramX87ControlWord);
    const int showState = StartupShowState();
    pix::FormatSettings settings = pix::ReadThreadFormatSettings();
    pix::bench::EndOfPhase("thread-environment");

    std::unique_ptr<pix::qr::TResultAreaQrCode> qrCode;
    const bool started = pix::RunStartup([&] {
        pix::Application = std::make_unique<pix::TApplication>(instance, showState, std::move(settings));
        pix::Application->Initialize();
        pix::Application->SetMainFormOnTaskBar();
        pix::bench::EndOfPhase("application");
        // The house style; without it the program runs on in the platform's look.
        (void)pix::Application->Styles().TryActivateStyle(u"Windows10 Corvanti", true);
        pix::bench::EndOfPhase("house-style");
        pix::Application->CreateForm(Form1);
        // The QR Code of the PIX codes in the result area: attached from
        // outside, the form knows nothing of it.
        qrCode = std::make_unique<pix::qr::TResultAreaQrCode>(Form1->Memo1.Handle());
        pix::bench::EndOfPhase("qr-code");
    });
    if (!started) pix::ExitProcessing(1);

    pix::Application->Run();
    qrCode.reset();
    pix::ExitProcessing(0);
}
