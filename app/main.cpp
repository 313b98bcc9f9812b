// Start-up: the thread environment, the application object, the main window,
// the loop, and the exit processing, in this order and each step once.
#include <windows.h>

#include "app/application.h"
#include "base/core/compiler.h"
#include "win/startup_failure.h"
#include "form/main_form.h"

namespace {

int StartupShowState() {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    GetStartupInfoW(&startup);
    return (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : SW_SHOWDEFAULT;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    // The thread environment. The command line is not read.
    SetThreadLocale(LOCALE_USER_DEFAULT);
    pix::cpu::SetX87ControlWord(pix::cpu::kProgramX87ControlWord);
    const int showState = StartupShowState();
    pix::FormatSettings settings = pix::ReadThreadFormatSettings();

    const bool started = pix::RunStartup([&] {
        pix::Application = std::make_unique<pix::TApplication>(instance, showState, std::move(settings));
        pix::Application->Initialize();
        pix::Application->SetMainFormOnTaskBar();
        // The house style; without it the program runs on in the platform's look.
        (void)pix::Application->Styles().TryActivateStyle(u"Windows10 Corvanti", true);
        pix::Application->CreateForm(Form1);
    });
    if (!started) pix::ExitProcessing(1);

    pix::Application->Run();
    pix::ExitProcessing(0);
}
