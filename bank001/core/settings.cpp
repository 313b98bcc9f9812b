#include "bank001/core/settings.h"

#include "bank001/core/text.h"

namespace bank001 {

namespace {

using IniResult = pix::Result<IniValues>;
using SettingsResult = pix::Result<Settings>;

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

// The value less a comment that a blank and ";" begin.
std::string_view WithoutComment(std::string_view value) {
    for (std::size_t i = 1; i < value.size(); ++i)
        if (value[i] == ';' && IsBlank(value[i - 1])) return value.substr(0, i);
    return value;
}

struct Key {
    const char* name;
    std::string IniValues::*value;
};

const Key kKeys[] = {
    {"environment", &IniValues::environment}, {"oauth_url", &IniValues::oauthUrl},
    {"api_url", &IniValues::apiUrl},          {"app_key_param", &IniValues::appKeyParam},
    {"timeout_ms", &IniValues::timeoutMs},    {"deadline_ms", &IniValues::deadlineMs},
    {"proxy", &IniValues::proxy},             {"client_certificate", &IniValues::clientCertificate},
};

// A line as shown inside an error: printable and short.
std::string Quoted(std::string_view line) { return "\"" + BankText(line, 60) + "\""; }

pix::Result<unsigned> Number(const char* key, std::string_view text, unsigned minimum, unsigned maximum) {
    const std::string error = std::string("Quelvano.ini: ") + key + " deve ser um número de " +
                              std::to_string(minimum) + " a " + std::to_string(maximum) + ".";
    unsigned long long value = 0;
    if (text.empty() || text.size() > 9) return pix::Result<unsigned>::Failed(error);
    for (const char c : text) {
        if (c < '0' || c > '9') return pix::Result<unsigned>::Failed(error);
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    if (value < minimum || value > maximum) return pix::Result<unsigned>::Failed(error);
    return {static_cast<unsigned>(value), {}};
}

pix::Result<Url> CheckedUrl(const char* key, std::string_view text) {
    pix::Result<Url> url = ParseUrl(text);
    if (!url.Ok()) return pix::Result<Url>::Failed(std::string("Quelvano.ini: ") + key + " " + url.error);
    if (!url.value.https && !IsLoopback(url.value.host))
        return pix::Result<Url>::Failed(std::string("Quelvano.ini: ") + key +
                                        " usa http fora deste computador; use https.");
    // The base paths end without a slash: the calls append their own.
    while (!url.value.path.empty() && url.value.path.back() == '/') url.value.path.pop_back();
    return url;
}

bool IsHostCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '.';
}

// "none", or a proxy server as host:port (http:// before it allowed).
pix::Result<Proxy> ProxyFrom(std::string_view text) {
    static const char kError[] =
        "Quelvano.ini: proxy deve ser none ou servidor:porta (por exemplo proxy.empresa.com.br:8080).";
    Proxy proxy;
    if (text.empty()) return {proxy, {}};
    if (Lowered(text) == "none") {
        proxy.kind = Proxy::Kind::None;
        return {proxy, {}};
    }
    if (Lowered(text.substr(0, 7)) == "http://") text.remove_prefix(7);
    if (!text.empty() && text.back() == '/') text.remove_suffix(1);
    const std::size_t colon = text.rfind(':');
    if (colon == std::string_view::npos || colon == 0) return pix::Result<Proxy>::Failed(kError);
    std::string_view host = text.substr(0, colon);
    const std::string_view port = text.substr(colon + 1);
    if (host.front() == '[') {
        if (host.size() < 3 || host.back() != ']') return pix::Result<Proxy>::Failed(kError);
        for (const char c : host.substr(1, host.size() - 2))
            if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F') || c == ':'))
                return pix::Result<Proxy>::Failed(kError);
    } else {
        for (const char c : host)
            if (!IsHostCharacter(c)) return pix::Result<Proxy>::Failed(kError);
    }
    if (!Number("proxy", port, 1, 65535).Ok()) return pix::Result<Proxy>::Failed(kError);
    proxy.kind = Proxy::Kind::Named;
    proxy.server = std::string(text);
    return {proxy, {}};
}

}  // namespace

pix::Result<IniValues> ParseIniSection(std::string_view lines) {
    IniValues ini;
    bool seen[sizeof kKeys / sizeof kKeys[0]] = {};
    while (!lines.empty()) {
        const std::size_t end = lines.find_first_of(std::string_view("\n\0", 2));
        std::string_view line = lines.substr(0, end);
        lines.remove_prefix(end == std::string_view::npos ? lines.size() : end + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        line = Trimmed(line);
        if (line.empty() || line.front() == ';') continue;
        const std::size_t equals = line.find('=');
        if (equals == std::string_view::npos)
            return IniResult::Failed("Quelvano.ini: a linha " + Quoted(line) + " de [bank001] não é chave=valor.");
        const std::string key = Lowered(Trimmed(line.substr(0, equals)));
        const std::string_view value = Trimmed(WithoutComment(line.substr(equals + 1)));
        std::size_t index = 0;
        while (index < sizeof kKeys / sizeof kKeys[0] && key != kKeys[index].name) ++index;
        if (index == sizeof kKeys / sizeof kKeys[0])
            return IniResult::Failed("Quelvano.ini: [bank001] não tem a chave " + Quoted(key) + ".");
        if (seen[index])
            return IniResult::Failed(std::string("Quelvano.ini: a chave ") + kKeys[index].name +
                                     " aparece mais de uma vez em [bank001].");
        seen[index] = true;
        if (Characters(value) > kMaximumValue)
            return IniResult::Failed(std::string("Quelvano.ini: o valor de ") + kKeys[index].name + " passa de " +
                                     std::to_string(kMaximumValue) + " caracteres.");
        ini.*kKeys[index].value = std::string(value);
    }
    return {ini, {}};
}

pix::Result<Settings> SettingsFrom(const IniValues& ini) {
    Settings settings;
    const std::string environment = Lowered(ini.environment);
    std::string oauth, api;
    if (environment.empty() || environment == "production") {
        oauth = "https://oauth.bb.com.br";
        api = "https://api.bb.com.br";
    } else if (environment == "sandbox") {
        oauth = "https://oauth.sandbox.bb.com.br";
        api = "https://api.sandbox.bb.com.br";
    } else {
        return SettingsResult::Failed("Quelvano.ini: environment deve ser production ou sandbox.");
    }
    if (!ini.oauthUrl.empty()) oauth = ini.oauthUrl;
    if (!ini.apiUrl.empty()) api = ini.apiUrl;
    pix::Result<Url> url = CheckedUrl("oauth_url", oauth);
    if (!url.Ok()) return SettingsResult::Failed(url.error);
    settings.oauth = url.value;
    url = CheckedUrl("api_url", api);
    if (!url.Ok()) return SettingsResult::Failed(url.error);
    settings.api = url.value;
    if (!ini.appKeyParam.empty()) {
        for (const char c : ini.appKeyParam) {
            const bool ok = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
                            c == '_' || c == '.';
            if (!ok) return SettingsResult::Failed("Quelvano.ini: app_key_param tem caracteres inválidos.");
        }
        settings.appKeyParam = ini.appKeyParam;
    }
    if (!ini.timeoutMs.empty()) {
        const pix::Result<unsigned> timeout = Number("timeout_ms", ini.timeoutMs, 1, kMaximumTimeoutMs);
        if (!timeout.Ok()) return SettingsResult::Failed(timeout.error);
        settings.timeoutMs = timeout.value;
    }
    if (!ini.deadlineMs.empty()) {
        const pix::Result<unsigned> deadline =
            Number("deadline_ms", ini.deadlineMs, kMinimumDeadlineMs, kMaximumDeadlineMs);
        if (!deadline.Ok()) return SettingsResult::Failed(deadline.error);
        settings.deadlineMs = deadline.value;
    }
    const pix::Result<Proxy> proxy = ProxyFrom(ini.proxy);
    if (!proxy.Ok()) return SettingsResult::Failed(proxy.error);
    settings.proxy = proxy.value;
    settings.clientCertificate = ini.clientCertificate;
    return {settings, {}};
}

}  // namespace bank001
