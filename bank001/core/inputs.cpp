#include "bank001/core/inputs.h"

#include <cmath>
#include <utility>

namespace bank001 {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsUpperAlnum(char c) { return IsDigit(c) || (c >= 'A' && c <= 'Z'); }
bool IsLowerHex(char c) { return IsDigit(c) || (c >= 'a' && c <= 'f'); }

bool AllDigits(std::string_view text) {
    for (const char c : text)
        if (!IsDigit(c)) return false;
    return !text.empty();
}

// 0 when the remainder is below 2, else 11 - remainder.
int CheckDigit(std::string_view text, const int* weights) {
    int sum = 0;
    for (std::size_t i = 0; i < text.size(); ++i) sum += (text[i] - '0') * weights[i];
    const int r = sum % 11;
    return r < 2 ? 0 : 11 - r;
}

bool ValidEmail(std::string_view key) {
    const std::size_t at = key.find('@');
    if (at == std::string_view::npos || at == 0 || key.find('@', at + 1) != std::string_view::npos) return false;
    const std::string_view domain = key.substr(at + 1);
    const std::size_t dot = domain.find('.');
    if (dot == std::string_view::npos || dot == 0 || domain.back() == '.') return false;
    for (const char c : key) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (u <= ' ' || u >= 0x7F || (c >= 'A' && c <= 'Z')) return false;
    }
    return true;
}

bool ValidRandomKey(std::string_view key) {
    if (key.size() != 36) return false;
    for (std::size_t i = 0; i < key.size(); ++i) {
        const bool dash = i == 8 || i == 13 || i == 18 || i == 23;
        if (dash ? key[i] != '-' : !IsLowerHex(key[i])) return false;
    }
    return true;
}

bool HasControl(std::string_view text) {
    for (const char c : text)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return true;
    return false;
}

}  // namespace

bool ValidCpf(std::string_view cpf) {
    static const int w1[] = {10, 9, 8, 7, 6, 5, 4, 3, 2};
    static const int w2[] = {11, 10, 9, 8, 7, 6, 5, 4, 3, 2};
    if (cpf.size() != 11 || !AllDigits(cpf)) return false;
    // Eleven equal digits pass the arithmetic but are no CPF.
    if (cpf.find_first_not_of(cpf[0]) == std::string_view::npos) return false;
    return CheckDigit(cpf.substr(0, 9), w1) == cpf[9] - '0' && CheckDigit(cpf.substr(0, 10), w2) == cpf[10] - '0';
}

bool ValidCnpj(std::string_view cnpj) {
    static const int w1[] = {5, 4, 3, 2, 9, 8, 7, 6, 5, 4, 3, 2};
    static const int w2[] = {6, 5, 4, 3, 2, 9, 8, 7, 6, 5, 4, 3, 2};
    if (cnpj.size() != 14 || !IsDigit(cnpj[12]) || !IsDigit(cnpj[13])) return false;
    for (std::size_t i = 0; i < 12; ++i)
        if (!IsUpperAlnum(cnpj[i])) return false;
    if (cnpj.find_first_not_of(cnpj[0]) == std::string_view::npos) return false;
    return CheckDigit(cnpj.substr(0, 12), w1) == cnpj[12] - '0' && CheckDigit(cnpj.substr(0, 13), w2) == cnpj[13] - '0';
}

pix::Result<std::string> CheckConvenio(std::string_view convenio) {
    using Checked = pix::Result<std::string>;
    if (convenio.empty()) return Checked::Failed("Convênio está vazio.");
    if (convenio.size() != 7 || !AllDigits(convenio)) return Checked::Failed("Convênio deve ter 7 dígitos.");
    return {std::string(convenio), {}};
}

pix::Result<std::string> ComposeNossoNumero(std::string_view boleto, std::string_view convenio) {
    using Composed = pix::Result<std::string>;
    if (boleto.empty()) return Composed::Failed("Boleto está vazio.");
    if (!AllDigits(boleto) || (boleto.size() != 10 && boleto.size() != 20))
        return Composed::Failed(
            "Boleto deve ser o nosso número de 20 dígitos (000 + convênio + 10 dígitos) ou os seus 10 últimos dígitos.");
    if (boleto.size() == 10) return {"000" + std::string(convenio) + std::string(boleto), {}};
    if (boleto.substr(0, 3) != "000" || boleto.substr(3, 7) != convenio)
        return Composed::Failed("Boleto: o nosso número deve começar com 000 e o convênio " + std::string(convenio) +
                                ".");
    return {std::string(boleto), {}};
}

