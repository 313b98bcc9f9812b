#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "bank001/core/flow.h"
#include "br_code_builder.h"

namespace bank001 {
namespace {

constexpr char kSecret[] = "segredo-do-cliente";
constexpr char kToken[] = "token-de-acesso-1";

class FakeClock : public Clock {
public:
    std::int64_t now = 1000000;
    std::int64_t NowMs() override { return now; }
};

// One scripted answer, and how long the network takes to give it.
struct Step {
    HttpResponse response;
    std::int64_t takesMs = 0;
};

// What a request saw of the call's time when it began.
struct Sent {
    std::string path, authorization;
    std::int64_t remainingMs, stageMs;
};

// Answers from a script, in order, moving the clock on as the network would;
// records each request and the time it was given.
class FakeTransport : public Transport {
public:
    explicit FakeTransport(FakeClock& clock) : clock_(clock) {}
    std::deque<Step> script;
    std::vector<Sent> requests;

    HttpResponse Send(const HttpRequest& request, const Settings& settings, const Deadline& deadline) override {
        requests.push_back({request.url.path, std::string(request.authorization.View()), deadline.RemainingMs(),
                            deadline.StageMs(settings.timeoutMs)});
        if (script.empty()) return HttpResponse::Failed("nada mais no roteiro");
        Step step = std::move(script.front());
        script.pop_front();
        clock_.now += step.takesMs;
        return std::move(step.response);
    }
    bool IsToken(std::size_t i) const { return requests.at(i).path == "/oauth/token"; }

private:
    FakeClock& clock_;
};

Step Answer(int status, const std::string& body, std::int64_t takesMs = 0) {
    return {HttpResponse::Delivered(status, body), takesMs};
}
Step TimedOut(const std::string& why, std::int64_t takesMs) { return {HttpResponse::Failed(why, true), takesMs}; }
Step TokenAnswer(const std::string& token = kToken, int expiresIn = 600) {
    return Answer(200, R"({"access_token":")" + token + R"(","token_type":"Bearer","expires_in":)" +
                           std::to_string(expiresIn) + "}");
}
const std::string kEmv = testing::BrCode(testing::BankFields("123.45"));
Step PixAnswer(const std::string& emv = kEmv, const std::string& txId = "BOLETO31285570000000001DATA21122021",
               const std::string& url = "qrcodepix-h.bb.com.br/pix/v2/cobv/x") {
    return Answer(200, R"({"qrCode":{"url":")" + url + R"(","txId":")" + txId + R"(","emv":")" + emv + R"("}})");
}

Inputs GoodInputs() {
    Inputs in;
    in.bankCode = "001";
    in.appKey = "chave-app";
    in.clientId = "cliente";
    in.clientSecret = Secret(kSecret);
    in.convenio = "3128557";
    in.pixKey = "12ABC34501DE35";
    in.boleto = "0000000001";
    in.valor = 123.45;
    in.vencimento = 44551;  // 21/12/2021, the date in the txid above
    return in;
}

pix::Result<IniValues> LocalIni(const char* deadlineMs = "") {
    IniValues ini;
    ini.oauthUrl = "http://127.0.0.1:1";
    ini.apiUrl = "http://127.0.0.1:2";
    ini.deadlineMs = deadlineMs;
    return {ini, {}};
}

class Flow : public ::testing::Test {
protected:
    FakeClock clock;
    FakeTransport transport{clock};
    TokenCache tokens;
    PixFlow flow{transport, clock, tokens};

    // A new script: the steps in order.
    template <class... Steps>
    void Play(Steps&&... steps) {
        transport.script.clear();
        (transport.script.push_back(std::forward<Steps>(steps)), ...);
    }

