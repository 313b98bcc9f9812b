// What NewPix receives, checked before anything goes to the bank: every
// failure names the field, so the user knows what to correct.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "bank001/core/secret.h"
#include "base/core/result.h"

namespace bank001 {

// The arguments of one call, as UTF-8.
struct Inputs {
    std::string bankCode, appKey, clientId;
    Secret clientSecret;
    std::string convenio, pixKey, boleto;
    double valor = 0;
    double vencimento = 0;
};

enum class KeyKind { Cpf, Cnpj, Email, Phone, Random };

// The inputs once they passed every check.
struct Charge {
    std::string convenio;      // 7 digits
    std::string nossoNumero;   // 20 digits: "000" + convênio + 10 digits
    std::int64_t cents = 0;    // the amount, above zero
    long long dueDay = 0;      // whole days from 30 December 1899
    KeyKind keyKind = KeyKind::Random;
};

// Each fails with what is wrong with the value (a sentence naming the
// field, without the leading "Erro: ").
pix::Result<std::string> CheckConvenio(std::string_view convenio);
// The nosso número of a boleto given whole (20 digits) or by its last 10 digits.
pix::Result<std::string> ComposeNossoNumero(std::string_view boleto, std::string_view convenio);
// The kind of key the text was read as (also when it fails).
pix::Result<KeyKind> CheckPixKey(std::string_view key);
// The amount in cents.
pix::Result<std::int64_t> CheckAmount(double valor);

// Mod-11 check digits; the CNPJ may hold letters in its first 12 places.
bool ValidCpf(std::string_view cpf);
bool ValidCnpj(std::string_view cnpj);

// All of the above plus the bank code and the credentials, in the order of
// the form.
pix::Result<Charge> CheckInputs(const Inputs& in);

}  // namespace bank001
