// The bank's two calls: building the requests and reading the answers in
// every shape the bank gives them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "bank001/core/http.h"

namespace bank001 {

inline constexpr char kScope[] = "cobrancas.boletos-info cobrancas.boletos-requisicao";

// POST {oauth}/oauth/token with Basic credentials and the client-credentials form.
HttpRequest TokenRequest(const Settings& settings, std::string_view clientId, std::string_view clientSecret);

// POST {api}/cobrancas/v2/boletos/{nossoNumero}/gerar-pix?{appKeyParam}={appKey}
// with the bearer token and {"numeroConvenio": <number>}.
HttpRequest PixRequest(const Settings& settings, std::string_view appKey, std::string_view token,
                       std::string_view nossoNumero, std::string_view convenio);

struct Token {
    std::string accessToken;
    std::int64_t expiresIn = 0;  // seconds; 0 when the bank gave none
};

// A 2xx answer of the token call; false, with the reason, when it holds no token.
bool ReadToken(std::string_view body, Token& token, std::string& error);

struct QrCode {
    std::string url, txId, emv;
};

// A 2xx answer of gerar-pix; false when it is no JSON object with a qrCode.
bool ReadQrCode(std::string_view body, QrCode& qrCode, std::string& error);

// The error shape the answer carries, as "message (código X). Providência: Y".
// Empty when the body carries none of the known shapes.
std::string BankMessage(std::string_view body);

// True for a 401 whose body names the error invalid_client.
bool IsInvalidClient(int status, std::string_view body);

}  // namespace bank001
