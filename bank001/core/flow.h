// One NewPix call from the inputs to the answer text, written against an
// abstract transport and clock so that it runs natively with fakes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "bank001/core/http.h"
#include "bank001/core/inputs.h"

namespace bank001 {

class Transport {
public:
    virtual ~Transport() = default;
    // One request; never throws. An answer that did not arrive whole (no
    // connection, timeout, TLS failure, body cut short) is not delivered.
    virtual HttpResponse Send(const HttpRequest& request, const Settings& settings) = 0;
};

class Clock {
public:
    virtual ~Clock() = default;
    // Monotonic milliseconds.
    virtual std::int64_t NowMs() = 0;
};

// Tokens per token host and client (the secret enters as a hash only), kept
// until their lifetime less a margin, in memory only.
class TokenCache {
public:
    static constexpr std::int64_t kMarginMs = 60000;

    const std::string* Find(const std::string& key, std::int64_t nowMs) const;
    void Store(const std::string& key, const std::string& token, std::int64_t nowMs, std::int64_t expiresInS);
    void Forget(const std::string& key);

private:
    struct Entry {
        std::string key, token;
        std::int64_t validUntilMs;
    };
    std::vector<Entry> entries_;
};

class PixFlow {
public:
    // The cache outlives the flow: one flow per call, one cache per library.
    PixFlow(Transport& transport, Clock& clock, TokenCache& tokens)
        : transport_(transport), clock_(clock), tokens_(tokens) {}

    // The answer text, CR LF between lines: the copy-and-paste code, the txid
    // and the location, or a line beginning "Erro: ". Never throws for any
    // bank answer; only an exhausted memory can escape.
    std::string NewPix(const Inputs& inputs, const IniValues& ini);

private:
    struct Obtained {
        std::string token, error;
        bool fromCache = false;
    };
    Obtained ObtainToken(const Settings& settings, const Inputs& inputs, const std::string& key);
    std::string Generate(const Settings& settings, const Inputs& inputs, const Charge& charge);

    Transport& transport_;
    Clock& clock_;
    TokenCache& tokens_;
};

// The answer of a success.
std::string SuccessText(const std::string& emv, const std::string& txId, const std::string& url,
                        const std::string& nossoNumero, long long typedDueDay);

}  // namespace bank001
