#include "bank001/core/http.h"

namespace bank001 {

namespace {

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

std::string Lowered(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = Lower(c);
    return out;
}

bool ParsePort(std::string_view text, unsigned& port) {
    if (text.empty() || text.size() > 5) return false;
    unsigned value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    if (value == 0 || value > 65535) return false;
    port = value;
    return true;
}

std::string CheckUrl(const char* key, std::string_view text, Url& url) {
    std::string error;
    if (!ParseUrl(text, url, error)) return std::string("Quelvano.ini: ") + key + " " + error;
    if (!url.https && !IsLoopback(url.host))
        return std::string("Quelvano.ini: ") + key + " usa http fora deste computador; use https.";
    return {};
}

// A value as the reader of the file gives it, less a trailing comment (" ;..."
// or " #...") and the blanks around it.
std::string Clean(std::string_view value) {
    for (std::size_t i = 1; i < value.size(); ++i)
        if ((value[i] == ';' || value[i] == '#') && (value[i - 1] == ' ' || value[i - 1] == '\t')) {
            value = value.substr(0, i);
            break;
        }
    while (!value.empty() && (value.back() == ' ' || value.back() == '\t')) value.remove_suffix(1);
    while (!value.empty() && (value.front() == ' ' || value.front() == '\t')) value.remove_prefix(1);
    return std::string(value);
}

}  // namespace

bool IsLoopback(std::string_view host) {
    const std::string h = Lowered(host);
    if (h == "localhost" || h == "::1") return true;
    // 127.a.b.c, dotted decimal only.
    if (h.compare(0, 4, "127.") != 0) return false;
    int parts = 2, digits = 0;  // "127" was the first
    unsigned value = 0;
    for (std::size_t i = 4; i < h.size(); ++i) {
        if (h[i] == '.') {
            if (digits == 0) return false;
            ++parts;
            digits = 0;
            value = 0;
        } else if (h[i] >= '0' && h[i] <= '9') {
            value = value * 10 + static_cast<unsigned>(h[i] - '0');
            if (++digits > 3 || value > 255) return false;
        } else {
            return false;
        }
    }
    return parts == 4 && digits > 0;
}

bool ParseUrl(std::string_view text, Url& url, std::string& error) {
    url = Url{};
    const std::size_t colon = text.find("://");
    if (colon == std::string_view::npos) {
        error = "não é um endereço http(s)://.";
        return false;
    }
    const std::string scheme = Lowered(text.substr(0, colon));
    if (scheme == "https") {
        url.https = true;
        url.port = 443;
    } else if (scheme == "http") {
        url.https = false;
        url.port = 80;
    } else {
        error = "não é um endereço http(s)://.";
        return false;
    }
    std::string_view rest = text.substr(colon + 3);
    const std::size_t slash = rest.find('/');
    std::string_view authority = rest.substr(0, slash);
    url.path = slash == std::string_view::npos ? "/" : std::string(rest.substr(slash));
    for (const char c : text)
        if (static_cast<unsigned char>(c) <= ' ' || c == 0x7F || c == '#') {
            error = "contém espaços ou caracteres inválidos.";
            return false;
        }
    if (authority.find('@') != std::string_view::npos) {
        error = "não pode conter usuário ou senha.";
        return false;
    }
    std::string_view portText;
    if (!authority.empty() && authority.front() == '[') {
        const std::size_t close = authority.find(']');
        if (close == std::string_view::npos) {
            error = "tem um endereço IPv6 sem ].";
            return false;
        }
        url.host = std::string(authority.substr(1, close - 1));
        std::string_view after = authority.substr(close + 1);
        if (!after.empty()) {
            if (after.front() != ':') {
                error = "tem uma porta inválida.";
                return false;
            }
            portText = after.substr(1);
            if (!ParsePort(portText, url.port)) {
                error = "tem uma porta inválida.";
                return false;
            }
        }
    } else {
        const std::size_t portColon = authority.find(':');
        url.host = std::string(authority.substr(0, portColon));
        if (portColon != std::string_view::npos && !ParsePort(authority.substr(portColon + 1), url.port)) {
            error = "tem uma porta inválida.";
            return false;
        }
    }
    if (url.host.empty()) {
        error = "não tem servidor.";
        return false;
    }
    return true;
}

std::string HttpRequest::Header(std::string_view name) const {
    const std::string wanted = Lowered(name);
    for (const auto& [key, value] : headers)
        if (Lowered(key) == wanted) return value;
    return {};
}

std::string SettingsFrom(const IniValues& raw, Settings& settings) {
    settings = Settings{};
    const IniValues ini{Clean(raw.environment), Clean(raw.oauthUrl),  Clean(raw.apiUrl),
                        Clean(raw.appKeyParam), Clean(raw.timeoutMs), Clean(raw.clientCertificate)};
    const std::string environment = Lowered(ini.environment);
    std::string oauth, api;
    if (environment.empty() || environment == "production") {
        oauth = "https://oauth.bb.com.br";
        api = "https://api.bb.com.br";
    } else if (environment == "sandbox") {
        oauth = "https://oauth.sandbox.bb.com.br";
        api = "https://api.sandbox.bb.com.br";
    } else {
        return "Quelvano.ini: environment deve ser production ou sandbox.";
    }
    if (!ini.oauthUrl.empty()) oauth = ini.oauthUrl;
    if (!ini.apiUrl.empty()) api = ini.apiUrl;
    std::string error = CheckUrl("oauth_url", oauth, settings.oauth);
    if (!error.empty()) return error;
    error = CheckUrl("api_url", api, settings.api);
    if (!error.empty()) return error;
    // The base paths end without a slash: the calls append their own.
    for (Url* url : {&settings.oauth, &settings.api})
        while (!url->path.empty() && url->path.back() == '/') url->path.pop_back();
    if (!ini.appKeyParam.empty()) {
        for (const char c : ini.appKeyParam) {
            const bool ok = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_' || c == '.';
            if (!ok) return "Quelvano.ini: app_key_param tem caracteres inválidos.";
        }
        settings.appKeyParam = ini.appKeyParam;
    }
    if (!ini.timeoutMs.empty()) {
        unsigned long value = 0;
        for (const char c : ini.timeoutMs) {
            if (c < '0' || c > '9' || value > 600000) return "Quelvano.ini: timeout_ms deve ser um número de 1 a 600000.";
            value = value * 10 + static_cast<unsigned long>(c - '0');
        }
        if (value < 1 || value > 600000) return "Quelvano.ini: timeout_ms deve ser um número de 1 a 600000.";
        settings.timeoutMs = static_cast<unsigned>(value);
    }
    settings.clientCertificate = ini.clientCertificate;
    return {};
}

}  // namespace bank001
