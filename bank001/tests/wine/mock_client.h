// The test side of the mock bank (mock_bank.py): scripting its answers and
// reading back the requests it received, through the library's own WinHTTP
// transport; and the answers the tests script most.
#pragma once

#include "tests/wine/driver/driver.h"

#include <nlohmann/json.hpp>

#include <string>

#include "bank001/core/http.h"
#include "bank001/tests/unit/br_code_builder.h"
#include "bank001/winhttp_transport.h"

namespace bank001::testing {

using nlohmann::json;
using namespace pixtest;

inline constexpr char kClientId[] = "cliente-de-teste";
inline constexpr char kSecret[] = "segredo-de-teste";
inline constexpr char kAppKey[] = "chave-da-aplicacao";
inline constexpr char kNossoNumero[] = "00031285570000000001";

inline std::string TokenBody(const std::string& token, int expiresIn = 600) {
    return json{{"access_token", token}, {"token_type", "Bearer"}, {"expires_in", expiresIn}}.dump();
}
inline json Answer(int status, const std::string& body) { return {{"status", status}, {"body", body}}; }
inline json TokenAnswer(const std::string& token = "token-um", int expiresIn = 600) {
    return Answer(200, TokenBody(token, expiresIn));
}
inline const std::string kEmv = BrCode(BankFields("123.45"));
inline json PixAnswer(const std::string& emv = kEmv) {
    return Answer(200, json{{"qrCode",
                             {{"url", "qrcodepix-h.bb.com.br/pix/v2/cobv/9b8a7c6d"},
                              {"txId", "BOLETO31285570000000001DATA21122021"},
                              {"emv", emv}}}}
                           .dump());
}

// --- the mock bank ---------------------------------------------------------------

// Line `index` (from 0) of the port file named by BANK001_MOCK_PORT; empty if none.
inline std::string MockPort(std::size_t index) {
    const std::wstring portFile = Environment(L"BANK001_MOCK_PORT");
    if (portFile.empty()) return {};
    const std::string ports = ReadFileBytes(portFile);
    std::size_t begin = 0;
    for (std::size_t i = 0; i < index && begin != std::string::npos; ++i) {
        begin = ports.find('\n', begin);
        if (begin != std::string::npos) ++begin;
    }
    if (begin == std::string::npos || begin >= ports.size()) return {};
    return ports.substr(begin, ports.find('\n', begin) - begin);
}

// BANK001_MOCK_URL, or else the port file (the emulated 32-bit Wine passes
// on files, not variables); empty if neither.
inline std::string MockUrl() {
    std::string url = pixtest::Utf8(Environment(L"BANK001_MOCK_URL"));
    const std::string port = MockPort(0);
    if (url.empty() && !port.empty()) url = "http://127.0.0.1:" + port;
    return url;
}

// The mock's TLS port, with a certificate nobody trusts; empty without one.
inline std::string UntrustedTlsUrl() {
    const std::string port = MockPort(1);
    return port.empty() || port == "0" ? std::string() : "https://127.0.0.1:" + port;
}

// A port of the mock's that never accepts a connection.
inline std::string NeverAcceptingUrl() { return "http://127.0.0.1:" + MockPort(2); }

// The recording proxy's port (recording_proxy.py); empty without one.
inline std::string ProxyPort() {
    const std::wstring portFile = Environment(L"BANK001_PROXY_PORT");
    if (portFile.empty()) return {};
    const std::string text = ReadFileBytes(portFile);
    return text.substr(0, text.find('\n'));
}


class TickClock : public bank001::Clock {
public:
    std::int64_t NowMs() override { return static_cast<std::int64_t>(GetTickCount64()); }
};

class MockBank {
public:
    MockBank() {
        const std::string url = MockUrl();
        if (url.empty()) Skip("neither BANK001_MOCK_URL nor BANK001_MOCK_PORT is set: run through with_mock.sh");
        url_ = url;
        const pix::Result<bank001::Url> parsed = bank001::ParseUrl(url);
        REQUIRE(parsed.Ok());
        settings_.oauth = parsed.value;
        settings_.timeoutMs = 10000;
        // The test's own requests go straight to the mock, whatever proxy the case sets up.
        settings_.proxy.kind = bank001::Proxy::Kind::None;
    }
    const std::string& Url() const { return url_; }

    void Script(const json& answers) {
        const bank001::HttpResponse response = Call("POST", "/_mock/script", json{{"answers", answers}}.dump());
        REQUIRE(response.delivered && response.status == 200);
    }
    json Requests() {
        const bank001::HttpResponse response = Call("GET", "/_mock/requests", "");
        REQUIRE(response.delivered && response.status == 200);
        return json::parse(response.body.View());
    }
    // What passed through the recording proxy, which is emptied.
    json ProxyRequests() {
        const std::string port = ProxyPort();
        if (port.empty()) Skip("BANK001_PROXY_PORT is not set: run through with_mock.sh");
        const bank001::HttpResponse response = Call("GET", "/_proxy/requests", "", std::stoi(port));
        REQUIRE(response.delivered && response.status == 200);
        Call("POST", "/_proxy/clear", "", std::stoi(port));
        return json::parse(response.body.View());
    }

private:
    bank001::HttpResponse Call(const char* method, const char* path, const std::string& body, int port = 0) {
        bank001::HttpRequest request;
        request.method = method;
        request.url = settings_.oauth;
        if (port) request.url.port = static_cast<unsigned>(port);
        request.url.path = path;
        request.body = body;
        bank001::ClientCertificates certificates;
        bank001::ProxyDetection detection;
        bank001::WinHttpTransport transport(certificates, detection);
        TickClock clock;
        const bank001::Deadline deadline(clock, 20000);
        return transport.Send(request, settings_, deadline);
    }
    std::string url_;
    bank001::Settings settings_;
};

}  // namespace bank001::testing
