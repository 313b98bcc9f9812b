#include "bank001/core/flow.h"

#include "bank001/core/bank.h"
#include "bank001/core/emv.h"
#include "bank001/core/text.h"

namespace bank001 {

namespace {

constexpr char kCrLf[] = "\r\n";

bool Success(int status) { return status >= 200 && status <= 299; }

std::uint64_t Fnv1a(const std::string& text) {
    std::uint64_t hash = 1469598103934665603ull;
    for (const char c : text) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 1099511628211ull;
    }
    return hash;
}

std::string CacheKey(const Settings& settings, const Inputs& inputs) {
    return settings.oauth.host + ":" + std::to_string(settings.oauth.port) + settings.oauth.path + "\n" +
           inputs.clientId + "\n" + std::to_string(Fnv1a(inputs.clientSecret));
}

std::string Refusal(const char* who, const HttpResponse& response) {
    std::string message = BankMessage(response.body);
    std::string out = std::string("Erro: ") + who + " recusou o pedido (HTTP " + std::to_string(response.status) + ")";
    out += message.empty() ? "." : ": " + message;
    return out;
}

// The sandbox writes the boleto's due date into the txid as "...DATAddmmaaaa".
bool DueDayInTxId(const std::string& txId, long long& day) {
    if (txId.size() < 12) return false;
    const std::string tail = txId.substr(txId.size() - 12);
    if (tail.compare(0, 4, "DATA") != 0) return false;
    int digits[8];
    for (int i = 0; i < 8; ++i) {
        const char c = tail[4 + i];
        if (c < '0' || c > '9') return false;
        digits[i] = c - '0';
    }
    const int dd = digits[0] * 10 + digits[1], mm = digits[2] * 10 + digits[3];
    const int yyyy = digits[4] * 1000 + digits[5] * 100 + digits[6] * 10 + digits[7];
    return DayCountOf(dd, mm, yyyy, day);
}

}  // namespace

const std::string* TokenCache::Find(const std::string& key, std::int64_t nowMs) const {
    for (const Entry& entry : entries_)
        if (entry.key == key && nowMs < entry.validUntilMs) return &entry.token;
    return nullptr;
}

void TokenCache::Store(const std::string& key, const std::string& token, std::int64_t nowMs, std::int64_t expiresInS) {
    Forget(key);
    // Never beyond a day, whatever the bank says: a mistaken lifetime costs a
    // token request, not a day of refusals.
    const std::int64_t lifetimeMs = (expiresInS < 86400 ? expiresInS : 86400) * 1000 - kMarginMs;
    if (lifetimeMs <= 0) return;
    entries_.push_back({key, token, nowMs + lifetimeMs});
}

void TokenCache::Forget(const std::string& key) {
    for (auto it = entries_.begin(); it != entries_.end();)
        it = it->key == key ? entries_.erase(it) : it + 1;
}

PixFlow::Obtained PixFlow::ObtainToken(const Settings& settings, const Inputs& inputs, const std::string& key) {
    Obtained out;
    if (const std::string* cached = tokens_.Find(key, clock_.NowMs())) {
        out.token = *cached;
        out.fromCache = true;
        return out;
    }
    const HttpRequest request = TokenRequest(settings, inputs.clientId, inputs.clientSecret);
    HttpResponse response = transport_.Send(request, settings);
    // The bank now and then refuses good credentials with invalid_client: once more, never twice.
    if (response.delivered && IsInvalidClient(response.status, response.body))
        response = transport_.Send(request, settings);
    if (!response.delivered) {
        out.error = "Erro: sem resposta do servidor de autenticação do banco: " + response.error;
        return out;
    }
    if (!Success(response.status)) {
        out.error = Refusal("o servidor de autenticação do banco", response);
        if (response.status == 401 || response.status == 400)
            out.error += std::string(kCrLf) + "Providência: confira ClientId e ClientSecret e o ambiente (produção ou sandbox) em Quelvano.ini.";
        return out;
    }
    Token token;
    std::string error;
    if (!ReadToken(response.body, token, error)) {
        out.error = "Erro: " + error;
        return out;
    }
    tokens_.Store(key, token.accessToken, clock_.NowMs(), token.expiresIn);
    out.token = token.accessToken;
    return out;
}

std::string PixFlow::Generate(const Settings& settings, const Inputs& inputs, const Charge& charge) {
    const std::string key = CacheKey(settings, inputs);
    Obtained token = ObtainToken(settings, inputs, key);
    if (!token.error.empty()) return token.error;
    HttpResponse response =
        transport_.Send(PixRequest(settings, inputs.appKey, token.token, charge.nossoNumero, charge.convenio), settings);
    if (response.delivered && response.status == 401 && token.fromCache) {
        // A token the bank let go before its time: forget it and try once with a fresh one.
        tokens_.Forget(key);
        token = ObtainToken(settings, inputs, key);
        if (!token.error.empty()) return token.error;
        response = transport_.Send(PixRequest(settings, inputs.appKey, token.token, charge.nossoNumero, charge.convenio),
                                   settings);
    }
    if (!response.delivered) return "Erro: sem resposta da API do banco: " + response.error;
    if (!Success(response.status)) return Refusal("o banco", response);
    QrCode qr;
    std::string error;
    if (!ReadQrCode(response.body, qr, error)) return "Erro: " + error;
    if (qr.emv.empty()) {
        // A success status with the bank's complaint in the fields of the code.
        std::string message = qr.txId;
        if (!qr.url.empty()) message += (message.empty() ? "" : ": ") + qr.url;
        return "Erro: o banco não gerou o Pix" + (message.empty() ? std::string(".") : ": " + message);
    }
    error = CheckBrCode(qr.emv, charge.cents);
    if (!error.empty()) return "Erro: o código Pix devolvido pelo banco é inválido: " + error;
    return SuccessText(qr.emv, qr.txId, qr.url, charge.nossoNumero, charge.dueDay);
}

std::string PixFlow::NewPix(const Inputs& inputs, const IniValues& ini) {
    Settings settings;
    std::string error = SettingsFrom(ini, settings);
    if (!error.empty()) return "Erro: " + error;
    Charge charge;
    error = CheckInputs(inputs, charge);
    if (!error.empty()) return "Erro: " + error;
    return Generate(settings, inputs, charge);
}

std::string SuccessText(const std::string& emv, const std::string& txId, const std::string& url,
                        const std::string& nossoNumero, long long typedDueDay) {
    std::string out = "Pix copia e cola do boleto " + nossoNumero + ":" + kCrLf + emv + kCrLf;
    out += "TxId: " + txId + kCrLf;
    out += "Location: " + url;
    long long registered = 0;
    if (DueDayInTxId(txId, registered) && registered != typedDueDay)
        out += std::string(kCrLf) + "Aviso: o boleto está registrado com vencimento " + DayCountDate(registered) +
               ", não " + DayCountDate(typedDueDay) + " como digitado.";
    return out;
}

}  // namespace bank001
