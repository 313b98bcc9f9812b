#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "pixlib/core/br_code.h"

namespace {

using pix::brcode::Crc16;
using pix::brcode::IsBrCode;

// The static example of the Central Bank's manual, with its printed CRC.
const std::string kManualExample =
    "00020126580014br.gov.bcb.pix0136123e4567-e12b-12d1-a456-4266554400005204000053039865802BR"
    "5913Fulano de Tal6008BRASILIA62070503***63041D3D";

std::string Tlv(const std::string& tag, const std::string& value, std::size_t characters) {
    char length[8];
    std::snprintf(length, sizeof length, "%02zu", characters);
    return tag + length + value;
}
std::string Tlv(const std::string& tag, const std::string& value) { return Tlv(tag, value, value.size()); }

// body, the CRC's own field and its four digits: upper case unless asked.
std::string WithCrc(const std::string& body, bool lowerCase = false) {
    char crc[8];
    std::snprintf(crc, sizeof crc, lowerCase ? "%04x" : "%04X", Crc16(body + "6304"));
    return body + "6304" + crc;
}

// A dynamic code like a bank's, its receiver's name with a letter beyond
// ASCII (two bytes, one character of the length).
const std::string kDynamic = WithCrc(
    Tlv("00", "01") + Tlv("01", "12") +
    Tlv("26", Tlv("00", "br.gov.bcb.pix") + Tlv("25", "qrcodepix.example.com.br/pix/v2/cobv/9b8a7c6d")) +
    Tlv("52", "0000") + Tlv("53", "986") + Tlv("54", "123.45") + Tlv("58", "BR") +
    Tlv("59", "JO\xC3\x83O DA SILVA", 13) + Tlv("60", "BRASILIA") + Tlv("62", Tlv("05", "***")));

std::string Spoiled(std::string text, std::size_t at, char c) {
    text[at] = c;
    return text;
}

TEST(BrCodeRecognition, WholeCodesWithTheirCrcRight) {
    // A code with its last field far beyond what a payer's bank takes: the
    // recognition caps nothing, the QR window says what does not fit.
    std::string many = Tlv("00", "01");
    for (int i = 0; i < 10000; ++i) many += Tlv("99", "AAAA");
    const struct {
        const char* name;
        std::string text;
        bool code;
    } cases[] = {
        {"the manual's example", kManualExample, true},
        {"a dynamic code with a name beyond ASCII", kDynamic, true},
        {"the smallest: format and CRC", WithCrc(Tlv("00", "01")), true},
        {"ten thousand fields", WithCrc(many), true},
        {"wrong CRC", Spoiled(kManualExample, kManualExample.size() - 1, 'E'), false},
        {"a changed character under a right-looking CRC", Spoiled(kManualExample, 40, 'f'), false},
        {"the CRC in lower case", WithCrc(kDynamic.substr(0, kDynamic.size() - 8), true), false},
        {"text before", "Pix: " + kManualExample, false},
        {"a space after", kManualExample + " ", false},
        {"a line break after", kManualExample + "\r\n", false},
        {"two codes in a row", kManualExample + kManualExample, false},
        {"empty", "", false},
        {"shorter than a CRC field", "6304", false},
        {"a CRC field alone", WithCrc(""), false},
        {"not starting with the format 01", WithCrc(Tlv("00", "02") + Tlv("58", "BR")), false},
        {"the format field not first", WithCrc(Tlv("58", "BR") + Tlv("00", "01")), false},
        {"6304 inside the last value, not a field of its own", [] {
             const std::string body = Tlv("00", "01") + "9910XX6304";
             char crc[8];
             std::snprintf(crc, sizeof crc, "%04X", Crc16(body));
             return body + crc;
         }(), false},
        {"a length that overruns the text", WithCrc(Tlv("00", "01") + "5999BR"), false},
        {"a field cut short", WithCrc(Tlv("00", "01") + "59"), false},
        {"a tab inside a value", WithCrc(Tlv("00", "01") + Tlv("59", "A\tB")), false},
        {"a million letters", std::string(1000000, 'A'), false},
        {"a million letters ending in a right CRC", WithCrc(std::string(1000000, 'A')), false},
    };
    for (const auto& c : cases) EXPECT_EQ(IsBrCode(c.text), c.code) << c.name;
}

}  // namespace
