#include <gtest/gtest.h>

#include "bank001/core/emv.h"
#include "br_code_builder.h"

namespace bank001 {
namespace {

using testing::BankFields;
using testing::BrCode;
using testing::Inserted;
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
    const pix::Result<std::vector<Tlv>> fields = ParseTlv("0002010102125802BR");
    ASSERT_TRUE(fields.Ok());
    ASSERT_EQ(fields.value.size(), 3u);
    EXPECT_EQ(fields.value[2].tag, "58");
    EXPECT_EQ(fields.value[2].value, "BR");
    EXPECT_FALSE(ParseTlv("000201015").Ok());   // header cut
    EXPECT_FALSE(ParseTlv("0005AB").Ok());      // value cut
    EXPECT_FALSE(ParseTlv("0A0201").Ok());      // tag not digits
    const pix::Result<std::vector<Tlv>> name = ParseTlv("5903S\xC3\xA3o");  // lengths count characters
    ASSERT_TRUE(name.Ok()) << name.error;
    EXPECT_EQ(name.value[0].value, "S\xC3\xA3o");
}

TEST(BrCode, TheBankShapeIsAccepted) {
    EXPECT_TRUE(CheckBrCode(BrCode(BankFields("123.45")), 12345).Ok());
    EXPECT_TRUE(CheckBrCode(BrCode(BankFields("")), 12345).Ok());  // no amount in the code
    EXPECT_TRUE(CheckBrCode(BrCode(BankFields("10")), 1000).Ok());
    EXPECT_TRUE(CheckBrCode(BrCode(BankFields("0.5")), 50).Ok());
    EXPECT_TRUE(CheckBrCode(BrCode(BankFields("123.45", "BR.GOV.BCB.PIX")), 12345).Ok());
    const pix::Result<BrCodeFacts> facts =
        CheckBrCode(BrCode(BankFields("123.45")), 12345, "qrcodepix-h.bb.com.br/pix/v2/cobv/9b8a7c6d");
    ASSERT_TRUE(facts.Ok()) << facts.error;
    EXPECT_EQ(facts.value.location, testing::kLocation);
    EXPECT_EQ(facts.value.txId, "***");
}

// Dynamic codes published by the Central Bank and in public BR Code
// libraries' test suites: every one of them must pass. (Data, with where
// each came from; nothing of those libraries' code.)
struct PublishedCode {
    const char* source;
    const char* emv;
    std::int64_t cents;  // the amount of tag 54; any when the code has none
};

const PublishedCode kPublished[] = {
    {"Manual de Padrões para Iniciação do Pix (BCB), dynamic example; as BACEN_DYNAMIC in "
     "brazilian-utils/brazilian-utils src/is-valid-pix-payload/is-valid-pix-payload.test.ts and in "
     "saskenuba/pix-toolbelt crates/emv-qrcps/src/parser.rs",
     "00020101021226700014br.gov.bcb.pix2548pix.example.com/8b3da2f39a4140d1a91abd93113bd4415204000053039865802BR"
     "5913Fulano de Tal6008BRASILIA62070503***630464E4",
     1},
    {"Manual de Padrões para Iniciação do Pix (BCB), composite example (dynamic with a recurrence template 80); "
     "as BACEN_COMPOSITE in brazilian-utils/brazilian-utils src/is-valid-pix-payload/is-valid-pix-payload.test.ts",
     "00020101021226700014br.gov.bcb.pix2548pix.example.com/8b3da2f39a4140d1a91abd93113bd4415204000053039865802BR"
     "5913Fulano de Tal6008BRASILIA62070503***80740014br.gov.bcb.pix2552pix.example.com/rec/"
     "2353c790eefb11eaadc10242ac1200026304FB42",
     1},
    {"Manual de Padrões, dynamic example as transcribed in "
     "https://gist.github.com/matheusb-comp/1efa205b3c0ffd7af1e8ce63a10e02dc",
     "00020101021226770014BR.GOV.BCB.PIX2555pix.example.com/qr/93598be0-1bd0-4997-8318-81776a1d8a995204000053039865802BR"
     "5907EMPRESA6009SAO PAULO62070503***6304EEAB",
     1},
    {"thalesog/pix-utils tests/emvCodes.ts (DYNAMIC_TEST_EMV), the reader check_emv.js uses",
     "00020126740014br.gov.bcb.pix2552payload.psp.com/3ec9d2f9-5f03-4e0e-820d-63a81e769e875204000053039865802BR"
     "5914Thales Ogliari6015SAO MIGUEL DO O62070503***63040C64",
     1},
    {"thalesog/go-pix-utils pixUtils/test_data.go (dynamicEmv)",
     "00020126740014br.gov.bcb.pix2552payload.psp.com/3ec9d2f9-5f03-4e0e-820d-63a81e769e875204000053039865802BR"
     "5914THALES OGLIARI6013SAO MIGUEL DO62070503***63047E8D",
     1},
    {"stone-payments/ex-pix-brcode test/ex_pix_brcode/decoder_test.exs (institutions' examples, 2020-11-23)",
     "00020101021226850014br.gov.bcb.pix2563exemplodeurl.com.br/pix/v2/11111111-1111-1111-1111-111111111111"
     "52040000530398654040.015802BR5925TESTE DE TESTE DO TESTEIE6014RIO DE JANEIRO62070503***6304CD52",
     1},
    {"stone-payments/ex-pix-brcode test/ex_pix_brcode/decoder_test.exs (institutions' examples, 2020-11-23)",
     "00020101021226850014br.gov.bcb.pix2563exemplodeurl2.com.br/qr/v2/11111111-1111-1111-1111-111111111111"
     "52040000530398654041.005802BR5925TESTE DO TESTE DO TESTEIE6009NOVA LIMA62070503***63040B0F",
     100},
    {"stone-payments/ex-pix-brcode test/ex_pix_brcode/decoder_test.exs (institutions' examples, 2020-11-23)",
     "00020101021226820014br.gov.bcb.pix2560exemplodeurl.com/pix/v2/11111111-1111-1111-1111-111111111111"
     "52040000530398654045.805802BR5925TESTE DO TESTE DO TESTEIE6014RIO DE JANEIRO62290525111111111111111111111111"
     "1630449F9",
     580},
    {"stone-payments/ex-pix-brcode test/ex_pix_brcode/decoder_test.exs (dynamic with due date, BCB sandbox)",
     "00020126990014br.gov.bcb.pix2577qr-h.sandbox.pix.bcb.gov.br/rest/api/v2/cobv/9b95a87c10a84d65bcbf55a48a2e50c8"
     "5204000053039865802BR5903Pix6008BRASILIA62070503***63048ECF",
     1},
    {"starkbank/brcode-python brcode/tests/brcodeTests/testDynamicBrcode.py",
     "00020101021226800014br.gov.bcb.pix2558invoice.starkbank.com/f5333103-3279-4db2-8389-5efe335ba93d"
     "5204000053039865802BR5925Arya Stark with a very lo6015Pindamonhangaba622005165656565656565656630435F6",
     1},
};

// The host of a location: the bank's qrCode.url names the same one.
std::string HostOfLocation(const std::string& emv) {
    const std::size_t at = emv.find("25", emv.find("br.gov.bcb.pix") + 14);
    const std::string rest = emv.substr(at + 4);
    return rest.substr(0, rest.find('/'));
}

TEST(BrCode, EveryPublishedDynamicCodeIsAccepted) {
    for (const PublishedCode& code : kPublished) {
        SCOPED_TRACE(code.source);
        const pix::Result<BrCodeFacts> alone = CheckBrCode(code.emv, code.cents);
        EXPECT_TRUE(alone.Ok()) << alone.error;
        // With the bank's url beside it, with and without a scheme.
        const std::string host = HostOfLocation(code.emv);
        EXPECT_TRUE(CheckBrCode(code.emv, code.cents, host + "/x").Ok());
        const pix::Result<BrCodeFacts> withUrl = CheckBrCode(code.emv, code.cents, "https://" + host + "/x");
        EXPECT_TRUE(withUrl.Ok()) << withUrl.error;
        EXPECT_EQ(withUrl.value.location.rfind(host + "/", 0), 0u);
    }
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
    auto account = [](const std::string& inner) { return TlvText("00", "br.gov.bcb.pix") + inner; };
    std::vector<testing::Field> padded = fields;
    for (int tag = 80; tag <= 85; ++tag) padded = Inserted(padded, 10, {std::to_string(tag), std::string(75, 'X')});
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
        {"no location", BrCode(Replaced(fields, "26", account(""))), "26-25"},
        {"no format indicator", BrCode({fields.begin() + 1, fields.end()}), "00"},
        {"no additional data", BrCode({fields.begin(), fields.end() - 1}), "62"},
        {"txid too long", BrCode(Replaced(fields, "62", TlvText("05", std::string(26, 'A')))), "txid"},
        {"txid with a dash", BrCode(Replaced(fields, "62", TlvText("05", "ABC-1"))), "txid"},
        {"no CRC", good.substr(0, good.size() - 8), "CRC"},
        {"cut short", good.substr(0, good.size() - 20), ""},
        {"a field after the CRC", good + "5802BR", "63"},
        {"lower-case CRC digits", lowerCrc, "CRC"},
        {"control character", WithCrc(TlvText("00", "01") + TlvText("59", "A\nB")), "controle"},
        {"empty", "", "vazio"},
        // Two readers must not read two codes: a second amount, a second
        // account, a second location or txid would each be read by some.
        {"a second amount", BrCode(Inserted(fields, 6, {"54", "999.99"})), "campo 54 aparece mais de uma vez"},
        {"a second account",
         BrCode(Inserted(fields, 3, {"26", account(TlvText("25", "evil.example.com/pix/v2/1"))})),
         "campo 26 aparece mais de uma vez"},
        {"a second location",
         BrCode(Replaced(fields, "26", account(TlvText("25", "qrcodepix-h.bb.com.br/pix/1") + TlvText("25", "evil.example.com/p")))),
         "26-25 aparece mais de uma vez"},
        {"a second GUI",
         BrCode(Replaced(fields, "26", account(TlvText("00", "br.gov.bcb.pix") + TlvText("25", "qrcodepix-h.bb.com.br/pix/1")))),
         "26-00 aparece mais de uma vez"},
        {"a second txid", BrCode(Replaced(fields, "62", TlvText("05", "***") + TlvText("05", "OUTRO"))),
         "62-05 aparece mais de uma vez"},
        // The payer's app puts https:// in front of the location itself.
        {"location with https", BrCode(Replaced(fields, "26", account(TlvText("25", "https://qrcodepix.bb.com.br/pix/v2/x")))),
         "esquema"},
        {"location with another scheme", BrCode(Replaced(fields, "26", account(TlvText("25", "ftp://qrcodepix.bb.com.br/x")))),
         "esquema"},
        {"location with a port", BrCode(Replaced(fields, "26", account(TlvText("25", "qrcodepix.bb.com.br:8443/x")))),
         "servidor/caminho"},
        {"location with user information",
         BrCode(Replaced(fields, "26", account(TlvText("25", "qrcodepix.bb.com.br@evil.example/x")))), "servidor/caminho"},
        {"location without a path", BrCode(Replaced(fields, "26", account(TlvText("25", "qrcodepix.bb.com.br")))),
         "servidor/caminho"},
        {"location with a space", BrCode(Replaced(fields, "26", account(TlvText("25", "qrcodepix.bb.com.br/a b")))),
         "caracteres inválidos"},
        {"category of letters", BrCode(Replaced(fields, "52", "ABCD")), "52"},
        {"category of three digits", BrCode(Replaced(fields, "52", "000")), "52"},
        {"initiation method 13", BrCode(Replaced(fields, "01", "13")), "01"},
        {"longer than 512 characters", BrCode(padded), "512"},
    };
    for (const Spoiled& c : cases) {
        SCOPED_TRACE(c.what);
        const pix::Result<BrCodeFacts> checked = CheckBrCode(c.emv, 12345);
        EXPECT_FALSE(checked.Ok());
        EXPECT_NE(checked.error.find(c.reason), std::string::npos) << checked.error;
    }
    // A published code whose location carries the scheme (refused by its own library's test).
    const std::string withScheme =
        "00020126990014br.gov.bcb.pix2577https://qr-h.sandbox.pix.bcb.gov.br/rest/api/v2/ac8ab4efe7db4200885f5ab3c3472"
        "5204000053039865802BR5903Pix6008BRASILIA62070503***63041043";
    EXPECT_NE(CheckBrCode(withScheme, 1).error.find("esquema"), std::string::npos);
}

