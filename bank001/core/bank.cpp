#include "bank001/core/bank.h"

#include <nlohmann/json.hpp>

#include "bank001/core/text.h"

namespace bank001 {

namespace {

using nlohmann::json;

json Parse(std::string_view body) { return json::parse(body.begin(), body.end(), nullptr, false); }

// A member as text: strings as they are, numbers written out; empty otherwise.
std::string Text(const json& object, const char* name) {
    if (!object.is_object()) return {};
    const auto it = object.find(name);
    if (it == object.end()) return {};
    if (it->is_string()) return it->get<std::string>();
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

std::string ListMessages(const json& list, const char* message, const char* code, const char* action) {
    std::string out;
    if (!list.is_array()) return out;
    for (const json& entry : list) Join(out, Describe(Text(entry, message), Text(entry, code), Text(entry, action)), " | ");
    return out;
}

}  // namespace

HttpRequest TokenRequest(const Settings& settings, std::string_view clientId, std::string_view clientSecret) {
    HttpRequest request;
    request.method = "POST";
    request.url = settings.oauth;
    request.url.path += "/oauth/token";
    request.headers = {
        {"Authorization", "Basic " + Base64(std::string(clientId) + ":" + std::string(clientSecret))},
        {"Content-Type", "application/x-www-form-urlencoded"},
        {"Accept", "application/json"},
    };
    request.body = "grant_type=client_credentials&scope=" + PercentEncoded(kScope);
    return request;
}

HttpRequest PixRequest(const Settings& settings, std::string_view appKey, std::string_view token,
                       std::string_view nossoNumero, std::string_view convenio) {
    HttpRequest request;
    request.method = "POST";
    request.url = settings.api;
    request.url.path += "/cobrancas/v2/boletos/" + std::string(nossoNumero) + "/gerar-pix?" +
                        settings.appKeyParam + "=" + PercentEncoded(appKey);
    request.headers = {
        {"Authorization", "Bearer " + std::string(token)},
        {"Content-Type", "application/json"},
        {"Accept", "application/json"},
    };
    // The bank wants the number as a JSON number, not a text: 7 digits fit any integer.
    long long number = 0;
    for (const char c : convenio) number = number * 10 + (c - '0');
    request.body = json{{"numeroConvenio", number}}.dump();
    return request;
}

bool ReadToken(std::string_view body, Token& token, std::string& error) {
    const json answer = Parse(body);
    if (!answer.is_object()) {
        error = "a resposta do token não é JSON válido.";
        return false;
    }
    const auto access = answer.find("access_token");
    if (access == answer.end() || !access->is_string() || access->get<std::string>().empty()) {
        error = "a resposta do token não traz access_token.";
        return false;
    }
    token.accessToken = access->get<std::string>();
    for (const char c : token.accessToken)
        if (static_cast<unsigned char>(c) <= ' ' || c == 0x7F) {
            error = "o token recebido contém caracteres inválidos.";
            return false;
        }
    token.expiresIn = 0;
    const auto expires = answer.find("expires_in");
    if (expires != answer.end()) {
        if (expires->is_number_integer()) token.expiresIn = expires->get<std::int64_t>();
        else if (expires->is_number()) token.expiresIn = static_cast<std::int64_t>(expires->get<double>());
        else if (expires->is_string()) {
            try {
                token.expiresIn = std::stoll(expires->get<std::string>());
            } catch (...) {
                token.expiresIn = 0;
            }
        }
        if (token.expiresIn < 0) token.expiresIn = 0;
    }
    return true;
}

bool ReadQrCode(std::string_view body, QrCode& qrCode, std::string& error) {
    const json answer = Parse(body);
    if (!answer.is_object()) {
        error = "a resposta do banco não é JSON válido.";
        return false;
    }
    const auto qr = answer.find("qrCode");
    if (qr == answer.end() || !qr->is_object()) {
        error = "a resposta do banco não traz qrCode.";
        return false;
    }
    qrCode = QrCode{Text(*qr, "url"), Text(*qr, "txId"), Text(*qr, "emv")};
    return true;
}

std::string BankMessage(std::string_view body) {
    const json answer = Parse(body);
    if (!answer.is_object()) return {};
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

bool IsInvalidClient(int status, std::string_view body) {
    if (status != 401) return false;
    const json answer = Parse(body);
    return answer.is_object() && Text(answer, "error") == "invalid_client";
}

}  // namespace bank001
