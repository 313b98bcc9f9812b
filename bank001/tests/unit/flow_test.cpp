#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "bank001/core/flow.h"
#include "br_code_builder.h"

namespace bank001 {
namespace {

constexpr char kSecret[] = "segredo-do-cliente";
constexpr char kToken[] = "token-de-acesso-1";

// Answers from a script, in order; records each request.
class FakeTransport : public Transport {
public:
    std::deque<HttpResponse> script;
    std::vector<HttpRequest> requests;

    HttpResponse Send(const HttpRequest& request, const Settings&) override {
        requests.push_back(request);
        if (script.empty()) return {false, 0, "", "nada mais no roteiro"};
        HttpResponse response = script.front();
        script.pop_front();
        return response;
    }
    bool IsToken(std::size_t i) const { return requests.at(i).url.path == "/oauth/token"; }
};

class FakeClock : public Clock {
public:
    std::int64_t now = 1000000;
    std::int64_t NowMs() override { return now; }
};

HttpResponse Answer(int status, std::string body) { return {true, status, std::move(body), ""}; }
HttpResponse TokenAnswer(const std::string& token = kToken, int expiresIn = 600) {
    return Answer(200, R"({"access_token":")" + token + R"(","token_type":"Bearer","expires_in":)" +
                           std::to_string(expiresIn) + "}");
}
const std::string kEmv = testing::BrCode(testing::BankFields("123.45"));
HttpResponse PixAnswer(const std::string& emv = kEmv,
                       const std::string& txId = "BOLETO31285570000000001DATA21122021") {
    return Answer(200, R"({"qrCode":{"url":"qrcodepix-h.bb.com.br/pix/v2/cobv/x","txId":")" + txId +
                           R"(","emv":")" + emv + R"("}})");
}

Inputs GoodInputs() {
    Inputs in;
    in.bankCode = "001";
    in.appKey = "chave-app";
    in.clientId = "cliente";
    in.clientSecret = kSecret;
    in.convenio = "3128557";
    in.pixKey = "12ABC34501DE35";
    in.boleto = "0000000001";
    in.valor = 123.45;
    in.vencimento = 44551;  // 21/12/2021, the date in the txid above
    return in;
}

IniValues LocalIni() {
    IniValues ini;
    ini.oauthUrl = "http://127.0.0.1:1";
    ini.apiUrl = "http://127.0.0.1:2";
    return ini;
}

class Flow : public ::testing::Test {
protected:
    FakeTransport transport;
    FakeClock clock;
    TokenCache tokens;
    PixFlow flow{transport, clock, tokens};

    std::string Run(const Inputs& in = GoodInputs()) {
        std::string answer = flow.NewPix(in, LocalIni());
        // Whatever the path, neither secret nor token is ever shown.
        EXPECT_EQ(answer.find(kSecret), std::string::npos) << answer;
        EXPECT_EQ(answer.find("token-de-acesso"), std::string::npos) << answer;
        return answer;
    }
};

TEST_F(Flow, SuccessReturnsTheCodeOnALineOfItsOwn) {
    transport.script = {TokenAnswer(), PixAnswer()};
    const std::string answer = Run();
    EXPECT_EQ(answer, "Pix copia e cola do boleto 00031285570000000001:\r\n" + kEmv +
                          "\r\nTxId: BOLETO31285570000000001DATA21122021\r\nLocation: qrcodepix-h.bb.com.br/pix/v2/cobv/x");
    ASSERT_EQ(transport.requests.size(), 2u);
    EXPECT_TRUE(transport.IsToken(0));
    EXPECT_EQ(transport.requests[1].Header("Authorization"), std::string("Bearer ") + kToken);
    EXPECT_EQ(transport.requests[1].body, "{\"numeroConvenio\":3128557}");
}

TEST_F(Flow, AnotherDueDateInTheTxIdAddsAWarning) {
    transport.script = {TokenAnswer(), PixAnswer()};
    Inputs in = GoodInputs();
    in.vencimento = 44552;
    const std::string answer = Run(in);
    EXPECT_EQ(answer.rfind("Pix copia e cola", 0), 0u);
    EXPECT_NE(answer.find("\r\nAviso: o boleto está registrado com vencimento 21/12/2021, não 22/12/2021"),
              std::string::npos)
        << answer;
}

