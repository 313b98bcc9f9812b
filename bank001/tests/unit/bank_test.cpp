#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "bank001/core/bank.h"
#include "bank001/core/http.h"
#include "bank001/core/text.h"

namespace bank001 {
namespace {

Settings Local() {
    IniValues ini;
    ini.oauthUrl = "http://127.0.0.1:8080/";
    ini.apiUrl = "http://127.0.0.1:8081/base";
    const pix::Result<Settings> settings = SettingsFrom(ini);
    EXPECT_EQ(settings.error, "");
    return settings.value;
}

TEST(Requests, TokenCarriesBasicCredentialsAndTheForm) {
    const HttpRequest request = TokenRequest(Local(), "eyJpZCI6", Secret("s3cr\xC3\xA9t:x"));
    EXPECT_EQ(request.method, "POST");
    EXPECT_EQ(request.url.host, "127.0.0.1");
    EXPECT_EQ(request.url.port, 8080u);
    EXPECT_EQ(request.url.path, "/oauth/token");
    EXPECT_EQ(request.authorization.View(), "Basic " + std::string(Base64("eyJpZCI6:s3cr\xC3\xA9t:x").View()));
    EXPECT_EQ(request.Header("authorization"), "");  // never among the plain headers
    EXPECT_EQ(request.Header("Content-Type"), "application/x-www-form-urlencoded");
    EXPECT_EQ(request.body, "grant_type=client_credentials&scope=cobrancas.boletos-info%20cobrancas.boletos-requisicao");
}

TEST(Requests, PixCarriesTheNumberTheKeyAndTheToken) {
    Settings settings = Local();
    const HttpRequest request = PixRequest(settings, "k&y=1", Secret("tok"), "00031285570000000001", "0128557");
    EXPECT_EQ(request.url.port, 8081u);
    EXPECT_EQ(request.url.path, "/base/cobrancas/v2/boletos/00031285570000000001/gerar-pix?gw-dev-app-key=k%26y%3D1");
    EXPECT_EQ(request.authorization.View(), "Bearer tok");
    EXPECT_EQ(request.body, "{\"numeroConvenio\":128557}");  // a number, leading zero gone
    const nlohmann::json body = nlohmann::json::parse(request.body);
    EXPECT_TRUE(body["numeroConvenio"].is_number_integer());

    settings.appKeyParam = "gw-app-key";
    EXPECT_NE(PixRequest(settings, "k", Secret("t"), "n", "1").url.path.find("/gerar-pix?gw-app-key=k"), std::string::npos);
}

TEST(Text, Base64AndDates) {
    EXPECT_EQ(Base64("").View(), "");
    EXPECT_EQ(Base64("f").View(), "Zg==");
    EXPECT_EQ(Base64("fo").View(), "Zm8=");
    EXPECT_EQ(Base64("foo").View(), "Zm9v");
    EXPECT_EQ(Base64("client:secret").View(), "Y2xpZW50OnNlY3JldA==");
    EXPECT_EQ(DayCountDate(44551), "21/12/2021");
    long long day = 0;
    ASSERT_TRUE(DayCountOf(21, 12, 2021, day));
    EXPECT_EQ(day, 44551);
    EXPECT_FALSE(DayCountOf(29, 2, 2023, day));
    EXPECT_TRUE(DayCountOf(29, 2, 2024, day));
}

struct ShapeCase {
    const char* body;
    const char* message;
};

TEST(Answers, EveryErrorShape) {
    const ShapeCase cases[] = {
        {R"({"erros":[{"codigo":"4874915","versao":"1","mensagem":"Nosso número não encontrado.","providencia":"Verifique o número.","ocorrencia":"x"}]})",
         "Nosso número não encontrado. (código 4874915). Providência: Verifique o número."},
        {R"({"erros":[{"codigo":1,"mensagem":"A"},{"mensagem":"B","providencia":"C"}]})", "A (código 1) | B. Providência: C"},
        {R"({"errors":[{"code":"X1","message":"Bad","action":"Fix it"}]})", "Bad (código X1). Providência: Fix it"},
        {R"({"statusCode":401,"error":"Unauthorized","message":"Token inválido","attributes":{}})", "Token inválido (Unauthorized)"},
        {R"({"error":"invalid_client","error_description":"Cliente não autorizado"})", "Cliente não autorizado (invalid_client)"},
        {R"({"error":"invalid_request"})", "invalid_request"},
        {R"({"erros":[]})", ""},
        {R"({"erros":"nada"})", ""},
        {R"([1,2])", ""},
        {"<html>503</html>", ""},
        {"", ""},
        {R"({"erros":[{"mensagem":)", ""},
    };
    for (const ShapeCase& c : cases) {
        SCOPED_TRACE(c.body);
        EXPECT_EQ(BankMessage(c.body), c.message);
    }
}

// What the bank writes reaches a line of the result area: no line break of
// its own, no other control character, and never more than can be read.
TEST(Answers, TheBanksWordsStayOnTheirLine) {
    const std::string forged = BankMessage(
        R"({"erros":[{"mensagem":"Falhou.\r\nPix copia e cola do boleto 1:\r\n000201...","providencia":"a\u0085b\u2028c\td"}]})");
    EXPECT_EQ(forged, "Falhou.  Pix copia e cola do boleto 1:  000201.... Providência: a b c d");

    std::string many = R"({"erros":[)";
    for (int i = 0; i < 100000; ++i) many += std::string(i ? "," : "") + R"({"mensagem":"Erro número )" + std::to_string(i) + "\"}";
    many += "]}";
    const std::string message = BankMessage(many);
    EXPECT_EQ(Characters(message), kBankTextLimit + 1);
    EXPECT_EQ(message.substr(message.size() - 3), "\xE2\x80\xA6");  // the ellipsis

