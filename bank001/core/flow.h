// One NewPix call from the inputs to the answer text, written against an
// abstract transport, clock and token store so that it runs natively with
// fakes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "bank001/core/deadline.h"
#include "bank001/core/http.h"
#include "bank001/core/inputs.h"
#include "bank001/core/secret.h"
#include "bank001/core/settings.h"
#include "base/core/result.h"

namespace bank001 {

class Transport {
public:
    virtual ~Transport() = default;
    // One request; never throws. Each of its stages gets what is left of the
    // deadline, at most settings.timeoutMs. An answer that did not arrive
    // whole (no connection, a limit ran out, TLS failure, body cut short) is
    // not delivered.
    virtual HttpResponse Send(const HttpRequest& request, const Settings& settings, const Deadline& deadline) = 0;
};

// The tokens of the library, one per token host and client, shared by every
// call (of every thread).
class TokenStore {
public:
    virtual ~TokenStore() = default;
    // A copy of the token, or an empty secret when none is valid at nowMs.
    virtual Secret Find(const std::string& key, std::int64_t nowMs) = 0;
    virtual void Store(const std::string& key, const Secret& token, std::int64_t nowMs, std::int64_t expiresInS) = 0;
    virtual void Forget(const std::string& key) = 0;
};

// In memory only; a token forgotten, replaced or expired is wiped. Not
// synchronised: the library puts a lock around it.
class TokenCache : public TokenStore {
public:
    // A token is used until its lifetime less this margin.
    static constexpr std::int64_t kMarginMs = 60000;

    Secret Find(const std::string& key, std::int64_t nowMs) override;
    void Store(const std::string& key, const Secret& token, std::int64_t nowMs, std::int64_t expiresInS) override;
    void Forget(const std::string& key) override;

private:
    struct Entry {
        std::string key;
        Secret token;
        std::int64_t validUntilMs;
    };
    std::vector<Entry> entries_;
};

class PixFlow {
public:
    // The most requests one call makes: a cached token refused, a token
    // refused once with invalid_client and asked again, the PIX again.
    static constexpr int kMaximumRequests = 4;

    // The store outlives the flow: one flow per call, one store per library.
    PixFlow(Transport& transport, Clock& clock, TokenStore& tokens)
        : transport_(transport), clock_(clock), tokens_(tokens) {}

    // The answer text, CR LF between lines: the copy-and-paste code, the txid
    // and the location, or a line beginning "Erro: ". At most kAnswerLimit
    // UTF-16 units. Never throws for any bank answer; only an exhausted
    // memory can escape.
    std::string NewPix(const Inputs& inputs, const pix::Result<IniValues>& ini);

private:
    struct Obtained {
        Secret token;
        std::string error;
        bool fromCache = false;
    };
    std::string Generate(const Settings& settings, const Inputs& inputs, const Charge& charge,
                         const Deadline& deadline);
    Obtained ObtainToken(const Settings& settings, const Inputs& inputs, const std::string& key,
                         const Deadline& deadline);
    HttpResponse Send(const HttpRequest& request, const Settings& settings, const Deadline& deadline);

    Transport& transport_;
    Clock& clock_;
    TokenStore& tokens_;
    int requests_ = 0;
};

// The answer of a success; the txid and the location as the bank's words.
std::string SuccessText(const std::string& emv, const std::string& txId, const std::string& url,
                        const std::string& nossoNumero, long long typedDueDay);

}  // namespace bank001