TEST_F(Flow, TokenIsCachedUntilItsLifetimeLessTheMargin) {
    transport.script = {TokenAnswer(), PixAnswer(), PixAnswer()};
    EXPECT_EQ(Run().rfind("Pix copia e cola", 0), 0u);
    clock.now += (600 - 61) * 1000;  // still inside the lifetime less the margin
    EXPECT_EQ(Run().rfind("Pix copia e cola", 0), 0u);
    ASSERT_EQ(transport.requests.size(), 3u);
    EXPECT_FALSE(transport.IsToken(2));

    clock.now += 2000;  // now within the margin: a fresh token
    transport.script = {TokenAnswer("token-de-acesso-2"), PixAnswer()};
    EXPECT_EQ(Run().rfind("Pix copia e cola", 0), 0u);
    ASSERT_EQ(transport.requests.size(), 5u);
    EXPECT_TRUE(transport.IsToken(3));
    EXPECT_EQ(transport.requests[4].Header("Authorization"), "Bearer token-de-acesso-2");
}

TEST_F(Flow, TokenIsKeptPerClient) {
    transport.script = {TokenAnswer(), PixAnswer(), TokenAnswer("token-de-acesso-2"), PixAnswer()};
    Run();
    Inputs other = GoodInputs();
    other.clientSecret = "outro-segredo";
    Run(other);
    ASSERT_EQ(transport.requests.size(), 4u);
    EXPECT_TRUE(transport.IsToken(2));
}

TEST_F(Flow, ShortLivedTokenIsNotCached) {
    transport.script = {TokenAnswer(kToken, 30), PixAnswer(), TokenAnswer(), PixAnswer()};
    Run();
    Run();
    ASSERT_EQ(transport.requests.size(), 4u);
    EXPECT_TRUE(transport.IsToken(2));
}

TEST_F(Flow, InvalidClientOnceIsRetried) {
    const HttpResponse refused = Answer(401, R"({"error":"invalid_client","error_description":"Cliente inválido"})");
    transport.script = {refused, TokenAnswer(), PixAnswer()};
    EXPECT_EQ(Run().rfind("Pix copia e cola", 0), 0u);
    ASSERT_EQ(transport.requests.size(), 3u);
    EXPECT_TRUE(transport.IsToken(1));
}

TEST_F(Flow, InvalidClientTwiceIsAnError) {
    const HttpResponse refused = Answer(401, R"({"error":"invalid_client","error_description":"Cliente inválido"})");
    transport.script = {refused, refused, refused};
    const std::string answer = Run();
    EXPECT_EQ(answer.rfind("Erro: o servidor de autenticação do banco recusou o pedido (HTTP 401): Cliente inválido", 0), 0u)
        << answer;
    EXPECT_NE(answer.find("Providência"), std::string::npos);
    EXPECT_EQ(transport.requests.size(), 2u);  // once more, never twice
}

TEST_F(Flow, OtherTokenRefusalsAreNotRetried) {
    transport.script = {Answer(400, R"({"error":"invalid_request","error_description":"Software cliente não identificado."})")};
    EXPECT_NE(Run().find("Software cliente não identificado."), std::string::npos);
    EXPECT_EQ(transport.requests.size(), 1u);
}

TEST_F(Flow, ExpiredCachedTokenIsReplacedOnce) {
    transport.script = {TokenAnswer(), PixAnswer(),
                        Answer(401, R"({"statusCode":401,"error":"Unauthorized","message":"Token expirado"})"),
                        TokenAnswer("token-de-acesso-2"), PixAnswer()};
    Run();
    EXPECT_EQ(Run().rfind("Pix copia e cola", 0), 0u);
    ASSERT_EQ(transport.requests.size(), 5u);
    EXPECT_EQ(transport.requests[4].Header("Authorization"), "Bearer token-de-acesso-2");
}

