#include "bank001/core/http.h"

#include "bank001/core/text.h"

namespace bank001 {

namespace {

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

using UrlResult = pix::Result<Url>;

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

pix::Result<Url> ParseUrl(std::string_view text) {
    Url url;
    const std::size_t colon = text.find("://");
    if (colon == std::string_view::npos) return UrlResult::Failed("não é um endereço http(s)://.");
    const std::string scheme = Lowered(text.substr(0, colon));
    if (scheme == "https") {
        url.https = true;
        url.port = 443;
    } else if (scheme == "http") {
        url.https = false;
        url.port = 80;
    } else {
        return UrlResult::Failed("não é um endereço http(s)://.");
    }
    for (const char c : text)
        if (static_cast<unsigned char>(c) <= ' ' || c == 0x7F || c == '#')
            return UrlResult::Failed("contém espaços ou caracteres inválidos.");
    const std::string_view rest = text.substr(colon + 3);
    const std::size_t slash = rest.find('/');
    const std::string_view authority = rest.substr(0, slash);
    url.path = slash == std::string_view::npos ? "/" : std::string(rest.substr(slash));
    if (authority.find('@') != std::string_view::npos) return UrlResult::Failed("não pode conter usuário ou senha.");
    std::string_view portText;
    bool hasPort = false;
    if (!authority.empty() && authority.front() == '[') {
        const std::size_t close = authority.find(']');
        if (close == std::string_view::npos) return UrlResult::Failed("tem um endereço IPv6 sem ].");
        url.host = std::string(authority.substr(1, close - 1));
        const std::string_view after = authority.substr(close + 1);
        if (!after.empty()) {
            if (after.front() != ':') return UrlResult::Failed("tem uma porta inválida.");
            portText = after.substr(1);
            hasPort = true;
        }
    } else {
        const std::size_t portColon = authority.find(':');
        url.host = std::string(authority.substr(0, portColon));
        if (portColon != std::string_view::npos) {
            portText = authority.substr(portColon + 1);
            hasPort = true;
        }
    }
    if (hasPort && !ParsePort(portText, url.port)) return UrlResult::Failed("tem uma porta inválida.");
    if (url.host.empty()) return UrlResult::Failed("não tem servidor.");
    return {url, {}};
}

std::string HttpRequest::Header(std::string_view name) const {
    const std::string wanted = Lowered(name);
    for (const auto& [key, value] : headers)
        if (Lowered(key) == wanted) return value;
    return {};
}

}  // namespace bank001
