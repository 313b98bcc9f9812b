#include "bank001/core/emv.h"

#include <cstdio>

namespace bank001 {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Characters of UTF-8 text: the lengths of a BR Code count characters.
std::size_t Characters(std::string_view text) {
    std::size_t n = 0;
    for (const char c : text)
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++n;
    return n;
}

const Tlv* Find(const std::vector<Tlv>& fields, std::string_view tag) {
    for (const Tlv& field : fields)
        if (field.tag == tag) return &field;
    return nullptr;
}

bool EqualIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
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
    std::snprintf(text, sizeof text, "%lld.%02lld", static_cast<long long>(cents / 100), static_cast<long long>(cents % 100));
    return text;
}

std::string CheckMerchantAccount(const Tlv* account) {
    if (!account) return "falta a conta do recebedor (campo 26).";
    if (Characters(account->value) > 99) return "a conta do recebedor (campo 26) passa de 99 caracteres.";
    std::vector<Tlv> inner;
    std::string error;
    if (!ParseTlv(account->value, inner, error)) return "conta do recebedor (campo 26): " + error;
    const Tlv* gui = Find(inner, "00");
    if (!gui || !EqualIgnoringCase(gui->value, "br.gov.bcb.pix")) return "o identificador do arranjo (campo 26-00) não é br.gov.bcb.pix.";
    const Tlv* location = Find(inner, "25");
    if (!location || location->value.empty()) return "falta a localização do Pix (campo 26-25).";
    if (Characters(location->value) > 77) return "a localização do Pix (campo 26-25) passa de 77 caracteres.";
    return {};
}

}  // namespace

bool ParseTlv(std::string_view text, std::vector<Tlv>& fields, std::string& error) {
    pix::brcode::Split split = pix::brcode::SplitFields(text);
    fields = std::move(split.fields);
    if (split.Whole()) return true;
    if (split.pastTheEnd)
        error = "o campo " + std::string(text.substr(split.brokenAt, 2)) + " passa do fim do texto.";
    else
        error = "estrutura TLV quebrada na posição " + std::to_string(split.brokenAt) + ".";
    return false;
}

std::string CheckBrCode(std::string_view emv, std::int64_t cents) {
    if (emv.empty()) return "o código está vazio.";
    for (const char c : emv)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return "o código contém caracteres de controle.";
    std::vector<Tlv> fields;
    std::string error;
    if (!ParseTlv(emv, fields, error)) return error;
    if (fields.empty() || fields.front().tag != "00" || fields.front().value != "01")
        return "o código não começa pelo formato 01 (campo 00).";
    const Tlv& crc = fields.back();
    if (crc.tag != "63" || crc.value.size() != 4) return "o código não termina pelo CRC (campo 63).";
    for (std::size_t i = 0; i + 1 < fields.size(); ++i)
        if (fields[i].tag == "63") return "o CRC (campo 63) não é o último campo.";
    char expected[8];
    std::snprintf(expected, sizeof expected, "%04X", Crc16(emv.substr(0, emv.size() - 4)));
    if (crc.value != expected) return "CRC " + crc.value + " não confere (esperado " + expected + ").";

    error = CheckMerchantAccount(Find(fields, "26"));
    if (!error.empty()) return error;
    const Tlv* category = Find(fields, "52");
    if (!category || category->value.size() != 4) return "falta a categoria do recebedor (campo 52).";
    const Tlv* currency = Find(fields, "53");
    if (!currency || currency->value != "986") return "a moeda (campo 53) não é o real (986).";
    const Tlv* country = Find(fields, "58");
    if (!country || country->value != "BR") return "o país (campo 58) não é BR.";
    const Tlv* name = Find(fields, "59");
    if (!name || name->value.empty() || Characters(name->value) > 25) return "o nome do recebedor (campo 59) falta ou passa de 25 caracteres.";
    const Tlv* city = Find(fields, "60");
    if (!city || city->value.empty() || Characters(city->value) > 15) return "a cidade (campo 60) falta ou passa de 15 caracteres.";
    const Tlv* extra = Find(fields, "62");
    if (!extra) return "falta o campo de dados adicionais (62).";
    std::vector<Tlv> inner;
    if (!ParseTlv(extra->value, inner, error)) return "dados adicionais (campo 62): " + error;
    const Tlv* txid = Find(inner, "05");
    if (!txid || txid->value.empty() || txid->value.size() > 25) return "o txid (campo 62-05) falta ou passa de 25 caracteres.";
    if (txid->value != "***")
        for (const char c : txid->value)
            if (!(IsDigit(c) || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'))) return "o txid (campo 62-05) tem caracteres inválidos.";
    if (const Tlv* amount = Find(fields, "54")) {
        std::int64_t amountCents = 0;
        if (!AmountCents(amount->value, amountCents)) return "o valor (campo 54) \"" + amount->value + "\" é inválido.";
        if (amountCents != cents) return "o valor do código (" + amount->value + ") difere do valor digitado (" + CentsText(cents) + ").";
    }
    return {};
}

}  // namespace bank001
