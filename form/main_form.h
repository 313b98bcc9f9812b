// The PIX request form: the program's one window.
#pragma once

#include <windows.h>

#include <array>

#include "win/form.h"
#include "base/handles.h"
#include "form/controls.h"
#include "form/core/layout.h"
#include "pixlib/core/counted_text.h"

class TForm1 : public pix::TForm {
public:
    explicit TForm1(pix::FormHost& host) : TForm(host) {}
    ~TForm1() override;

    void Create() override;
    bool PreTranslateMessage(const MSG& message) override;

    // Declared in this order; each is a child of the window or of Panel1.
    pix::TMemo Memo1;
    pix::TButton Button2;
    pix::TPanel Panel1;
    pix::TEdit edtCodigoSolicitacaoBancoCentral;
    pix::TEdit edtConvenio;
    pix::TEdit edtDeveloperApplicationKey;
    pix::TEdit edtBoleto;
    pix::TLabel Label1;
    pix::TLabel Label2;
    pix::TLabel Label3;
    pix::TLabel Label4;
    pix::TEdit edtClientId;
    pix::TLabel Label5;
    pix::TEdit edtClientSecret;
    pix::TLabel Label6;
    pix::TLabel Label7;
    pix::TLabel Label8;
    pix::TDateTimePicker edtVencimento;
    pix::TEdit edtValor;

    // The click of "Gerar".
    void Button2Click(void* sender);

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    // Reads the five credential fields and calls the library; returns its
    // result pointer unchanged.
    const wchar_t* GerarPix(const pix::CountedText& boleto, double valor, double vencimento);

    // --- building and geometry ---
    void CreateControls();
    pix::TControl& Control(int id);
    // From one DPI to another: font, margins and the panel from the design,
    // the sizes the user chose from the current ones; the layout follows.
    void ScaleControls(int fromDpi, int toDpi);
    // The one font of every control, at the current height.
    pix::UniqueFont CreateFormFont() const;
    void ApplyFont();
    void LayOutDockedControls();
    void SetClientSize(pix::layout::Size size);

    // --- focus and keys ---
    pix::TControl* FocusedControl();
    void FocusNextTabStop(const pix::TControl* from, bool forward);
    void FocusNextSibling(const pix::TControl* from, bool forward);
    void RememberFocus();
    void RestoreFocus();

    int dpi_ = pix::layout::kDesignDpi;
    int fontHeight_ = 0;
    pix::layout::Margins margins_;
    pix::UniqueFont font_;  // the one font of every control
    bool controlsCreated_ = false;
    HWND lastFocus_ = nullptr;  // where the focus goes back on activation
};

extern TForm1* Form1;
