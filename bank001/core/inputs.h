// What NewPix receives, checked before anything goes to the bank: every
// failure names the field, so the user knows what to correct.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace bank001 {

// The arguments of one call, as UTF-8.
struct Inputs {
    std::string bankCode, appKey, clientId, clientSecret, convenio, pixKey, boleto;
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

// Each returns an empty text when the value is good, else what is wrong with
// it (a sentence naming the field, without the leading "Erro: ").
std::string CheckConvenio(std::string_view convenio);
// Accepts the 20-digit nosso número of this convênio, or its last 10 digits.
std::string ComposeNossoNumero(std::string_view boleto, std::string_view convenio, std::string& nossoNumero);
std::string CheckPixKey(std::string_view key, KeyKind& kind);
std::string CheckAmount(double valor, std::int64_t& cents);

// Mod-11 check digits; the CNPJ may hold letters in its first 12 places.
bool ValidCpf(std::string_view cpf);
bool ValidCnpj(std::string_view cnpj);

// All of the above plus the bank code and the credentials, in the order of
// the form.
std::string CheckInputs(const Inputs& in, Charge& charge);

}  // namespace bank001
