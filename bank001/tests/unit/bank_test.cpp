#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "bank001/core/bank.h"
#include "bank001/core/http.h"
#include "bank001/core/text.h"

namespace bank001 {
namespace {

Settings Local() {
    Settings settings;
    IniValues ini;
    ini.oauthUrl = "http://127.0.0.1:8080/";
    ini.apiUrl = "http://127.0.0.1:8081/base";
    EXPECT_EQ(SettingsFrom(ini, settings), "");
    return settings;
}

TEST(Requests, TokenCarriesBasicCredentialsAndTheForm) {
    const HttpRequest request = TokenRequest(Local(), "eyJpZCI6", "s3cr\xC3\xA9t:x");
    EXPECT_EQ(request.method, "POST");
    EXPECT_EQ(request.url.host, "127.0.0.1");
    EXPECT_EQ(request.url.port, 8080u);
    EXPECT_EQ(request.url.path, "/oauth/token");
    EXPECT_EQ(request.Header("authorization"), "Basic " + Base64("eyJpZCI6:s3cr\xC3\xA9t:x"));
    EXPECT_EQ(request.Header("Content-Type"), "application/x-www-form-urlencoded");
    EXPECT_EQ(request.body, "grant_type=client_credentials&scope=cobrancas.boletos-info%20cobrancas.boletos-requisicao");
}

TEST(Requests, PixCarriesTheNumberTheKeyAndTheToken) {
    Settings settings = Local();
    const HttpRequest request = PixRequest(settings, "k&y=1", "tok", "00031285570000000001", "0128557");
    EXPECT_EQ(request.url.port, 8081u);
    EXPECT_EQ(request.url.path, "/base/cobrancas/v2/boletos/00031285570000000001/gerar-pix?gw-dev-app-key=k%26y%3D1");
    EXPECT_EQ(request.Header("Authorization"), "Bearer tok");
    EXPECT_EQ(request.body, "{\"numeroConvenio\":128557}");  // a number, leading zero gone
    const nlohmann::json body = nlohmann::json::parse(request.body);
    EXPECT_TRUE(body["numeroConvenio"].is_number_integer());

    settings.appKeyParam = "gw-app-key";
    EXPECT_NE(PixRequest(settings, "k", "t", "n", "1").url.path.find("/gerar-pix?gw-app-key=k"), std::string::npos);
}

TEST(Text, Base64AndDates) {
    EXPECT_EQ(Base64(""), "");
    EXPECT_EQ(Base64("f"), "Zg==");
    EXPECT_EQ(Base64("fo"), "Zm8=");
    EXPECT_EQ(Base64("foo"), "Zm9v");
    EXPECT_EQ(Base64("client:secret"), "Y2xpZW50OnNlY3JldA==");
    EXPECT_EQ(DayCountDate(44551), "21/12/2021");
    long long day = 0;
    ASSERT_TRUE(DayCountOf(21, 12, 2021, day));
    EXPECT_EQ(day, 44551);
    EXPECT_FALSE(DayCountOf(29, 2, 2023, day));
    EXPECT_TRUE(DayCountOf(29, 2, 2024, day));
}

struct UrlCase {
    const char* environment;
    const char* oauth;
    const char* expectHost;  // of the token URL; null: refused
    const char* complaint;
};

TEST(Settings, HostsAndTheHttpsRule) {
    const UrlCase cases[] = {
        {"", "", "oauth.bb.com.br", nullptr},
        {"Production", "", "oauth.bb.com.br", nullptr},
        {"sandbox", "", "oauth.sandbox.bb.com.br", nullptr},
        {"homolog", "", nullptr, "environment"},
        {"", "https://proxy.example:8443/x", "proxy.example", nullptr},
        {"", "http://127.0.0.1:9", "127.0.0.1", nullptr},
        {"", "http://127.10.0.1:9", "127.10.0.1", nullptr},
        {"", "http://localhost:9", "localhost", nullptr},
        {"", "http://[::1]:9", "::1", nullptr},
        {"", "http://oauth.bb.com.br", nullptr, "https"},
        {"", "http://127.0.0.1.example.com", nullptr, "https"},
        {"", "http://10.0.0.1", nullptr, "https"},
        {"", "ftp://x", nullptr, "oauth_url"},
        {"", "https://user:pw@host", nullptr, "oauth_url"},
        {"", "https://host:99999", nullptr, "porta"},
        {"", "https://", nullptr, "servidor"},
    };
    for (const UrlCase& c : cases) {
        SCOPED_TRACE(std::string(c.environment) + " " + c.oauth);
        IniValues ini;
        ini.environment = c.environment;
        ini.oauthUrl = c.oauth;
        Settings settings;
        const std::string error = SettingsFrom(ini, settings);
        if (c.expectHost) {
            EXPECT_EQ(error, "");
            EXPECT_EQ(settings.oauth.host, c.expectHost);
        } else {
            EXPECT_NE(error.find(c.complaint), std::string::npos) << error;
        }
    }
}

TEST(Settings, KeyNameAndTimeout) {
    IniValues ini;
    Settings settings;
    ASSERT_EQ(SettingsFrom(ini, settings), "");
    EXPECT_EQ(settings.appKeyParam, "gw-dev-app-key");
    EXPECT_EQ(settings.timeoutMs, 30000u);
    EXPECT_EQ(settings.api.host, "api.bb.com.br");
    ini.appKeyParam = "gw-app-key";
    ini.timeoutMs = "1500";
    ASSERT_EQ(SettingsFrom(ini, settings), "");
    EXPECT_EQ(settings.appKeyParam, "gw-app-key");
    EXPECT_EQ(settings.timeoutMs, 1500u);
    for (const char* bad : {"0", "-1", "abc", "600001", "99999999999999999999"}) {
        ini.timeoutMs = bad;
        EXPECT_NE(SettingsFrom(ini, settings).find("timeout_ms"), std::string::npos) << bad;
    }
    ini.timeoutMs = "";
    ini.appKeyParam = "a=b&c";
    EXPECT_NE(SettingsFrom(ini, settings).find("app_key_param"), std::string::npos);

    // Comments after the values, as a person writes them in the file.
    ini.environment = "sandbox        ; or production";
    ini.appKeyParam = " gw-app-key\t# the other reading";
    ini.timeoutMs = "2000 ;ms";
    ini.oauthUrl = "https://x.example/a;b";  // a ';' inside a value stays
    ASSERT_EQ(SettingsFrom(ini, settings), "");
    EXPECT_EQ(settings.api.host, "api.sandbox.bb.com.br");
    EXPECT_EQ(settings.appKeyParam, "gw-app-key");
    EXPECT_EQ(settings.timeoutMs, 2000u);
    EXPECT_EQ(settings.oauth.path, "/a;b");
    ini = IniValues{};
    ini.appKeyParam = "a=b&c";
    EXPECT_NE(SettingsFrom(ini, settings).find("app_key_param"), std::string::npos);
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

TEST(Answers, TokenAndQrCode) {
    Token token;
    std::string error;
    ASSERT_TRUE(ReadToken(R"({"access_token":"abc","token_type":"Bearer","expires_in":600})", token, error));
    EXPECT_EQ(token.accessToken, "abc");
    EXPECT_EQ(token.expiresIn, 600);
    ASSERT_TRUE(ReadToken(R"({"access_token":"abc","expires_in":"300"})", token, error));
    EXPECT_EQ(token.expiresIn, 300);
    ASSERT_TRUE(ReadToken(R"({"access_token":"abc"})", token, error));
    EXPECT_EQ(token.expiresIn, 0);
    EXPECT_FALSE(ReadToken(R"({"access_token":""})", token, error));
    EXPECT_FALSE(ReadToken(R"({"access_token":"a\r\nX-Evil: 1"})", token, error));
    EXPECT_FALSE(ReadToken(R"({"token_type":"Bearer"})", token, error));
    EXPECT_FALSE(ReadToken(R"({"access_token":"abc")", token, error));

    QrCode qr;
    ASSERT_TRUE(ReadQrCode(R"({"qrCode":{"url":"u","txId":"t","emv":"e","tipo":2},"id":1})", qr, error));
    EXPECT_EQ(qr.url, "u");
    EXPECT_EQ(qr.txId, "t");
    EXPECT_EQ(qr.emv, "e");
    EXPECT_FALSE(ReadQrCode(R"({"qr":{}})", qr, error));
    EXPECT_FALSE(ReadQrCode(R"({"qrCode":"x"})", qr, error));
    EXPECT_FALSE(ReadQrCode("{\"qrCode\":{\"emv\":\"000201", qr, error));

    EXPECT_TRUE(IsInvalidClient(401, R"({"error":"invalid_client"})"));
    EXPECT_FALSE(IsInvalidClient(400, R"({"error":"invalid_client"})"));
    EXPECT_FALSE(IsInvalidClient(401, R"({"statusCode":401,"error":"Unauthorized"})"));
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
        QrCode code;
        std::string error;
        const bool read = ReadQrCode(qr.substr(0, n), code, error);
        EXPECT_FALSE(read && code.emv == "000201") << n;
    }
    for (std::size_t n = 0; n < token.size(); ++n) {
        Token t;
        std::string error;
        EXPECT_FALSE(ReadToken(token.substr(0, n), t, error)) << n;
    }
    for (std::size_t n = 0; n < errors.size(); ++n) BankMessage(errors.substr(0, n));
    EXPECT_EQ(BankMessage(errors), "M (código 1). Providência: P");
}

}  // namespace
}  // namespace bank001
