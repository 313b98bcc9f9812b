// Requests and answers as the flow sees them, independent of the HTTP stack
// that carries them, and the settings that say where they go.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace bank001 {

struct Url {
    bool https = true;
    std::string host;       // without brackets for IPv6
    unsigned port = 443;
    std::string path;       // from the first '/', query included
};

// http(s)://host[:port][/path]; no user info, no fragment.
bool ParseUrl(std::string_view text, Url& url, std::string& error);
// 127.0.0.0/8, ::1 and "localhost".
bool IsLoopback(std::string_view host);

struct HttpRequest {
    std::string method;
    Url url;
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;
    // Never shown: the Authorization header holds a secret or a token.
    std::string Header(std::string_view name) const;
};

struct HttpResponse {
    bool delivered = false;  // false: no complete answer (error says why)
    int status = 0;
    std::string body;
    std::string error;       // a sentence for the user when not delivered
};

// Quelvano.ini, section [bank001], as read (absent keys empty).
struct IniValues {
    std::string environment, oauthUrl, apiUrl, appKeyParam, timeoutMs, clientCertificate;
};

struct Settings {
    Url oauth;
    Url api;
    std::string appKeyParam = "gw-dev-app-key";
    unsigned timeoutMs = 30000;
    std::string clientCertificate;  // a PFX path, or empty
};

// Hosts of the chosen environment, overrides, and the rule that only https
// leaves the machine. Empty when good, else what is wrong (naming the key).
std::string SettingsFrom(const IniValues& ini, Settings& settings);

}  // namespace bank001
