// BR Codes for the tests: a well-formed dynamic code like the bank's, and
// the means to spoil one field at a time.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "bank001/core/emv.h"

namespace bank001::testing {

struct Field {
    std::string tag, value;
};

// The length counts characters of the UTF-8 value, as the BR Code does.
inline std::string TlvText(const std::string& tag, const std::string& value) {
    std::size_t characters = 0;
    for (const char c : value) characters += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    char length[8];
    std::snprintf(length, sizeof length, "%02zu", characters);
    return tag + length + value;
}

inline const char kLocation[] = "qrcodepix-h.bb.com.br/pix/v2/cobv/9b8a7c6d-1e2f-4a5b-8c7d-6e5f4a3b2c1d";

// The fields of a dynamic single-use code for the amount (tag 54, empty to leave it out).
inline std::vector<Field> BankFields(const std::string& amount, const std::string& gui = "br.gov.bcb.pix") {
    std::vector<Field> fields = {
        {"00", "01"},
        {"01", "12"},
        {"26", TlvText("00", gui) + TlvText("25", kLocation)},
        {"52", "0000"},
        {"53", "986"},
        {"54", amount},
        {"58", "BR"},
        {"59", "EMPRESA DE TESTE LTDA"},
        {"60", "BRASILIA"},
        {"62", TlvText("05", "***")},
    };
    if (amount.empty()) fields.erase(fields.begin() + 5);
    return fields;
}

inline std::string WithCrc(const std::string& body) {
    char crc[8];
    std::snprintf(crc, sizeof crc, "%04X", bank001::Crc16(body + "6304"));
    return body + "6304" + crc;
}

inline std::string BrCode(const std::vector<Field>& fields) {
    std::string body;
    for (const Field& field : fields) body += TlvText(field.tag, field.value);
    return WithCrc(body);
}

inline std::vector<Field> Inserted(std::vector<Field> fields, std::size_t at, Field field) {
    fields.insert(fields.begin() + static_cast<std::ptrdiff_t>(at), std::move(field));
    return fields;
}

inline std::vector<Field> Replaced(std::vector<Field> fields, const std::string& tag, const std::string& value) {
    for (Field& field : fields)
        if (field.tag == tag) field.value = value;
    return fields;
}

}  // namespace bank001::testing
