#include "bank001/core/flow.h"

#include "bank001/core/bank.h"
#include "bank001/core/emv.h"
#include "bank001/core/text.h"

namespace bank001 {

namespace {

constexpr char kCrLf[] = "\r\n";

bool Success(int status) { return status >= 200 && status <= 299; }

std::uint64_t Fnv1a(std::string_view text) {
    std::uint64_t hash = 1469598103934665603ull;
    for (const char c : text) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 1099511628211ull;
    }
    return hash;
}

// Per token host and client; the secret enters as a hash only.
std::string CacheKey(const Settings& settings, const Inputs& inputs) {
    return settings.oauth.host + ":" + std::to_string(settings.oauth.port) + settings.oauth.path + "\n" +
           inputs.clientId + "\n" + std::to_string(Fnv1a(inputs.clientSecret.View()));
}

std::string Refusal(const char* who, const HttpResponse& response) {
    const std::string message = BankMessage(response.body.View());
    std::string out = std::string("Erro: ") + who + " recusou o pedido (HTTP " + std::to_string(response.status) + ")";
    out += message.empty() ? "." : ": " + message;
    return out;
}

// "Erro: sem resposta de <who>: <why>", and what to do when a limit ran out.
std::string NoAnswer(const char* who, const HttpResponse& response) {
    std::string out = std::string("Erro: sem resposta ") + who + ": " + response.error;
    if (response.timedOut)
        out += std::string(kCrLf) +
               "Providência: confira a conexão com a internet e o proxy (proxy= em Quelvano.ini) e tente de novo; "
               "numa rede lenta, aumente deadline_ms em Quelvano.ini (até " +
               std::to_string(kMaximumDeadlineMs) + ").";
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

Secret TokenCache::Find(const std::string& key, std::int64_t nowMs) {
    for (const Entry& entry : entries_)
        if (entry.key == key && nowMs < entry.validUntilMs) return entry.token.Copy();
    return {};
}

void TokenCache::Store(const std::string& key, const Secret& token, std::int64_t nowMs, std::int64_t expiresInS) {
    Forget(key);
    const std::int64_t seconds = expiresInS < kLongestTokenLifeS ? expiresInS : kLongestTokenLifeS;
    const std::int64_t lifetimeMs = seconds * 1000 - kMarginMs;
    if (lifetimeMs <= 0) return;
    // Expired entries go as new ones come: nothing is kept longer than needed.
    for (auto it = entries_.begin(); it != entries_.end();)
        it = nowMs >= it->validUntilMs ? entries_.erase(it) : it + 1;
    entries_.push_back({key, token.Copy(), nowMs + lifetimeMs});
}

void TokenCache::Forget(const std::string& key) {
    for (auto it = entries_.begin(); it != entries_.end();)
        it = it->key == key ? entries_.erase(it) : it + 1;
}

HttpResponse PixFlow::Send(const HttpRequest& request, const Settings& settings, const Deadline& deadline) {
    if (requests_ >= kMaximumRequests)
        return HttpResponse::Failed("a chamada já fez " + std::to_string(kMaximumRequests) + " pedidos ao banco.");
    if (deadline.Passed())
        return HttpResponse::Failed("o prazo de " + std::to_string(deadline.BudgetMs()) +
                                        " ms da chamada (deadline_ms) acabou antes do pedido a " + request.url.host + ".",
                                    true);
    ++requests_;
    return transport_.Send(request, settings, deadline);
}

PixFlow::Obtained PixFlow::ObtainToken(const Settings& settings, const Inputs& inputs, const std::string& key,
                                       const Deadline& deadline) {
    Obtained out;
    out.token = tokens_.Find(key, clock_.NowMs());
    if (!out.token.Empty()) {
        out.fromCache = true;
        return out;
    }
    const HttpRequest request = TokenRequest(settings, inputs.clientId, inputs.clientSecret);
    HttpResponse response = Send(request, settings, deadline);
    // The bank now and then refuses good credentials with invalid_client: once more, never twice.
    if (response.delivered && IsInvalidClient(response.status, response.body.View()))
        response = Send(request, settings, deadline);
    if (!response.delivered) {
        out.error = NoAnswer("do servidor de autenticação do banco", response);
        return out;
    }
    if (!Success(response.status)) {
        out.error = Refusal("o servidor de autenticação do banco", response);
        if (response.status == 401 || response.status == 400)
            out.error += std::string(kCrLf) +
                         "Providência: confira ClientId e ClientSecret e o ambiente (produção ou sandbox) em Quelvano.ini.";
        return out;
    }
    pix::Result<Token> token = ReadToken(response.body.View());
    if (!token.Ok()) {
        out.error = "Erro: " + token.error;
        return out;
    }
    tokens_.Store(key, token.value.accessToken, clock_.NowMs(), token.value.expiresIn);
    out.token = std::move(token.value.accessToken);
    return out;
}

std::string PixFlow::Generate(const Settings& settings, const Inputs& inputs, const Charge& charge,
                              const Deadline& deadline) {
    const std::string key = CacheKey(settings, inputs);
    Obtained token = ObtainToken(settings, inputs, key, deadline);
    if (!token.error.empty()) return token.error;
    HttpResponse response = Send(PixRequest(settings, inputs.appKey, token.token, charge.nossoNumero, charge.convenio),
                                 settings, deadline);
    if (response.delivered && response.status == 401 && token.fromCache) {
        // A token the bank let go before its time: forget it and try once with a fresh one.
        tokens_.Forget(key);
        token = ObtainToken(settings, inputs, key, deadline);
        if (!token.error.empty()) return token.error;
        response = Send(PixRequest(settings, inputs.appKey, token.token, charge.nossoNumero, charge.convenio), settings,
                        deadline);
    }
    if (!response.delivered) return NoAnswer("da API do banco", response);
    if (!Success(response.status)) return Refusal("o banco", response);
    const pix::Result<QrCode> qr = ReadQrCode(response.body.View());
    if (!qr.Ok()) return "Erro: " + qr.error;
    if (qr.value.emv.empty()) {
        // A success status with the bank's complaint in the fields of the code.
        std::string message = BankText(qr.value.txId);
        const std::string url = BankText(qr.value.url);
        if (!url.empty()) message += (message.empty() ? "" : ": ") + url;
        return "Erro: o banco não gerou o Pix" + (message.empty() ? std::string(".") : ": " + message);
    }
    const pix::Result<BrCodeFacts> code = CheckBrCode(qr.value.emv, charge.cents, qr.value.url);
    if (!code.Ok()) return "Erro: o código Pix devolvido pelo banco é inválido: " + code.error;
    return SuccessText(qr.value.emv, qr.value.txId, qr.value.url, charge.nossoNumero, charge.dueDay);
}

std::string PixFlow::NewPix(const Inputs& inputs, const pix::Result<IniValues>& ini) {
    requests_ = 0;
    if (!ini.Ok()) return CappedAnswer("Erro: " + ini.error);
    const pix::Result<Settings> settings = SettingsFrom(ini.value);
    if (!settings.Ok()) return CappedAnswer("Erro: " + settings.error);
    const Deadline deadline(clock_, settings.value.deadlineMs);
    const pix::Result<Charge> charge = CheckInputs(inputs);
    if (!charge.Ok()) return CappedAnswer("Erro: " + charge.error);
    return CappedAnswer(Generate(settings.value, inputs, charge.value, deadline));
}

std::string SuccessText(const std::string& emv, const std::string& txId, const std::string& url,
                        const std::string& nossoNumero, long long typedDueDay) {
    std::string out = "Pix copia e cola do boleto " + nossoNumero + ":" + kCrLf + emv + kCrLf;
    out += "TxId: " + BankText(txId) + kCrLf;
    out += "Location: " + BankText(url);
    long long registered = 0;
    if (DueDayInTxId(txId, registered) && registered != typedDueDay)
        out += std::string(kCrLf) + "Aviso: o boleto está registrado com vencimento " + DayCountDate(registered) +
               ", não " + DayCountDate(typedDueDay) + " como digitado.";
    return out;
}

}  // namespace bank001