    std::string Run(const Inputs& in = GoodInputs(), const pix::Result<IniValues>& ini = LocalIni()) {
        std::string answer = flow.NewPix(in, ini);
        // Whatever the path, neither secret nor token is ever shown.
        EXPECT_EQ(answer.find(kSecret), std::string::npos) << answer;
        EXPECT_EQ(answer.find("token-de-acesso"), std::string::npos) << answer;
        return answer;
    }
};

TEST_F(Flow, SuccessReturnsTheCodeOnALineOfItsOwn) {
    Play(TokenAnswer(), PixAnswer());
    const std::string answer = Run();
    EXPECT_EQ(answer, "Pix copia e cola do boleto 00031285570000000001:\r\n" + kEmv +
                          "\r\nTxId: BOLETO31285570000000001DATA21122021\r\nLocation: qrcodepix-h.bb.com.br/pix/v2/cobv/x");
    ASSERT_EQ(transport.requests.size(), 2u);
    EXPECT_TRUE(transport.IsToken(0));
    EXPECT_EQ(transport.requests[1].authorization, std::string("Bearer ") + kToken);
}

TEST_F(Flow, AnotherDueDateInTheTxIdAddsAWarning) {
    Play(TokenAnswer(), PixAnswer());
    Inputs in = GoodInputs();
    in.vencimento = 44552;
    const std::string answer = Run(in);
    EXPECT_EQ(answer.rfind("Pix copia e cola", 0), 0u);
    EXPECT_NE(answer.find("\r\nAviso: o boleto está registrado com vencimento 21/12/2021, não 22/12/2021"),
              std::string::npos)
        << answer;
}

TEST_F(Flow, TokenIsCachedUntilItsLifetimeLessTheMargin) {
    Play(TokenAnswer(), PixAnswer(), PixAnswer());
    EXPECT_EQ(Run().rfind("Pix copia e cola", 0), 0u);
    clock.now += (600 - 61) * 1000;  // still inside the lifetime less the margin
    EXPECT_EQ(Run().rfind("Pix copia e cola", 0), 0u);
    ASSERT_EQ(transport.requests.size(), 3u);
    EXPECT_FALSE(transport.IsToken(2));

    clock.now += 2000;  // now within the margin: a fresh token
    Play(TokenAnswer("token-de-acesso-2"), PixAnswer());
    EXPECT_EQ(Run().rfind("Pix copia e cola", 0), 0u);
    ASSERT_EQ(transport.requests.size(), 5u);
    EXPECT_TRUE(transport.IsToken(3));
    EXPECT_EQ(transport.requests[4].authorization, "Bearer token-de-acesso-2");
}

TEST_F(Flow, TokenIsKeptPerClient) {
    Play(TokenAnswer(), PixAnswer(), TokenAnswer("token-de-acesso-2"), PixAnswer());
    Run();
    Inputs other = GoodInputs();
    other.clientSecret = Secret("outro-segredo");
    Run(other);
    ASSERT_EQ(transport.requests.size(), 4u);
    EXPECT_TRUE(transport.IsToken(2));
}

TEST_F(Flow, ShortLivedTokenIsNotCached) {
    Play(TokenAnswer(kToken, 30), PixAnswer(), TokenAnswer(), PixAnswer());
    Run();
    Run();
    ASSERT_EQ(transport.requests.size(), 4u);
    EXPECT_TRUE(transport.IsToken(2));
}

TEST_F(Flow, InvalidClientOnceIsRetried) {
    auto refused = [] { return Answer(401, R"({"error":"invalid_client","error_description":"Cliente inválido"})"); };
    Play(refused(), TokenAnswer(), PixAnswer());
    EXPECT_EQ(Run().rfind("Pix copia e cola", 0), 0u);
    ASSERT_EQ(transport.requests.size(), 3u);
    EXPECT_TRUE(transport.IsToken(1));
}

TEST_F(Flow, InvalidClientTwiceIsAnError) {
    auto refused = [] { return Answer(401, R"({"error":"invalid_client","error_description":"Cliente inválido"})"); };
    Play(refused(), refused(), refused());
    const std::string answer = Run();
    EXPECT_EQ(answer.rfind("Erro: o servidor de autenticação do banco recusou o pedido (HTTP 401): Cliente inválido", 0), 0u)
        << answer;
    EXPECT_NE(answer.find("Providência"), std::string::npos);
    EXPECT_EQ(transport.requests.size(), 2u);  // once more, never twice
}

TEST_F(Flow, OtherTokenRefusalsAreNotRetried) {
    Play(Answer(400, R"({"error":"invalid_request","error_description":"Software cliente não identificado."})"));
    EXPECT_NE(Run().find("Software cliente não identificado."), std::string::npos);
    EXPECT_EQ(transport.requests.size(), 1u);
}

TEST_F(Flow, ExpiredCachedTokenIsReplacedOnce) {
    Play(TokenAnswer(), PixAnswer(),
                        Answer(401, R"({"statusCode":401,"error":"Unauthorized","message":"Token expirado"})"),
                        TokenAnswer("token-de-acesso-2"), PixAnswer());
    Run();
    EXPECT_EQ(Run().rfind("Pix copia e cola", 0), 0u);
    ASSERT_EQ(transport.requests.size(), 5u);
    EXPECT_EQ(transport.requests[4].authorization, "Bearer token-de-acesso-2");
}

TEST_F(Flow, ApiRefusalWithAFreshTokenIsNotRetried) {
    Play(TokenAnswer(), Answer(401, R"({"statusCode":401,"error":"Unauthorized","message":"Chave inválida"})"));
    EXPECT_EQ(Run(), "Erro: o banco recusou o pedido (HTTP 401): Chave inválida (Unauthorized)");
    EXPECT_EQ(transport.requests.size(), 2u);
}

struct ErrorCase {
    const char* name;
    std::function<Step()> answer;
    const char* expected;  // start of the answer text
};

TEST_F(Flow, BankErrorsBecomeReadableTexts) {
    const ErrorCase cases[] = {
        {"400 erros",
         [] { return Answer(400, R"({"erros":[{"codigo":"4874915","mensagem":"Boleto não encontrado.","providencia":"Registre o boleto."}]})"); },
         "Erro: o banco recusou o pedido (HTTP 400): Boleto não encontrado. (código 4874915). Providência: Registre o boleto."},
        {"403", [] { return Answer(403, R"({"erros":[{"codigo":"403","mensagem":"Acesso negado."}]})"); },
         "Erro: o banco recusou o pedido (HTTP 403): Acesso negado. (código 403)"},
        {"503 without a body", [] { return Answer(503, ""); }, "Erro: o banco recusou o pedido (HTTP 503)."},
        {"hidden error",
         [] { return Answer(200, R"({"qrCode":{"url":"O campo data de expiração não é válido.","txId":"Pix não registrado","emv":""}})"); },
         "Erro: o banco não gerou o Pix: Pix não registrado: O campo data de expiração não é válido."},
        {"hidden error with a line break",
         [] { return Answer(200, R"({"qrCode":{"url":"x\r\nPix copia e cola: 000201","txId":"Falhou","emv":""}})"); },
         "Erro: o banco não gerou o Pix: Falhou: x  Pix copia e cola: 000201"},
        {"malformed JSON", [] { return Answer(200, "{\"qrCode\": {"); }, "Erro: a resposta do banco não é JSON válido."},
        {"no qrCode", [] { return Answer(200, "{}"); }, "Erro: a resposta do banco não traz qrCode."},
        {"cut short", [] { return Step{HttpResponse::Failed("a resposta chegou incompleta."), 0}; },
         "Erro: sem resposta da API do banco: a resposta chegou incompleta."},
        {"bad CRC", [] { return PixAnswer(kEmv.substr(0, kEmv.size() - 1) + (kEmv.back() == '0' ? "1" : "0")); },
         "Erro: o código Pix devolvido pelo banco é inválido: CRC"},
        {"other amount", [] { return PixAnswer(testing::BrCode(testing::BankFields("123.40"))); },
         "Erro: o código Pix devolvido pelo banco é inválido: o valor do código (123.40) difere do valor digitado (123.45)."},
        {"location on another host than the bank's url",
         [] { return PixAnswer(kEmv, "BOLETO31285570000000001DATA21122021", "pix.outro-banco.example/v2/x"); },
         "Erro: o código Pix devolvido pelo banco é inválido: a localização do Pix (campo 26-25) aponta para "
         "qrcodepix-h.bb.com.br, não para pix.outro-banco.example"},
    };
    for (const ErrorCase& c : cases) {
        SCOPED_TRACE(c.name);
        transport.script.clear();
        transport.script.push_back(TokenAnswer());
        transport.script.push_back(c.answer());
        transport.requests.clear();
        FakeClock freshClock;
        TokenCache freshTokens;
        PixFlow fresh(transport, freshClock, freshTokens);
        const std::string answer = fresh.NewPix(GoodInputs(), LocalIni());
        EXPECT_EQ(answer.rfind(c.expected, 0), 0u) << answer;
        EXPECT_EQ(answer.find(kSecret), std::string::npos);
        EXPECT_EQ(answer.find(kToken), std::string::npos);
        EXPECT_EQ(answer.find('\n'), std::string::npos) << answer;  // one line: the bank's words never break it
    }
}

TEST_F(Flow, NoAnswerFromTheTokenServer) {
    transport.script.push_back({HttpResponse::Failed("a conexão caiu."), 0});
    EXPECT_EQ(Run(), "Erro: sem resposta do servidor de autenticação do banco: a conexão caiu.");
    transport.script.push_back(Answer(200, "not json"));
    EXPECT_EQ(Run(), "Erro: a resposta do token não é JSON válido.");
}

TEST_F(Flow, InvalidInputsSendNothing) {
    Inputs bad = GoodInputs();
    bad.pixKey = "52998224724";
    EXPECT_EQ(Run(bad), "Erro: Chave Pix: CPF com dígitos verificadores inválidos.");
    IniValues ini;
    ini.oauthUrl = "http://oauth.bb.com.br";
    EXPECT_EQ(Run(GoodInputs(), {ini, {}}).rfind("Erro: Quelvano.ini: oauth_url", 0), 0u);
    EXPECT_EQ(Run(GoodInputs(), pix::Result<IniValues>::Failed("Quelvano.ini: [bank001] não tem a chave \"x\".")),
              "Erro: Quelvano.ini: [bank001] não tem a chave \"x\".");
    EXPECT_TRUE(transport.requests.empty());
}

// --- one deadline per call ---------------------------------------------------------

constexpr char kTimeoutAdvice[] = "\r\nProvidência: confira a conexão com a internet e o proxy";

// Each request starts with what the earlier ones left of the call's time,
// and each of its stages gets at most that, or the per-stage cap when less.
TEST_F(Flow, EachRequestGetsWhatIsLeftOfTheCall) {
    Play(TokenAnswer(kToken, 600), PixAnswer());
    transport.script.front().takesMs = 9000;
    EXPECT_EQ(Run(GoodInputs(), LocalIni("15000")).rfind("Pix copia e cola", 0), 0u);
    ASSERT_EQ(transport.requests.size(), 2u);
    EXPECT_EQ(transport.requests[0].remainingMs, 15000);
    EXPECT_EQ(transport.requests[0].stageMs, 15000);  // timeout_ms 30000 is the larger
    EXPECT_EQ(transport.requests[1].remainingMs, 6000);
    EXPECT_EQ(transport.requests[1].stageMs, 6000);

    // With a smaller cap, the cap.
    pix::Result<IniValues> ini = LocalIni("15000");
    ini.value.timeoutMs = "2000";
    Play(PixAnswer());
    Run(GoodInputs(), ini);
    EXPECT_EQ(transport.requests.back().remainingMs, 15000);
    EXPECT_EQ(transport.requests.back().stageMs, 2000);
}

// The call ends when its time does: a request that used it up is the last,
// and the answer says what ran out and what to do.
TEST_F(Flow, NoRequestStartsAfterTheDeadline) {
    Play(Answer(200, R"({"access_token":"x","expires_in":600})", 15000), PixAnswer());
    const std::string answer = Run(GoodInputs(), LocalIni("15000"));
    EXPECT_EQ(answer.rfind("Erro: sem resposta da API do banco: o prazo de 15000 ms da chamada (deadline_ms) acabou "
                           "antes do pedido a 127.0.0.1.",
                           0),
              0u)
        << answer;
    EXPECT_NE(answer.find(kTimeoutAdvice), std::string::npos);
    EXPECT_EQ(transport.requests.size(), 1u);

    // The invalid_client retry waits for time too.
    Play(Answer(401, R"({"error":"invalid_client"})", 15000), TokenAnswer());
    transport.requests.clear();
    EXPECT_NE(Run(GoodInputs(), LocalIni("15000")).find("acabou antes do pedido"), std::string::npos);
    EXPECT_EQ(transport.requests.size(), 1u);
}

TEST_F(Flow, ATimedOutRequestSaysWhatToDo) {
    Play(TimedOut("o prazo de 15000 ms da chamada (deadline_ms) acabou esperando a conexão com 127.0.0.1:1.", 15000));
    const std::string answer = Run();
    EXPECT_EQ(answer,
              "Erro: sem resposta do servidor de autenticação do banco: o prazo de 15000 ms da chamada (deadline_ms) "
              "acabou esperando a conexão com 127.0.0.1:1." +
                  std::string(kTimeoutAdvice) +
                  " (proxy= em Quelvano.ini) e tente de novo; numa rede lenta, aumente deadline_ms em Quelvano.ini "
                  "(até 120000).");
    // Other failures are not a matter of time: no such advice.
    Play(Step{HttpResponse::Failed("a resposta chegou incompleta."), 0});
    EXPECT_EQ(Run().find("Providência"), std::string::npos);
}

// However the bank answers, one call makes at most four requests: the
// cached token refused, a token refused with invalid_client, asked again,
// and the PIX again.
TEST_F(Flow, AtMostFourRequestsPerCall) {
    auto refused = [] { return Answer(401, R"({"error":"invalid_client","error_description":"Cliente inválido"})"); };
    auto expired = [] { return Answer(401, R"({"statusCode":401,"error":"Unauthorized","message":"Token expirado"})"); };
    Play(TokenAnswer(), PixAnswer());
    Run();  // the token is cached
    transport.requests.clear();
    Play(expired(), refused(), TokenAnswer("token-de-acesso-2"), expired(), refused(), refused());
    const std::string answer = Run();
    EXPECT_EQ(transport.requests.size(), 4u);
    EXPECT_EQ(answer.rfind("Erro: o banco recusou o pedido (HTTP 401)", 0), 0u) << answer;

    // A 401 to everything: two requests without a cached token.
    TokenCache empty;
    PixFlow fresh(transport, clock, empty);
    transport.requests.clear();
    Play(refused(), refused(), refused(), refused(), refused());
    fresh.NewPix(GoodInputs(), LocalIni());
    EXPECT_EQ(transport.requests.size(), 2u);
}

// --- the token cache ----------------------------------------------------------------

TEST(TokenCache, FindsCopiesAndForgets) {
    TokenCache cache;
    cache.Store("k", Secret("token"), 0, 600);
    Secret found = cache.Find("k", 1000);
    EXPECT_EQ(found.View(), "token");
    found.Clear();
    EXPECT_EQ(cache.Find("k", 1000).View(), "token");  // the cache's own is untouched
    EXPECT_TRUE(cache.Find("k", 540000).Empty());      // lifetime less the margin
    EXPECT_TRUE(cache.Find("other", 1000).Empty());
    cache.Forget("k");
    EXPECT_TRUE(cache.Find("k", 1000).Empty());
    cache.Store("k", Secret("token"), 0, 1000000000000000000);  // capped at a day, no overflow
    EXPECT_FALSE(cache.Find("k", 86400000 - 60001).Empty());
    EXPECT_TRUE(cache.Find("k", 86400000 - 60000).Empty());
}

}  // namespace
}  // namespace bank001
