#include <gtest/gtest.h>

#include "bank001/core/emv.h"
#include "br_code_builder.h"

namespace bank001 {
namespace {

using testing::BankFields;
using testing::BrCode;
using testing::Replaced;
using testing::TlvText;
using testing::WithCrc;

TEST(Crc16, CheckValueAndPublishedExample) {
    EXPECT_EQ(Crc16("123456789"), 0x29B1);
    EXPECT_EQ(Crc16(""), 0xFFFF);
    // The static example of the Central Bank's manual, with its printed CRC.
    EXPECT_EQ(Crc16("00020126580014br.gov.bcb.pix0136123e4567-e12b-12d1-a456-4266554400005204000053039865802BR"
                    "5913Fulano de Tal6008BRASILIA62070503***6304"),
              0x1D3D);
}

TEST(Tlv, SplitsAndRefusesBrokenStructure) {
    std::vector<Tlv> fields;
    std::string error;
    ASSERT_TRUE(ParseTlv("0002010102125802BR", fields, error));
    ASSERT_EQ(fields.size(), 3u);
    EXPECT_EQ(fields[2].tag, "58");
    EXPECT_EQ(fields[2].value, "BR");
    EXPECT_FALSE(ParseTlv("000201015", fields, error));   // header cut
    EXPECT_FALSE(ParseTlv("0005AB", fields, error));      // value cut
    EXPECT_FALSE(ParseTlv("0A0201", fields, error));      // tag not digits
    ASSERT_TRUE(ParseTlv("5903S\xC3\xA3o", fields, error)) << error;  // lengths count characters
    EXPECT_EQ(fields[0].value, "S\xC3\xA3o");
}

TEST(BrCode, TheBankShapeIsAccepted) {
    EXPECT_EQ(CheckBrCode(BrCode(BankFields("123.45")), 12345), "");
    EXPECT_EQ(CheckBrCode(BrCode(BankFields("")), 12345), "");        // no amount in the code
    EXPECT_EQ(CheckBrCode(BrCode(BankFields("10")), 1000), "");
    EXPECT_EQ(CheckBrCode(BrCode(BankFields("0.5")), 50), "");
    EXPECT_EQ(CheckBrCode(BrCode(BankFields("123.45", "BR.GOV.BCB.PIX")), 12345), "");
}

struct Spoiled {
    const char* what;
    std::string emv;
    const char* reason;  // a part of the complaint
};

TEST(BrCode, EachFaultIsFound) {
    const std::string good = BrCode(BankFields("123.45"));
    std::string badCrc = good;
    badCrc.back() = badCrc.back() == '0' ? '1' : '0';
    std::string lowerCrc = good;
    for (std::size_t i = lowerCrc.size() - 4; i < lowerCrc.size(); ++i)
        if (lowerCrc[i] >= 'A' && lowerCrc[i] <= 'F') lowerCrc[i] = static_cast<char>(lowerCrc[i] + 32);
    const std::vector<testing::Field> fields = BankFields("123.45");
    const Spoiled cases[] = {
        {"bad CRC", badCrc, "CRC"},
        {"wrong GUI", BrCode(BankFields("123.45", "br.gov.bcb.pax")), "br.gov.bcb.pix"},
        {"currency 840", BrCode(Replaced(fields, "53", "840")), "986"},
        {"20-character city", BrCode(Replaced(fields, "60", "CIDADE COM VINTE CAR")), "cidade"},
        {"26-character name", BrCode(Replaced(fields, "59", std::string(26, 'N'))), "nome"},
        {"country", BrCode(Replaced(fields, "58", "US")), "BR"},
        {"amount differs", BrCode(Replaced(fields, "54", "123.46")), "difere"},
        {"amount with comma", BrCode(Replaced(fields, "54", "123,45")), "inválido"},
        {"amount with three decimals", BrCode(Replaced(fields, "54", "123.450")), "inválido"},
        {"no location", BrCode(Replaced(fields, "26", TlvText("00", "br.gov.bcb.pix"))), "26-25"},
        {"no format indicator", BrCode({fields.begin() + 1, fields.end()}), "00"},
        {"no additional data", BrCode({fields.begin(), fields.end() - 1}), "62"},
        {"txid too long", BrCode(Replaced(fields, "62", TlvText("05", std::string(26, 'A')))), "txid"},
        {"txid with a dash", BrCode(Replaced(fields, "62", TlvText("05", "ABC-1"))), "txid"},
        {"no CRC", good.substr(0, good.size() - 8), "CRC"},
        {"cut short", good.substr(0, good.size() - 20), ""},
        {"a field after the CRC", good + "5802BR", "CRC"},
        {"lower-case CRC digits", lowerCrc, "CRC"},
        {"control character", WithCrc(TlvText("00", "01") + TlvText("59", "A\nB")), "controle"},
        {"empty", "", "vazio"},
    };
    for (const Spoiled& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string error = CheckBrCode(c.emv, 12345);
        EXPECT_NE(error, "");
        EXPECT_NE(error.find(c.reason), std::string::npos) << error;
    }
}

}  // namespace
}  // namespace bank001

namespace bank001 {
namespace {

// Every prefix of a good code is refused, none crashes (the sanitizers watch).
TEST(BrCode, EveryPrefixIsRefused) {
    const std::string good = testing::BrCode(testing::BankFields("123.45"));
    for (std::size_t n = 0; n < good.size(); ++n) {
        SCOPED_TRACE(n);
        EXPECT_NE(CheckBrCode(good.substr(0, n), 12345), "");
    }
    EXPECT_EQ(CheckBrCode(good, 12345), "");
}

}  // namespace
}  // namespace bank001
