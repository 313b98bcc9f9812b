// The Gerar action: read the form, call the vendor library, show its answer.
#include <cmath>
#include <string>

#include "base/core/compiler.h"
#include "win/faults.h"
#include "base/text.h"
#include "form/core/amount.h"
#include "form/main_form.h"
#include "form/bench_timing.h"
#include "pixlib/NewPix.h"
#include "pixlib/core/counted_text.h"

namespace {

// The library's answer belongs to the library: it is copied once, up to its
// first zero unit, and the pointer is never touched again.
std::u16string CopyOfResult(const wchar_t* result) {
    return result ? std::u16string(reinterpret_cast<const char16_t*>(result)) : std::u16string();
}

// Whole days only; a day count of -0 is day 0.
double WholeDays(double dateTime) {
    return std::trunc(dateTime) + 0.0;
}

}  // namespace

void TForm1::Button2Click(void* /*sender*/) {
    pix::bench::PressClock clock(Memo1.Handle());  // nothing outside the benchmark build
    std::u16string valorText;
    std::u16string result;
    pix::TMemo::Appending appending(Memo1);  // the caret comes into view once, at the end
    {
        const pix::CountedText boleto(edtBoleto.Text());
        valorText = edtValor.Text();
        const long double amount = pix::ParseAmount(valorText, Host().Settings().decimalSeparator);
        const double valor = pix::RoundAmountToDouble(amount);
        const double vencimento = WholeDays(edtVencimento.DateTime());
        result = CopyOfResult(GerarPix(boleto, valor, vencimento));
        appending.Line(result);
    }  // the boleto text goes here, before the empty line
    appending.Line(u"");
    clock.Succeeded();
}

const wchar_t* TForm1::GerarPix(const pix::CountedText& boleto, double valor, double vencimento) {
    const pix::CountedText chavePix(edtCodigoSolicitacaoBancoCentral.Text());
    const pix::CountedText convenio(edtConvenio.Text());
    const pix::CountedText clientSecret(edtClientSecret.Text());
    const pix::CountedText clientId(edtClientId.Text());
    const pix::CountedText developerApplicationKey(edtDeveloperApplicationKey.Text());
    // Whatever ran on this thread before, the library is entered in the
    // program's own x87 environment.
    pix::cpu::SetX87ControlWord(pix::cpu::kProgramX87ControlWord);
    return pix::CallForeign([&] {
        [[maybe_unused]] const pix::bench::LibraryClock libraryClock;  // nothing outside the benchmark build
        return NewPix(pix::W(pix::kBankCode.Chars()), pix::W(developerApplicationKey.Chars()),
                      pix::W(clientId.Chars()), pix::W(clientSecret.Chars()), pix::W(convenio.Chars()),
                      pix::W(chavePix.Chars()), pix::W(boleto.Chars()), valor, vencimento);
    });
    // The five credential texts are released here, before the result is read.
}
