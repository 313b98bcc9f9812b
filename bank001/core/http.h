// Requests and answers as the flow sees them, independent of the HTTP stack
// that carries them.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "bank001/core/secret.h"
#include "base/core/result.h"

namespace bank001 {

struct Url {
    bool https = true;
    std::string host;       // without brackets for IPv6
    unsigned port = 443;
    std::string path;       // from the first '/', query included
};

// http(s)://host[:port][/path]; no user info, no fragment. The error is the
// end of a sentence that names the setting ("não é um endereço http(s)://.").
pix::Result<Url> ParseUrl(std::string_view text);
// 127.0.0.0/8, ::1 and "localhost".
bool IsLoopback(std::string_view host);

struct HttpRequest {
    std::string method;
    Url url;
    std::vector<std::pair<std::string, std::string>> headers;
    // The Authorization header's value: a secret or a token, never shown.
    Secret authorization;
    std::string body;
    // A header other than Authorization; empty when absent.
    std::string Header(std::string_view name) const;
};

struct HttpResponse {
    bool delivered = false;  // false: no complete answer (error says why)
    int status = 0;
    Secret body;             // the token's answer carries a token
    std::string error;       // a sentence for the user when not delivered
    bool timedOut = false;   // not delivered because a time limit ran out

    static HttpResponse Delivered(int status, std::string_view body) {
        HttpResponse response;
        response.delivered = true;
        response.status = status;
        response.body = Secret(body);
        return response;
    }
    static HttpResponse Failed(std::string error, bool timedOut = false) {
        HttpResponse response;
        response.error = std::move(error);
        response.timedOut = timedOut;
        return response;
    }
};

}  // namespace bank001