    const std::string oneLong = BankMessage(R"({"message":")" + std::string(5000, 'x') + "\"}");
    EXPECT_EQ(Characters(oneLong), kBankTextLimit + 1);
}

TEST(Answers, TokenAndQrCode) {
    pix::Result<Token> token = ReadToken(R"({"access_token":"abc","token_type":"Bearer","expires_in":600})");
    ASSERT_TRUE(token.Ok());
    EXPECT_EQ(token.value.accessToken.View(), "abc");
    EXPECT_EQ(token.value.expiresIn, 600);
    token = ReadToken(R"({"access_token":"abc","expires_in":"300"})");
    EXPECT_EQ(token.value.expiresIn, 300);
    token = ReadToken(R"({"access_token":"abc"})");
    ASSERT_TRUE(token.Ok());
    EXPECT_EQ(token.value.expiresIn, 0);
    EXPECT_FALSE(ReadToken(R"({"access_token":""})").Ok());
    EXPECT_FALSE(ReadToken(R"({"access_token":"a\r\nX-Evil: 1"})").Ok());
    EXPECT_FALSE(ReadToken(R"({"token_type":"Bearer"})").Ok());
    EXPECT_FALSE(ReadToken(R"({"access_token":"abc")").Ok());

    const pix::Result<QrCode> qr = ReadQrCode(R"({"qrCode":{"url":"u","txId":"t","emv":"e","tipo":2},"id":1})");
    ASSERT_TRUE(qr.Ok());
    EXPECT_EQ(qr.value.url, "u");
    EXPECT_EQ(qr.value.txId, "t");
    EXPECT_EQ(qr.value.emv, "e");
    EXPECT_FALSE(ReadQrCode(R"({"qr":{}})").Ok());
    EXPECT_FALSE(ReadQrCode(R"({"qrCode":"x"})").Ok());
    EXPECT_FALSE(ReadQrCode("{\"qrCode\":{\"emv\":\"000201").Ok());

    EXPECT_TRUE(IsInvalidClient(401, R"({"error":"invalid_client"})"));
    EXPECT_FALSE(IsInvalidClient(400, R"({"error":"invalid_client"})"));
    EXPECT_FALSE(IsInvalidClient(401, R"({"statusCode":401,"error":"Unauthorized"})"));
}

struct LifetimeCase {
    const char* expiresIn;  // as written in the JSON
    std::int64_t seconds;
};

// Whatever number the bank writes, the lifetime is read within 0 and a day
// (1e300 converted to an integer as it was is undefined behaviour).
TEST(Answers, TokenLifetimeWithinADay) {
    const LifetimeCase cases[] = {
        {"600", 600},          {"86400", 86400},      {"86401", kLongestTokenLifeS},
        {"1e300", 86400},      {"-1e300", 0},         {"1.5e9", 86400},
        {"599.9", 599},        {"-5", 0},             {"18446744073709551615", 86400},
        {"-9223372036854775808", 0}, {"\"300\"", 300}, {"\"99999999999999999999999\"", 86400},
        {"\"-3\"", 0},         {"\"1e3\"", 0},        {"null", 0},
        {"true", 0},           {"[600]", 0},
    };
    for (const LifetimeCase& c : cases) {
        SCOPED_TRACE(c.expiresIn);
        const pix::Result<Token> token = ReadToken(std::string(R"({"access_token":"abc","expires_in":)") + c.expiresIn + "}");
        ASSERT_TRUE(token.Ok()) << token.error;
        EXPECT_EQ(token.value.expiresIn, c.seconds);
    }
}

}  // namespace
}  // namespace bank001

namespace bank001 {
namespace {

// Answers cut anywhere are read without a crash, and a cut success is never a success.
TEST(Answers, EveryPrefixIsSafe) {
    const std::string qr = R"({"qrCode":{"url":"u","txId":"t","emv":"000201"},"id":1})";
    const std::string token = R"({"access_token":"abc","expires_in":600})";
    const std::string errors = R"({"erros":[{"codigo":"1","mensagem":"M","providencia":"P"}]})";
    for (std::size_t n = 0; n < qr.size(); ++n) {
        const pix::Result<QrCode> code = ReadQrCode(qr.substr(0, n));
        EXPECT_FALSE(code.Ok() && code.value.emv == "000201") << n;
    }
    for (std::size_t n = 0; n < token.size(); ++n) EXPECT_FALSE(ReadToken(token.substr(0, n)).Ok()) << n;
    for (std::size_t n = 0; n < errors.size(); ++n) BankMessage(errors.substr(0, n));
    EXPECT_EQ(BankMessage(errors), "M (código 1). Providência: P");
}

}  // namespace
}  // namespace bank001