TEST_F(Flow, ApiRefusalWithAFreshTokenIsNotRetried) {
    transport.script = {TokenAnswer(), Answer(401, R"({"statusCode":401,"error":"Unauthorized","message":"Chave inválida"})")};
    EXPECT_EQ(Run(), "Erro: o banco recusou o pedido (HTTP 401): Chave inválida (Unauthorized)");
    EXPECT_EQ(transport.requests.size(), 2u);
}

struct ErrorCase {
    const char* name;
    HttpResponse answer;
    const char* expected;  // start of the answer text
};

TEST_F(Flow, BankErrorsBecomeReadableTexts) {
    const ErrorCase cases[] = {
        {"400 erros",
         Answer(400, R"({"erros":[{"codigo":"4874915","mensagem":"Boleto não encontrado.","providencia":"Registre o boleto."}]})"),
         "Erro: o banco recusou o pedido (HTTP 400): Boleto não encontrado. (código 4874915). Providência: Registre o boleto."},
        {"403", Answer(403, R"({"erros":[{"codigo":"403","mensagem":"Acesso negado."}]})"),
         "Erro: o banco recusou o pedido (HTTP 403): Acesso negado. (código 403)"},
        {"503 without a body", Answer(503, ""), "Erro: o banco recusou o pedido (HTTP 503)."},
        {"hidden error",
         Answer(200, R"({"qrCode":{"url":"O campo data de expiração não é válido.","txId":"Pix não registrado","emv":""}})"),
         "Erro: o banco não gerou o Pix: Pix não registrado: O campo data de expiração não é válido."},
        {"malformed JSON", Answer(200, "{\"qrCode\": {"), "Erro: a resposta do banco não é JSON válido."},
        {"no qrCode", Answer(200, "{}"), "Erro: a resposta do banco não traz qrCode."},
        {"cut short", {false, 0, "", "a resposta chegou incompleta."},
         "Erro: sem resposta da API do banco: a resposta chegou incompleta."},
        {"bad CRC", PixAnswer(kEmv.substr(0, kEmv.size() - 1) + (kEmv.back() == '0' ? "1" : "0")),
         "Erro: o código Pix devolvido pelo banco é inválido: CRC"},
        {"other amount", PixAnswer(testing::BrCode(testing::BankFields("123.40"))),
         "Erro: o código Pix devolvido pelo banco é inválido: o valor do código (123.40) difere do valor digitado (123.45)."},
    };
    for (const ErrorCase& c : cases) {
        SCOPED_TRACE(c.name);
        transport.script = {TokenAnswer(), c.answer};
        transport.requests.clear();
        FakeClock freshClock;
        TokenCache freshTokens;
        PixFlow fresh(transport, freshClock, freshTokens);
        const std::string answer = fresh.NewPix(GoodInputs(), LocalIni());
        EXPECT_EQ(answer.rfind(c.expected, 0), 0u) << answer;
        EXPECT_EQ(answer.find(kSecret), std::string::npos);
        EXPECT_EQ(answer.find(kToken), std::string::npos);
    }
}

TEST_F(Flow, NoAnswerFromTheTokenServer) {
    transport.script = {{false, 0, "", "tempo esgotado."}};
    EXPECT_EQ(Run(), "Erro: sem resposta do servidor de autenticação do banco: tempo esgotado.");
    transport.script = {Answer(200, "not json")};
    EXPECT_EQ(Run(), "Erro: a resposta do token não é JSON válido.");
}

TEST_F(Flow, InvalidInputsSendNothing) {
    Inputs bad = GoodInputs();
    bad.pixKey = "52998224724";
    EXPECT_EQ(Run(bad), "Erro: Chave Pix: CPF com dígitos verificadores inválidos.");
    IniValues ini;
    ini.oauthUrl = "http://oauth.bb.com.br";
    EXPECT_EQ(flow.NewPix(GoodInputs(), ini).rfind("Erro: Quelvano.ini: oauth_url", 0), 0u);
    EXPECT_TRUE(transport.requests.empty());
}

}  // namespace
}  // namespace bank001
