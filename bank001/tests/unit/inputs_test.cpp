#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "bank001/core/inputs.h"

namespace bank001 {
namespace {

struct KeyCase {
    const char* key;
    bool valid;
    KeyKind kind;
};

const KeyCase kKeys[] = {
    {"52998224725", true, KeyKind::Cpf},
    {"52998224724", false, KeyKind::Cpf},          // second check digit
    {"52998224735", false, KeyKind::Cpf},          // first check digit
    {"11111111111", false, KeyKind::Cpf},          // passes the arithmetic, no CPF
    {"11222333000181", true, KeyKind::Cnpj},
    {"11222333000182", false, KeyKind::Cnpj},
    {"12ABC34501DE35", true, KeyKind::Cnpj},       // alphanumeric CNPJ
    {"12ABC34501DE36", false, KeyKind::Cnpj},
    {"12abc34501de35", false, KeyKind::Cnpj},      // letters are upper case only
    {"12ABC34501DEX5", false, KeyKind::Cnpj},      // the check digits are digits
    {"00000000000000", false, KeyKind::Cnpj},
    {"fulano@example.com", true, KeyKind::Email},
    {"Fulano@example.com", false, KeyKind::Email}, // upper case
    {"fulano@@example.com", false, KeyKind::Email},
    {"fulano@example", false, KeyKind::Email},
    {"@example.com", false, KeyKind::Email},
    {"ful ano@example.com", false, KeyKind::Email},
    {"+5561912345678", true, KeyKind::Phone},      // 11 digits
    {"+556112345678", true, KeyKind::Phone},       // 10 digits
    {"+55611234567", false, KeyKind::Phone},       // 9
    {"+55619123456789", false, KeyKind::Phone},    // 12
    {"+1612345678901", false, KeyKind::Phone},     // not +55
    {"+55 61912345678", false, KeyKind::Phone},
    {"123e4567-e12b-12d1-a456-426655440000", true, KeyKind::Random},
    {"123E4567-E12B-12D1-A456-426655440000", false, KeyKind::Random},  // upper case
    {"123e4567-e12b-12d1-a456-42665544000g", false, KeyKind::Random},
    {"123e4567-e12b-12d1-a456_426655440000", false, KeyKind::Random},
};

TEST(PixKey, TableOfKinds) {
    for (const KeyCase& c : kKeys) {
        SCOPED_TRACE(c.key);
        const pix::Result<KeyKind> kind = CheckPixKey(c.key);
        EXPECT_EQ(kind.Ok(), c.valid) << kind.error;
        EXPECT_EQ(kind.value, c.kind);
        if (!c.valid) {
            EXPECT_NE(kind.error.find("Chave Pix"), std::string::npos) << kind.error;
        }
    }
}

TEST(PixKey, EmptyUnknownAndTooLong) {
    EXPECT_EQ(CheckPixKey("").error, "Chave Pix está vazia.");
    EXPECT_NE(CheckPixKey("1234").error.find("não é CPF"), std::string::npos);
    const std::string longMail = std::string(66, 'a') + "@example.com";  // 78
    EXPECT_NE(CheckPixKey(longMail).error.find("77"), std::string::npos);
    EXPECT_TRUE(CheckPixKey(longMail.substr(1)).Ok());                     // 77 is fine
}

TEST(CheckDigits, CnpjOfTheAlphanumericExample) {
    EXPECT_TRUE(ValidCnpj("12ABC34501DE35"));
    for (int d = 0; d < 100; ++d) {
        char digits[3] = {char('0' + d / 10), char('0' + d % 10), 0};
        EXPECT_EQ(ValidCnpj(std::string("12ABC34501DE") + digits), d == 35) << digits;
    }
}

struct BoletoCase {
    const char* boleto;
    const char* nossoNumero;  // null: refused
};

TEST(Boleto, ComposedOrChecked) {
    const BoletoCase cases[] = {
        {"0000000001", "00031285570000000001"},
        {"00031285570000000001", "00031285570000000001"},
        {"00031285580000000001", nullptr},   // another convênio
        {"10031285570000000001", nullptr},   // not 000
        {"000000001", nullptr},
        {"00000000001", nullptr},
        {"000312855700000000011", nullptr},
        {"000000000A", nullptr},
        {"", nullptr},
    };
    for (const BoletoCase& c : cases) {
        SCOPED_TRACE(c.boleto);
        const pix::Result<std::string> composed = ComposeNossoNumero(c.boleto, "3128557");
        if (c.nossoNumero) {
            EXPECT_EQ(composed.error, "");
            EXPECT_EQ(composed.value, c.nossoNumero);
        } else {
            EXPECT_EQ(composed.error.rfind("Boleto", 0), 0u) << composed.error;
        }
    }
}

TEST(Convenio, SevenDigits) {
    EXPECT_TRUE(CheckConvenio("3128557").Ok());
    for (const char* bad : {"", "312855", "31285570", "312855A", " 3128557"}) {
        SCOPED_TRACE(bad);
        EXPECT_EQ(CheckConvenio(bad).error.rfind("Convênio", 0), 0u);
    }
}

struct AmountCase {
    double valor;
    long long cents;  // -1: refused
};

TEST(Amount, AboveZeroWithAtMostTwoDecimals) {
    const AmountCase cases[] = {
        {12.34, 1234},
        {0.01, 1},
        {0.1 + 0.2, 30},   // 0.30000000000000004: the nearest double of a typed 0,3 plus noise
        {1e9, 100000000000},
        {9999999999.99, 999999999999},
        {10000000000.0, -1},
        {0.0, -1},
        {-0.0, -1},
        {-5.0, -1},
        {0.001, -1},
        {12.345, -1},
        {std::numeric_limits<double>::quiet_NaN(), -1},
        {std::numeric_limits<double>::infinity(), -1},
        {std::numeric_limits<double>::denorm_min(), -1},
    };
    for (const AmountCase& c : cases) {
        SCOPED_TRACE(c.valor);
        const pix::Result<std::int64_t> cents = CheckAmount(c.valor);
        if (c.cents >= 0) {
            EXPECT_EQ(cents.error, "");
            EXPECT_EQ(cents.value, c.cents);
        } else {
            EXPECT_EQ(cents.error.rfind("Valor", 0), 0u) << cents.error;
        }
    }
}

Inputs GoodInputs() {
    Inputs in;
    in.bankCode = "001";
    in.appKey = "app-key";
    in.clientId = "client";
    in.clientSecret = Secret("secret");
    in.convenio = "3128557";
    in.pixKey = "52998224725";
    in.boleto = "0000000001";
    in.valor = 123.45;
    in.vencimento = 46000.75;
    return in;
}

TEST(Inputs, EachFieldNamedInItsError) {
    const pix::Result<Charge> charge = CheckInputs(GoodInputs());
    ASSERT_EQ(charge.error, "");
    EXPECT_EQ(charge.value.nossoNumero, "00031285570000000001");
    EXPECT_EQ(charge.value.cents, 12345);
    EXPECT_EQ(charge.value.dueDay, 46000);
    EXPECT_EQ(charge.value.keyKind, KeyKind::Cpf);

    struct Spoil {
        void (*apply)(Inputs&);
        const char* field;
    };
    const Spoil spoils[] = {
        {[](Inputs& in) { in.bankCode = "237"; }, "Banco"},
        {[](Inputs& in) { in.bankCode = ""; }, "Banco"},
        {[](Inputs& in) { in.appKey = ""; }, "DeveloperApplicationKey"},
        {[](Inputs& in) { in.appKey = "a\r\nb"; }, "DeveloperApplicationKey"},
        {[](Inputs& in) { in.clientId = ""; }, "ClientId"},
        {[](Inputs& in) { in.clientSecret = Secret(""); }, "ClientSecret"},
        {[](Inputs& in) { in.clientSecret = Secret("a\tb"); }, "ClientSecret"},
        {[](Inputs& in) { in.convenio = "12"; }, "Convênio"},
        {[](Inputs& in) { in.pixKey = "x"; }, "Chave Pix"},
        {[](Inputs& in) { in.boleto = "1"; }, "Boleto"},
        {[](Inputs& in) { in.valor = 0; }, "Valor"},
        {[](Inputs& in) { in.vencimento = std::nan(""); }, "Vencimento"},
    };
    for (const Spoil& spoil : spoils) {
        SCOPED_TRACE(spoil.field);
        Inputs in = GoodInputs();
        spoil.apply(in);
        const std::string error = CheckInputs(in).error;
        EXPECT_EQ(error.rfind(spoil.field, 0), 0u) << error;
    }
}

}  // namespace
}  // namespace bank001
