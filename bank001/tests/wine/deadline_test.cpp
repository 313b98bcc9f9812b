// One deadline per call, whatever the network does, and a transport that
// checks every option it sets.
#include "tests/wine/driver/driver.h"

#include <nlohmann/json.hpp>

#include <string>

#include "bank001/tests/wine/library_under_test.h"
#include "bank001/tests/wine/mock_client.h"
#include "bank001/winhttp_transport.h"

using namespace pixtest;
using nlohmann::json;
using namespace bank001::testing;

namespace {

// How late a call may end after its deadline: the last stage's own return
// and the error's text. A figure for this machine, no timing benchmark.
constexpr ULONGLONG kMarginMs = 1500;

struct Fault {
    const char* name;
    std::string url;  // both hosts; empty: the mock's plain port
    json script;
    const char* during;  // the stage the answer names
};

}  // namespace

// Each network fault ends the call at its deadline (2 s here, well below
// the per-stage cap of 30 s) with an answer that says what ran out and what
// to do.
PIX_TEST(DeadlineEndsEveryNetworkFault) {
    MockBank mock;
    const Fault faults[] = {
        {"a server that accepts and never answers", "", json::array({json{{"kind", "silent"}, {"seconds", 60}}}),
         "durante a espera pela resposta de 127.0.0.1:"},
        {"a server that answers the token and then never", "",
         json::array({TokenAnswer(), json{{"kind", "silent"}, {"seconds", 60}}}),
         "durante a espera pela resposta de 127.0.0.1:"},
        {"a server that trickles its answer", "",
         json::array({TokenAnswer(), json{{"kind", "trickle"}, {"interval", 0.2}, {"body", std::string(400, ' ') + "{}"}}}),
         "durante a leitura da resposta de 127.0.0.1:"},
        {"an answer that stalls midway", "",
         json::array({TokenAnswer(), json{{"kind", "stall"}, {"seconds", 60}, {"body", R"({"qrCode":{"emv":")"}}}),
         "durante a leitura da resposta de 127.0.0.1:"},
        {"a host that never accepts", NeverAcceptingUrl(), json::array(), "durante a conexão com 127.0.0.1:"},
    };
    int n = 0;
    for (const Fault& fault : faults) {
        Context context(fault.name);
        Library library(L"fault-" + std::to_wstring(n++), "deadline_ms=2000\r\n");
        if (!fault.url.empty())
            library.WriteWholeIni("[bank001]\r\noauth_url=" + fault.url + "\r\napi_url=" + fault.url +
                                  "\r\ndeadline_ms=2000\r\n");
        mock.Script(fault.script);
        const ULONGLONG start = GetTickCount64();
        const std::string answer = library.NewPix(Call{});
        const ULONGLONG elapsed = GetTickCount64() - start;
        Note(std::string(fault.name) + ": " + std::to_string(elapsed) + " ms: " + answer);
        CHECK(StartsWith(answer, "Erro: sem resposta d"));
        CHECK(answer.find(std::string("o prazo de 2000 ms da chamada (deadline_ms) acabou ") + fault.during) !=
              std::string::npos);
        CHECK(answer.find("\r\nProvidência: confira a conexão com a internet e o proxy") != std::string::npos);
        CHECK(elapsed <= 2000 + kMarginMs);
    }
}

// However the bank refuses, a call makes at most four requests: the cached
// token refused, a token refused with invalid_client and asked again, the
// PIX again.
PIX_TEST(AFourOhOneLoopEndsAfterFourRequests) {
    MockBank mock;
    Library library(L"401-loop");
    mock.Script({TokenAnswer(), PixAnswer()});
    CheckSuccess(library.NewPix(Call{}));
    const json expired = Answer(401, R"({"statusCode":401,"error":"Unauthorized","message":"Token expirado"})");
    const json refused = Answer(401, R"({"error":"invalid_client","error_description":"Cliente inválido"})");
    json forever = refused;
    forever["repeat"] = true;
    mock.Script({expired, refused, TokenAnswer("token-dois"), expired, forever});
    const std::string answer = library.NewPix(Call{});
    CHECK(StartsWith(answer, "Erro: o banco recusou o pedido (HTTP 401): Token expirado"));
    CHECK_EQ(mock.Requests().size(), std::size_t{4});
}

// --- every option the transport sets is checked ------------------------------------

namespace {

// WinHTTP as the system has it, but for one option it refuses.
DWORD g_refusedOption = 0;
decltype(&::WinHttpSetOption) g_realSetOption = nullptr;

BOOL WINAPI RefusingSetOption(HINTERNET handle, DWORD option, LPVOID buffer, DWORD length) {
    if (option == g_refusedOption) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return g_realSetOption(handle, option, buffer, length);
}

struct RefusedOption {
    DWORD option;
    const char* named;  // in the error
    std::string url;
};

}  // namespace

// A request never leaves with an option that did not hold: each refusal is
// the request's error, naming the option.
PIX_TEST(EveryOptionThatDoesNotHoldIsAnError) {
    MockBank mock;
    std::string error;
    const bank001::WinHttpApi* system = bank001::WinHttp(error);
    REQUIRE(system != nullptr);
    bank001::WinHttpApi refusing = *system;
    g_realSetOption = system->SetOption;
    refusing.SetOption = &RefusingSetOption;
    const std::string tls = UntrustedTlsUrl();
    const RefusedOption options[] = {
        {WINHTTP_OPTION_DISABLE_FEATURE, "WINHTTP_OPTION_DISABLE_FEATURE", MockUrl()},
        {WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, "WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT", MockUrl()},
        {WINHTTP_OPTION_RECEIVE_TIMEOUT, "WINHTTP_OPTION_RECEIVE_TIMEOUT", MockUrl()},
        {WINHTTP_OPTION_ENABLE_FEATURE, "WINHTTP_OPTION_ENABLE_FEATURE", tls},
        {WINHTTP_OPTION_SECURE_PROTOCOLS, "TLS 1.2", MockUrl()},
    };
    for (const RefusedOption& row : options) {
        Context context(row.named);
        if (row.url.empty()) {
            SKIP_CHECK(row.named, "the mock has no TLS port (openssl missing)");
            continue;
        }
        mock.Script({TokenAnswer()});
        g_refusedOption = row.option;
        bank001::ClientCertificates certificates;
        bank001::ProxyDetection detection;
        bank001::WinHttpTransport transport(certificates, detection, &refusing);
        bank001::Settings settings;
        settings.oauth = bank001::ParseUrl(row.url).value;
        settings.proxy.kind = bank001::Proxy::Kind::None;
        bank001::HttpRequest request;
        request.method = "POST";
        request.url = settings.oauth;
        request.url.path = "/oauth/token";
        TickClock clock;
        const bank001::Deadline deadline(clock, 10000);
        const bank001::HttpResponse response = transport.Send(request, settings, deadline);
        g_refusedOption = 0;
        CHECK(!response.delivered);
        CHECK(response.error.find(row.named) != std::string::npos);
        Note("error: " + response.error);
    }
}
