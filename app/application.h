// The application object: one per process. It owns the hidden application
// window, the forms, the loop and the way the process ends.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "win/core/format_settings.h"
#include "style/style_manager.h"
#include "win/form.h"
#include "win/window.h"

namespace pix {

// The hidden application window: never shown, no taskbar button; it hears
// the broadcasts that concern the whole program.
class TApplicationWindow final : public TWindow {
public:
    TApplicationWindow(const std::u16string& title, HICON icon);
    ~TApplicationWindow() override;

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
};

class TApplication final : public FormHost {
public:
    TApplication(HINSTANCE instance, int showState, FormatSettings settings);
    ~TApplication();
    TApplication(const TApplication&) = delete;
    TApplication& operator=(const TApplication&) = delete;

    void Initialize();
    void SetMainFormOnTaskBar();

    // Builds a form; the first one becomes the main window. The reference is
    // set before the window is built, and cleared again if building fails.
    template <class Form>
    void CreateForm(Form*& reference) {
        auto form = std::make_unique<Form>(static_cast<FormHost&>(*this));
        reference = form.get();
        try {
            form->Create();
        } catch (...) {
            reference = nullptr;
            throw;
        }
        AdoptForm(std::move(form));
    }

    // Shows the main window by the start-up show state and runs the loop
    // until terminate is set.
    void Run();
    void Terminate() noexcept override;

    const std::u16string& Title() const noexcept { return title_; }
    const FormatSettings& Settings() const noexcept override { return settings_; }
    HWND Handle() const noexcept { return window_ ? window_->Handle() : nullptr; }
    HICON Icon() const noexcept override { return icon_; }
    TForm* MainForm() const noexcept { return mainForm_; }
    bool IsMainForm(const TForm& form) const noexcept override { return mainForm_ == &form; }
    bool ComInitialized() const noexcept { return comInitialized_; }
    bool MainFormOnTaskBar() const noexcept override { return mainFormOnTaskBar_; }
    style::TStyleManager& Styles() noexcept { return styles_; }

    // What the hidden window does with the messages it examines first.
    void ExamineApplicationMessage(UINT message, LPARAM lParam);

    // Exit processing, first half: hides the pop-ups owned by the application
    // and destroys the forms.
    void HideOwnedPopups() noexcept;
    void DestroyForms() noexcept;

private:
    void AdoptForm(std::unique_ptr<TForm> form);
    void ProcessOnePass();
    void ReadFormatSettings();

    HINSTANCE instance_;
    int showState_;
    FormatSettings settings_;
    bool oleInitialized_ = false;
    bool comInitialized_ = false;
    HICON icon_ = nullptr;  // shared resource icon: not destroyed
    std::u16string title_;
    std::unique_ptr<TApplicationWindow> window_;
    UINT taskbarCreated_ = 0;
    bool mainFormOnTaskBar_ = false;
    bool terminate_ = false;
    TForm* mainForm_ = nullptr;
    std::vector<std::unique_ptr<TForm>> forms_;
    // Declared last, released first after the forms: nothing it draws is left.
    style::TStyleManager styles_;
};

// The application object.
extern std::unique_ptr<TApplication> Application;

// The format settings from the thread locale.
FormatSettings ReadThreadFormatSettings();

// The exit processing: pop-ups hidden, forms destroyed, the application
// object destroyed (its window, OLE), COM released, the process ended.
[[noreturn]] void ExitProcessing(UINT exitCode) noexcept;

}  // namespace pix
