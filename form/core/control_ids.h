// The control ids of the PIX request form, in the order TForm1 declares its
// controls. Each control carries its id (GetDlgCtrlID), so a program that
// drives the window from outside finds it with GetDlgItem on its parent.
// Platform-free: the layout arithmetic indexes its tables by these too.
#pragma once

namespace pix::ids {

inline constexpr int kFirst = 1001;

enum : int {
    Memo1 = kFirst,
    Button2,
    Panel1,
    edtCodigoSolicitacaoBancoCentral,
    edtConvenio,
    edtDeveloperApplicationKey,
    edtBoleto,
    Label1,
    Label2,
    Label3,
    Label4,
    edtClientId,
    Label5,
    edtClientSecret,
    Label6,
    Label7,
    Label8,
    edtVencimento,
    edtValor,
    kEnd
};

inline constexpr int kCount = kEnd - kFirst;

// Position of a control in declaration order, 0 for Memo1.
constexpr int Index(int id) noexcept { return id - kFirst; }

}  // namespace pix::ids