TEST(BrCode, TheLocationLiesOnTheHostOfTheBanksUrl) {
    const std::string code = BrCode(BankFields("123.45"));
    const char* good[] = {"qrcodepix-h.bb.com.br/pix/v2/cobv/9b8a7c6d", "https://qrcodepix-h.bb.com.br/pix/v2/cobv/x",
                          "QRCODEPIX-H.BB.COM.BR/pix", "qrcodepix-h.bb.com.br:443/pix"};
    for (const char* url : good) EXPECT_TRUE(CheckBrCode(code, 12345, url).Ok()) << url;
    const char* other[] = {"evil.example.com/pix/v2/cobv/9b8a7c6d", "qrcodepix-h.bb.com.br.evil.example/pix",
                           "https://bb.com.br/pix", "O campo data de expiração não é válido."};
    for (const char* url : other) {
        SCOPED_TRACE(url);
        const std::string error = CheckBrCode(code, 12345, url).error;
        EXPECT_NE(error.find("aponta para qrcodepix-h.bb.com.br, não para"), std::string::npos) << error;
    }
}

// The longest code accepted is 512 characters, counted as characters.
TEST(BrCode, FiveHundredTwelveCharacters) {
    std::vector<testing::Field> fields = BankFields("123.45");
    const std::size_t base = BrCode(fields).size();
    ASSERT_LT(base, 512u);
    // Fill with a template 80 up to exactly 512 characters, then one more.
    auto filled = [&](std::size_t total, const std::string& unit) {
        std::vector<testing::Field> out = fields;
        std::size_t missing = total - base;
        for (int tag = 80; missing > 0; ++tag) {
            const std::size_t length = missing - 4 > 99 ? 99 : missing - 4;
            std::string value;
            while (value.size() / unit.size() < length) value += unit;
            out = Inserted(out, out.size() - 1, {std::to_string(tag), value});
            missing -= 4 + length;
        }
        return BrCode(out);
    };
    const std::string exactly = filled(512, "X");
    ASSERT_EQ(exactly.size(), 512u);
    EXPECT_TRUE(CheckBrCode(exactly, 12345).Ok()) << CheckBrCode(exactly, 12345).error;
    EXPECT_FALSE(CheckBrCode(filled(513, "X"), 12345).Ok());
    // 512 characters of which some take two bytes each: still accepted.
    const std::string wide = filled(512, "\xC3\xA3");
    EXPECT_GT(wide.size(), 512u);
    EXPECT_TRUE(CheckBrCode(wide, 12345).Ok()) << CheckBrCode(wide, 12345).error;
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
        EXPECT_FALSE(CheckBrCode(good.substr(0, n), 12345).Ok());
    }
    EXPECT_TRUE(CheckBrCode(good, 12345).Ok());
}

}  // namespace
}  // namespace bank001
