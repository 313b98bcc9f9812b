#include "bank001/core/emv.h"

#include <cstdio>

#include "bank001/core/text.h"

namespace bank001 {

namespace {

using Checked = pix::Result<BrCodeFacts>;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool AllDigits(std::string_view text) {
    for (const char c : text)
        if (!IsDigit(c)) return false;
    return !text.empty();
}

const Tlv* Find(const std::vector<Tlv>& fields, std::string_view tag) {
    for (const Tlv& field : fields)
        if (field.tag == tag) return &field;
    return nullptr;
}

// The first tag that appears twice, or empty.
std::string Repeated(const std::vector<Tlv>& fields) {
    for (std::size_t i = 0; i < fields.size(); ++i)
        for (std::size_t j = i + 1; j < fields.size(); ++j)
            if (fields[i].tag == fields[j].tag) return fields[i].tag;
    return {};
}

// "123.45", "10", "0.5": digits with an optional point and at most two
// decimals, as cents; false for anything else ("10,00", "1e3", "-1").
bool AmountCents(std::string_view text, std::int64_t& cents) {
    const std::size_t point = text.find('.');
    const std::string_view whole = text.substr(0, point);
    const std::string_view fraction = point == std::string_view::npos ? std::string_view() : text.substr(point + 1);
    if (whole.empty() || whole.size() > 10 || fraction.size() > 2) return false;
    if (point != std::string_view::npos && fraction.empty()) return false;
    std::int64_t value = 0;
    for (const char c : whole) {
        if (!IsDigit(c)) return false;
        value = value * 10 + (c - '0');
    }
    for (std::size_t i = 0; i < 2; ++i) {
        const char c = i < fraction.size() ? fraction[i] : '0';
        if (!IsDigit(c)) return false;
        value = value * 10 + (c - '0');
    }
    cents = value;
    return true;
}

std::string CentsText(std::int64_t cents) {
    char text[40];
    std::snprintf(text, sizeof text, "%lld.%02lld", static_cast<long long>(cents / 100),
                  static_cast<long long>(cents % 100));
    return text;
}

bool IsHostCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || IsDigit(c) || c == '-' || c == '.';
}

// The host a URL names, with or without a scheme: what lies before the
// first '/', ':' or '?' after it.
std::string HostOf(std::string_view url) {
    const std::size_t scheme = url.find("://");
    if (scheme != std::string_view::npos) url.remove_prefix(scheme + 3);
    return Lowered(url.substr(0, url.find_first_of("/:?#")));
}

// A location is host/path: the payer's app puts "https://" in front of it
// itself, so a scheme, a port or user information in it is a different
// address than the one the app will reach.
std::string CheckLocation(std::string_view location, std::string_view bankUrl) {
    const std::size_t slash = location.find('/');
    const std::string_view host = location.substr(0, slash);
    if (location.find("://") != std::string_view::npos)
        return "a localização do Pix (campo 26-25) traz um esquema (\"" + BankText(location.substr(0, location.find("://") + 3), 20) +
               "\"); deve começar pelo servidor.";
    bool hostOk = !host.empty() && host.find('.') != std::string_view::npos && host.front() != '.' && host.back() != '.';
    for (const char c : host) hostOk = hostOk && IsHostCharacter(c);
    if (!hostOk || slash == std::string_view::npos || slash + 1 == location.size())
        return "a localização do Pix (campo 26-25) \"" + BankText(location, 80) + "\" não é servidor/caminho.";
    for (const char c : location.substr(slash))
        if (static_cast<unsigned char>(c) <= ' ' || static_cast<unsigned char>(c) >= 0x7F)
            return "a localização do Pix (campo 26-25) tem caracteres inválidos.";
    if (!bankUrl.empty() && Lowered(host) != HostOf(bankUrl))
        return "a localização do Pix (campo 26-25) aponta para " + BankText(host, 80) + ", não para " +
               BankText(HostOf(bankUrl), 80) + " como a resposta do banco (qrCode.url).";
    return {};
}

std::string CheckMerchantAccount(const Tlv* account, std::string_view bankUrl, std::string& location) {
    if (!account) return "falta a conta do recebedor (campo 26).";
    const pix::Result<std::vector<Tlv>> inner = ParseTlv(account->value);
    if (!inner.Ok()) return "conta do recebedor (campo 26): " + inner.error;
    const std::string repeated = Repeated(inner.value);
    if (!repeated.empty()) return "o campo 26-" + repeated + " aparece mais de uma vez.";
    const Tlv* gui = Find(inner.value, "00");
    if (!gui || Lowered(gui->value) != "br.gov.bcb.pix")
        return "o identificador do arranjo (campo 26-00) não é br.gov.bcb.pix.";
    const Tlv* url = Find(inner.value, "25");
    if (!url || url->value.empty()) return "falta a localização do Pix (campo 26-25).";
    if (Characters(url->value) > 77) return "a localização do Pix (campo 26-25) passa de 77 caracteres.";
    location = url->value;
    return CheckLocation(url->value, bankUrl);
}

std::string CheckAdditionalData(const Tlv* extra, std::string& txId) {
    if (!extra) return "falta o campo de dados adicionais (62).";
    const pix::Result<std::vector<Tlv>> inner = ParseTlv(extra->value);
    if (!inner.Ok()) return "dados adicionais (campo 62): " + inner.error;
    const std::string repeated = Repeated(inner.value);
    if (!repeated.empty()) return "o campo 62-" + repeated + " aparece mais de uma vez.";
    const Tlv* txid = Find(inner.value, "05");
    if (!txid || txid->value.empty() || txid->value.size() > 25) return "o txid (campo 62-05) falta ou passa de 25 caracteres.";
    if (txid->value != "***")
        for (const char c : txid->value)
            if (!(IsDigit(c) || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')))
                return "o txid (campo 62-05) tem caracteres inválidos.";
    txId = txid->value;
    return {};
}

// A text field that must be there and not beyond its length in characters.
std::string CheckLength(const Tlv* field, const char* what, std::size_t maximum) {
    if (!field || field->value.empty() || Characters(field->value) > maximum)
        return std::string(what) + " falta ou passa de " + std::to_string(maximum) + " caracteres.";
    return {};
}

}  // namespace

pix::Result<std::vector<Tlv>> ParseTlv(std::string_view text) {
    pix::brcode::Split split = pix::brcode::SplitFields(text);
    if (split.Whole()) return {std::move(split.fields), {}};
    if (split.pastTheEnd)
        return pix::Result<std::vector<Tlv>>::Failed("o campo " + std::string(text.substr(split.brokenAt, 2)) +
                                                     " passa do fim do texto.");
    return pix::Result<std::vector<Tlv>>::Failed("estrutura TLV quebrada na posição " + std::to_string(split.brokenAt) +
                                                 ".");
}

pix::Result<BrCodeFacts> CheckBrCode(std::string_view emv, std::int64_t cents, std::string_view bankUrl) {
    if (emv.empty()) return Checked::Failed("o código está vazio.");
    if (Characters(emv) > kMaximumBrCode)
        return Checked::Failed("o código passa de " + std::to_string(kMaximumBrCode) + " caracteres.");
    for (const char c : emv)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return Checked::Failed("o código contém caracteres de controle.");
    const pix::Result<std::vector<Tlv>> parsed = ParseTlv(emv);
    if (!parsed.Ok()) return Checked::Failed(parsed.error);
    const std::vector<Tlv>& fields = parsed.value;
    if (fields.empty() || fields.front().tag != "00" || fields.front().value != "01")
        return Checked::Failed("o código não começa pelo formato 01 (campo 00).");
    const Tlv& crc = fields.back();
    if (crc.tag != "63" || crc.value.size() != 4) return Checked::Failed("o código não termina pelo CRC (campo 63).");
    const std::string repeated = Repeated(fields);
    if (!repeated.empty()) return Checked::Failed("o campo " + repeated + " aparece mais de uma vez.");
    char expected[8];
    std::snprintf(expected, sizeof expected, "%04X", Crc16(emv.substr(0, emv.size() - 4)));
    if (crc.value != expected) return Checked::Failed("CRC " + crc.value + " não confere (esperado " + expected + ").");

    if (const Tlv* initiation = Find(fields, "01"); initiation && initiation->value != "11" && initiation->value != "12")
        return Checked::Failed("o método de iniciação (campo 01) não é 11 nem 12.");
    BrCodeFacts facts;
    std::string error = CheckMerchantAccount(Find(fields, "26"), bankUrl, facts.location);
    if (!error.empty()) return Checked::Failed(error);
    const Tlv* category = Find(fields, "52");
    if (!category || category->value.size() != 4 || !AllDigits(category->value))
        return Checked::Failed("a categoria do recebedor (campo 52) falta ou não tem quatro dígitos.");
    const Tlv* currency = Find(fields, "53");
    if (!currency || currency->value != "986") return Checked::Failed("a moeda (campo 53) não é o real (986).");
    const Tlv* country = Find(fields, "58");
    if (!country || country->value != "BR") return Checked::Failed("o país (campo 58) não é BR.");
    error = CheckLength(Find(fields, "59"), "o nome do recebedor (campo 59)", 25);
    if (error.empty()) error = CheckLength(Find(fields, "60"), "a cidade (campo 60)", 15);
    if (error.empty()) error = CheckAdditionalData(Find(fields, "62"), facts.txId);
    if (!error.empty()) return Checked::Failed(error);
    if (const Tlv* amount = Find(fields, "54")) {
        std::int64_t amountCents = 0;
        if (!AmountCents(amount->value, amountCents))
            return Checked::Failed("o valor (campo 54) \"" + BankText(amount->value, 20) + "\" é inválido.");
        if (amountCents != cents)
            return Checked::Failed("o valor do código (" + amount->value + ") difere do valor digitado (" +
                                   CentsText(cents) + ").");
    }
    return {facts, {}};
}

}  // namespace bank001
