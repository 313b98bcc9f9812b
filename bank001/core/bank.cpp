#include "bank001/core/bank.h"

#include <cmath>
#include <map>
#include <vector>

#include <nlohmann/json.hpp>

#include "bank001/core/text.h"

namespace bank001 {

namespace {

// Every answer is read with strings and containers that wipe their memory
// when they give it back: the token's answer holds the token, and the
// parser's own buffers hold copies of it while it reads.
using Json = nlohmann::basic_json<std::map, std::vector, SecretText, bool, std::int64_t, std::uint64_t, double,
                                  WipingAllocator>;

Json Parse(std::string_view body) { return Json::parse(body.begin(), body.end(), nullptr, false); }

std::string Plain(const SecretText& text) { return std::string(text.data(), text.size()); }

// A member as text: strings as they are, integers written out; empty otherwise.
std::string Text(const Json& object, const char* name) {
    if (!object.is_object()) return {};
    const auto it = object.find(name);
    if (it == object.end()) return {};
    if (it->is_string()) return Plain(it->get_ref<const SecretText&>());
    if (it->is_number_integer()) return std::to_string(it->get<long long>());
    return {};
}

void Join(std::string& out, const std::string& part, const char* separator) {
    if (part.empty()) return;
    if (!out.empty()) out += separator;
    out += part;
}

// One entry of "erros" or "errors" written as a sentence.
std::string Describe(const std::string& message, const std::string& code, const std::string& action) {
    std::string out = message;
    if (!code.empty()) out += (out.empty() ? "código " : " (código ") + code + (out.empty() ? "" : ")");
    if (!action.empty()) Join(out, "Providência: " + action, ". ");
    return out;
}

// Entries joined until the text is longer than can be shown: a list of a
// hundred thousand entries costs the time to read it, not an answer as long.
std::string ListMessages(const Json& list, const char* message, const char* code, const char* action) {
    std::string out;
    if (!list.is_array()) return out;
    for (const Json& entry : list) {
        Join(out, Describe(Text(entry, message), Text(entry, code), Text(entry, action)), " | ");
        if (Characters(out) > kBankTextLimit) break;
    }
    return out;
}

std::string RawMessage(const Json& answer) {
    if (answer.contains("erros")) {
        std::string out = ListMessages(answer["erros"], "mensagem", "codigo", "providencia");
        if (!out.empty()) return out;
    }
    if (answer.contains("errors")) {
        std::string out = ListMessages(answer["errors"], "message", "code", "action");
        if (!out.empty()) return out;
    }
    // {"statusCode", "error", "message"} of the gateway, {"error", "error_description"} of the token.
    std::string out = Text(answer, "message");
    Join(out, Text(answer, "error_description"), ": ");
    const std::string error = Text(answer, "error");
    if (!error.empty()) out = out.empty() ? error : out + " (" + error + ")";
    return out;
}

// Seconds as the bank wrote them, within 0 and the longest life: a number of
// any size (1e300 too) or a text of digits.
std::int64_t Lifetime(const Json& expires) {
    double seconds = 0;
    if (expires.is_number()) {
        seconds = expires.get<double>();
    } else if (expires.is_string()) {
        const SecretText& text = expires.get_ref<const SecretText&>();
        for (const char c : text) {
            if (c < '0' || c > '9') return 0;
            seconds = seconds * 10 + (c - '0');
            if (seconds > kLongestTokenLifeS) break;
        }
    }
    if (!(seconds > 0)) return 0;  // NaN too
    if (seconds >= static_cast<double>(kLongestTokenLifeS)) return kLongestTokenLifeS;
    return static_cast<std::int64_t>(seconds);
}

}  // namespace

HttpRequest TokenRequest(const Settings& settings, std::string_view clientId, const Secret& clientSecret) {
    HttpRequest request;
    request.method = "POST";
    request.url = settings.oauth;
    request.url.path += "/oauth/token";
    request.headers = {
        {"Content-Type", "application/x-www-form-urlencoded"},
        {"Accept", "application/json"},
    };
    Secret credentials;
    credentials.Reserve(clientId.size() + 1 + clientSecret.Size());
    credentials.Append(clientId);
    credentials += ':';
    credentials.Append(clientSecret.View());
    const Secret encoded = Base64(credentials.View());
    request.authorization.Reserve(6 + encoded.Size());
    request.authorization.Append("Basic ");
    request.authorization.Append(encoded.View());
    request.body = "grant_type=client_credentials&scope=" + PercentEncoded(kScope);
    return request;
}

HttpRequest PixRequest(const Settings& settings, std::string_view appKey, const Secret& token,
                       std::string_view nossoNumero, std::string_view convenio) {
    HttpRequest request;
    request.method = "POST";
    request.url = settings.api;
    request.url.path += "/cobrancas/v2/boletos/" + std::string(nossoNumero) + "/gerar-pix?" + settings.appKeyParam +
                        "=" + PercentEncoded(appKey);
    request.headers = {
        {"Content-Type", "application/json"},
        {"Accept", "application/json"},
    };
    request.authorization.Reserve(7 + token.Size());
    request.authorization.Append("Bearer ");
    request.authorization.Append(token.View());
    // The bank wants the number as a JSON number, not a text: 7 digits fit any integer.
    long long number = 0;
    for (const char c : convenio) number = number * 10 + (c - '0');
    request.body = "{\"numeroConvenio\":" + std::to_string(number) + "}";
    return request;
}

pix::Result<Token> ReadToken(std::string_view body) {
    const Json answer = Parse(body);
    if (!answer.is_object()) return pix::Result<Token>::Failed("a resposta do token não é JSON válido.");
    const auto access = answer.find("access_token");
    if (access == answer.end() || !access->is_string() || access->get_ref<const SecretText&>().empty())
        return pix::Result<Token>::Failed("a resposta do token não traz access_token.");
    const SecretText& text = access->get_ref<const SecretText&>();
    for (const char c : text)
        if (static_cast<unsigned char>(c) <= ' ' || c == 0x7F)
            return pix::Result<Token>::Failed("o token recebido contém caracteres inválidos.");
    pix::Result<Token> token;
    token.value.accessToken = Secret(std::string_view(text.data(), text.size()));
    const auto expires = answer.find("expires_in");
    if (expires != answer.end()) token.value.expiresIn = Lifetime(*expires);
    return token;
}

pix::Result<QrCode> ReadQrCode(std::string_view body) {
    const Json answer = Parse(body);
    if (!answer.is_object()) return pix::Result<QrCode>::Failed("a resposta do banco não é JSON válido.");
    const auto qr = answer.find("qrCode");
    if (qr == answer.end() || !qr->is_object()) return pix::Result<QrCode>::Failed("a resposta do banco não traz qrCode.");
    return {QrCode{Text(*qr, "url"), Text(*qr, "txId"), Text(*qr, "emv")}, {}};
}

std::string BankMessage(std::string_view body) {
    const Json answer = Parse(body);
    if (!answer.is_object()) return {};
    return BankText(RawMessage(answer));
}

bool IsInvalidClient(int status, std::string_view body) {
    if (status != 401) return false;
    const Json answer = Parse(body);
    return answer.is_object() && Text(answer, "error") == "invalid_client";
}

}  // namespace bank001
