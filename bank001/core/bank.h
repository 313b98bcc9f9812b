// The bank's two calls: building the requests and reading the answers in
// every shape the bank gives them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "bank001/core/http.h"
#include "bank001/core/secret.h"
#include "bank001/core/settings.h"
#include "base/core/result.h"

namespace bank001 {

inline constexpr char kScope[] = "cobrancas.boletos-info cobrancas.boletos-requisicao";

// POST {oauth}/oauth/token with Basic credentials and the client-credentials form.
HttpRequest TokenRequest(const Settings& settings, std::string_view clientId, const Secret& clientSecret);

// POST {api}/cobrancas/v2/boletos/{nossoNumero}/gerar-pix?{appKeyParam}={appKey}
// with the bearer token and {"numeroConvenio": <number>}.
HttpRequest PixRequest(const Settings& settings, std::string_view appKey, const Secret& token,
                       std::string_view nossoNumero, std::string_view convenio);

// A token lives at most this long here, whatever the bank says: a mistaken
// lifetime costs a token request, not a day of refusals.
inline constexpr std::int64_t kLongestTokenLifeS = 86400;

struct Token {
    Secret accessToken;
    std::int64_t expiresIn = 0;  // seconds, 0 to kLongestTokenLifeS; 0 when the bank gave none
};

// A 2xx answer of the token call; fails when it holds no usable token.
pix::Result<Token> ReadToken(std::string_view body);

struct QrCode {
    std::string url, txId, emv;  // as the bank sent them
};

// A 2xx answer of gerar-pix; fails when it is no JSON object with a qrCode.
pix::Result<QrCode> ReadQrCode(std::string_view body);

// The error the answer carries, as "message (código X). Providência: Y",
// entries joined by " | ", shown as BankText shows the bank's words and cut
// at kBankTextLimit characters. Empty when the body carries none of the
// known shapes.
std::string BankMessage(std::string_view body);

// True for a 401 whose body names the error invalid_client.
bool IsInvalidClient(int status, std::string_view body);

}  // namespace bank001