pix::Result<KeyKind> CheckPixKey(std::string_view key) {
    using Kind = pix::Result<KeyKind>;
    if (key.empty()) return Kind::Failed("Chave Pix está vazia.");
    if (key.size() > 77) return Kind::Failed("Chave Pix tem mais de 77 caracteres.");
    auto read = [](KeyKind kind, bool valid, const char* complaint) -> Kind {
        return {kind, valid ? std::string() : std::string(complaint)};
    };
    if (key[0] == '+') {
        const std::string_view digits = key.substr(1);
        return read(KeyKind::Phone,
                    key.substr(0, 3) == "+55" && AllDigits(digits) && (digits.size() == 12 || digits.size() == 13),
                    "Chave Pix: o telefone deve ser +55 seguido de DDD e número (10 ou 11 dígitos).");
    }
    if (key.find('@') != std::string_view::npos)
        return read(KeyKind::Email, ValidEmail(key), "Chave Pix: e-mail inválido (use letras minúsculas, sem espaços).");
    if (key.size() == 36 && key[8] == '-')
        return read(KeyKind::Random, ValidRandomKey(key),
                    "Chave Pix: chave aleatória inválida (UUID em letras minúsculas).");
    if (key.size() == 11 && AllDigits(key))
        return read(KeyKind::Cpf, ValidCpf(key), "Chave Pix: CPF com dígitos verificadores inválidos.");
    if (key.size() == 14) return read(KeyKind::Cnpj, ValidCnpj(key), "Chave Pix: CNPJ inválido.");
    return Kind::Failed("Chave Pix: não é CPF, CNPJ, e-mail, telefone (+55...) nem chave aleatória.");
}

pix::Result<std::int64_t> CheckAmount(double valor) {
    using Cents = pix::Result<std::int64_t>;
    // Up to 9 999 999 999.99: the longest amount a BR Code can carry (13 characters).
    constexpr double kMaximum = 9999999999.99;
    if (!std::isfinite(valor) || valor <= 0) return Cents::Failed("Valor deve ser maior que zero.");
    if (valor > kMaximum) return Cents::Failed("Valor acima do máximo de 9999999999,99.");
    const double scaled = valor * 100;
    const double whole = std::nearbyint(scaled);
    // A typed 12.34 arrives as the nearest binary64, whose hundredfold lies
    // within a few units of the last place of 1234.
    if (std::fabs(scaled - whole) > 1e-6 * std::fmax(1.0, whole))
        return Cents::Failed("Valor deve ter no máximo duas casas decimais.");
    const auto cents = static_cast<std::int64_t>(whole);
    if (cents <= 0) return Cents::Failed("Valor deve ser maior que zero.");
    return {cents, {}};
}

pix::Result<Charge> CheckInputs(const Inputs& in) {
    using Checked = pix::Result<Charge>;
    if (in.bankCode != "001") return Checked::Failed("Banco \"" + in.bankCode + "\" não é atendido: só o banco 001.");
    const std::pair<const char*, std::string_view> credentials[] = {
        {"DeveloperApplicationKey", in.appKey}, {"ClientId", in.clientId}, {"ClientSecret", in.clientSecret.View()}};
    for (const auto& [name, value] : credentials) {
        if (value.empty()) return Checked::Failed(std::string(name) + " está vazio.");
        if (HasControl(value)) return Checked::Failed(std::string(name) + " contém caracteres de controle.");
    }
    Charge charge;
    const pix::Result<std::string> convenio = CheckConvenio(in.convenio);
    if (!convenio.Ok()) return Checked::Failed(convenio.error);
    const pix::Result<KeyKind> kind = CheckPixKey(in.pixKey);
    if (!kind.Ok()) return Checked::Failed(kind.error);
    const pix::Result<std::string> nossoNumero = ComposeNossoNumero(in.boleto, in.convenio);
    if (!nossoNumero.Ok()) return Checked::Failed(nossoNumero.error);
    const pix::Result<std::int64_t> cents = CheckAmount(in.valor);
    if (!cents.Ok()) return Checked::Failed(cents.error);
    if (!std::isfinite(in.vencimento) || std::fabs(in.vencimento) > 3e6) return Checked::Failed("Vencimento inválido.");
    charge.convenio = convenio.value;
    charge.keyKind = kind.value;
    charge.nossoNumero = nossoNumero.value;
    charge.cents = cents.value;
    charge.dueDay = static_cast<long long>(std::trunc(in.vencimento));
    return {charge, {}};
}

}  // namespace bank001
