#include "bank001/winhttp_transport.h"

#include <string>

#include "bank001/core/secret.h"
#include "bank001/core/text.h"
#include "base/core/utf8.h"
#include "base/handles.h"
#include "base/text.h"

namespace bank001 {

namespace {

// Beyond this an answer is no answer of the bank's.
constexpr std::size_t kMaximumBody = 1 << 20;

constexpr wchar_t kAgent[] = L"Quelvano-bank001/1.0";

using Session = pix::Result<HINTERNET>;

std::wstring Wide(const std::string& utf8) { return pix::W(pix::utf8::ToUtf16(utf8)); }

std::string Narrow(const wchar_t* text) { return text ? pix::utf8::FromUtf16(pix::U16(text)) : std::string(); }

// Texts WinHTTP allocated for us, given back with GlobalFree.
class GlobalText {
public:
    explicit GlobalText(LPWSTR& text) noexcept : text_(text) {}
    ~GlobalText() {
        if (text_) GlobalFree(text_);
        text_ = nullptr;
    }
    GlobalText(const GlobalText&) = delete;
    GlobalText& operator=(const GlobalText&) = delete;

private:
    LPWSTR& text_;
};

// A wide copy of the request's headers: the Authorization header is a
// secret, so the buffer is wiped whatever happens to it.
class WideSecret {
public:
    std::basic_string<wchar_t, std::char_traits<wchar_t>, WipingAllocator<wchar_t>> text;
    WideSecret() = default;
    WideSecret(const WideSecret&) = delete;
    WideSecret& operator=(const WideSecret&) = delete;
    ~WideSecret() { SecureZeroMemory(&text[0], text.capacity() * sizeof(wchar_t)); }
};

// The stages of a request, in order.
enum class Stage { Resolving, Connecting, Handshake, Sending, Waiting, Reading };

// Where a request stands, shared with the status callback: each stage gets
// what is left of the call, at most the cap, as it begins.
struct Progress {
    const WinHttpApi* api;
    const Deadline* deadline;
    std::int64_t capMs;
    bool secure;
    Stage stage = Stage::Resolving;
    bool fromDeadline = false;  // the running stage's limit is the deadline's rest
    DWORD refused = 0;          // a limit WinHTTP would not take inside the callback
    DWORD certificateFaults = 0;  // WINHTTP_CALLBACK_STATUS_FLAG_* of a refused handshake

    int Enter(Stage next) {
        stage = next;
        fromDeadline = deadline->DeadlineBinds(capMs);
        return static_cast<int>(deadline->StageMs(capMs));
    }
};

void CALLBACK OnStatus(HINTERNET handle, DWORD_PTR context, DWORD status, LPVOID information, DWORD length) {
    auto* const progress = reinterpret_cast<Progress*>(context);
    if (!progress) return;
    if (status == WINHTTP_CALLBACK_STATUS_SECURE_FAILURE) {
        // What was wrong with the server's certificate: the error alone
        // (ERROR_WINHTTP_SECURE_FAILURE) does not say.
        if (information && length >= sizeof(DWORD)) progress->certificateFaults = *static_cast<const DWORD*>(information);
        return;
    }
    Stage next;
    switch (status) {
        case WINHTTP_CALLBACK_STATUS_RESOLVING_NAME: next = Stage::Resolving; break;
        case WINHTTP_CALLBACK_STATUS_CONNECTING_TO_SERVER: next = Stage::Connecting; break;
        case WINHTTP_CALLBACK_STATUS_CONNECTED_TO_SERVER: next = progress->secure ? Stage::Handshake : Stage::Sending; break;
        case WINHTTP_CALLBACK_STATUS_SENDING_REQUEST: next = Stage::Sending; break;
        default: return;
    }
    const int limit = progress->Enter(next);
    if (!progress->api->SetTimeouts(handle, limit, limit, limit, limit)) progress->refused = GetLastError();
}

struct Target {
    const HttpRequest& request;
    const Route& route;
    std::string Where() const { return request.url.host + ":" + std::to_string(request.url.port); }
    // The first hop: the proxy when there is one.
    std::string FirstHop() const {
        return route.proxy.empty() ? Where() : "o proxy " + route.proxyName + " (" + route.origin + ")";
    }
    // The stage as the error names it.
    std::string During(Stage stage) const {
        const std::string host = route.proxy.empty() ? request.url.host : "o proxy " + route.proxyName;
        switch (stage) {
            case Stage::Resolving: return "a resolução do nome de " + host;
            case Stage::Connecting: return "a conexão com " + FirstHop();
            case Stage::Handshake: return "a negociação segura (TLS) com " + Where();
            case Stage::Sending: return "o envio do pedido a " + Where();
            case Stage::Waiting: return "a espera pela resposta de " + Where();
            case Stage::Reading: return "a leitura da resposta de " + Where();
        }
        return Where();
    }
};

std::string TimedOut(const Progress& progress, const Target& target, const Settings& settings) {
    if (progress.fromDeadline)
        return "o prazo de " + std::to_string(progress.deadline->BudgetMs()) + " ms da chamada (deadline_ms) acabou durante " +
               target.During(progress.stage) + ".";
    return "tempo esgotado (timeout_ms de " + std::to_string(settings.timeoutMs) + " ms) durante " +
           target.During(progress.stage) + ".";
}

// What to do about a proxy that failed.
std::string Advice(const Route& route) {
    if (route.proxy.empty()) return {};
    if (route.fromIni) return " Confira proxy= em Quelvano.ini (none vai direto ao banco).";
    return " Confira as configurações de proxy do Windows, ou indique o proxy em Quelvano.ini (proxy=).";
}

// A refused server certificate, by what the handshake found wrong with it.
HttpResponse RefusedCertificate(DWORD faults, DWORD error, const std::string& where) {
    if (faults & WINHTTP_CALLBACK_STATUS_FLAG_CERT_REVOKED)
        return HttpResponse::Failed("o certificado de " + where + " foi revogado.");
    if (faults & WINHTTP_CALLBACK_STATUS_FLAG_CERT_REV_FAILED)
        return HttpResponse::Failed("não foi possível verificar se o certificado de " + where +
                                    " foi revogado (a verificação precisa alcançar a internet).");
    std::string why;
    if (faults & WINHTTP_CALLBACK_STATUS_FLAG_INVALID_CA) why = "emitido por quem este Windows não confia";
    else if (faults & WINHTTP_CALLBACK_STATUS_FLAG_CERT_CN_INVALID) why = "de outro servidor";
    else if (faults & WINHTTP_CALLBACK_STATUS_FLAG_CERT_DATE_INVALID) why = "fora da validade";
    else if (faults & WINHTTP_CALLBACK_STATUS_FLAG_CERT_WRONG_USAGE) why = "não é para servidores";
    if (!why.empty()) return HttpResponse::Failed("o certificado de " + where + " é " + why + " (erro " + std::to_string(error) + ").");
    return HttpResponse::Failed("falha na conexão segura com " + where + " (certificado não confiável ou TLS recusado; erro " +
                                std::to_string(error) + ").");
}

HttpResponse Failure(DWORD error, const Progress& progress, const Target& target, const Settings& settings) {
    const std::string where = target.Where();
    switch (error) {
        case ERROR_WINHTTP_TIMEOUT:
        case WSAETIMEDOUT:  // what Wine's WinHTTP reports for the same
            return HttpResponse::Failed(TimedOut(progress, target, settings), true);
        case ERROR_WINHTTP_CANNOT_CONNECT:
            return HttpResponse::Failed(target.route.proxy.empty()
                                            ? "não foi possível conectar a " + where + "."
                                            : "não foi possível conectar ao proxy " + target.route.proxyName + " (" +
                                                  target.route.origin + ")." + Advice(target.route));
        case ERROR_WINHTTP_NAME_NOT_RESOLVED:
            return HttpResponse::Failed(target.route.proxy.empty()
                                            ? "o servidor " + target.request.url.host + " não foi encontrado."
                                            : target.FirstHop() + " não foi encontrado." + Advice(target.route));
        case ERROR_WINHTTP_CONNECTION_ERROR:
            return HttpResponse::Failed("a conexão com " + where + " foi interrompida.");
        case ERROR_WINHTTP_INVALID_SERVER_RESPONSE:
            return HttpResponse::Failed("resposta inválida de " + where + ".");
        case ERROR_WINHTTP_SECURE_CERT_REV_FAILED:
            return RefusedCertificate(WINHTTP_CALLBACK_STATUS_FLAG_CERT_REV_FAILED, error, where);
        case ERROR_WINHTTP_SECURE_CERT_REVOKED:
            return RefusedCertificate(WINHTTP_CALLBACK_STATUS_FLAG_CERT_REVOKED, error, where);
        case ERROR_WINHTTP_SECURE_CERT_DATE_INVALID:
            return RefusedCertificate(WINHTTP_CALLBACK_STATUS_FLAG_CERT_DATE_INVALID, error, where);
        case ERROR_WINHTTP_SECURE_CERT_CN_INVALID:
            return RefusedCertificate(WINHTTP_CALLBACK_STATUS_FLAG_CERT_CN_INVALID, error, where);
        case ERROR_WINHTTP_SECURE_INVALID_CA:
            return RefusedCertificate(WINHTTP_CALLBACK_STATUS_FLAG_INVALID_CA, error, where);
        case ERROR_WINHTTP_SECURE_CERT_WRONG_USAGE:
            return RefusedCertificate(WINHTTP_CALLBACK_STATUS_FLAG_CERT_WRONG_USAGE, error, where);
        case ERROR_WINHTTP_SECURE_FAILURE:
        case ERROR_WINHTTP_SECURE_CHANNEL_ERROR:
        case ERROR_WINHTTP_SECURE_INVALID_CERT:
            return RefusedCertificate(progress.certificateFaults, error, where);
        case ERROR_WINHTTP_CLIENT_AUTH_CERT_NEEDED:
            return HttpResponse::Failed(where + " exige certificado de cliente (client_certificate em Quelvano.ini).");
        default:
            return HttpResponse::Failed("erro de rede " + std::to_string(error) + " com " + where + ".");
    }
}

// Every option is checked: one that does not hold would let a request leave
// with less than it was meant to have.
class Options {
public:
    Options(const WinHttpApi& api, HINTERNET handle) : api_(api), handle_(handle) {}

    bool Set(DWORD option, const char* name, void* value, DWORD size) {
        if (!error_.empty()) return false;
        if (!api_.SetOption(handle_, option, value, size))
            error_ = "WinHTTP recusou a opção " + std::string(name) + " (erro " + std::to_string(GetLastError()) + ").";
        return error_.empty();
    }
    bool SetNumber(DWORD option, const char* name, DWORD value) { return Set(option, name, &value, sizeof value); }
    bool SetTimeouts(int limit) {
        if (!error_.empty()) return false;
        if (!api_.SetTimeouts(handle_, limit, limit, limit, limit))
            error_ = "WinHTTP recusou os limites de tempo (erro " + std::to_string(GetLastError()) + ").";
        return error_.empty();
    }
    const std::string& Error() const { return error_; }

private:
    const WinHttpApi& api_;
    HINTERNET handle_;
    std::string error_;
};


}  // namespace

bool ProxyDetection::FoundNothingLately() noexcept {
    const pix::ExclusiveLock exclusive(lock_);
    return foundNothing_ && GetTickCount64() - foundNothingAt_ < kRememberedMs;
}

void ProxyDetection::FoundNothing() noexcept {
    const pix::ExclusiveLock exclusive(lock_);
    foundNothing_ = true;
    foundNothingAt_ = GetTickCount64();
}

void ProxyDetection::FoundSomething() noexcept {
    const pix::ExclusiveLock exclusive(lock_);
    foundNothing_ = false;
}

pix::Result<HINTERNET> WinHttpTransport::Session(const WinHttpApi& api, const Route& route) {
    const std::wstring key = route.proxy + L"\n" + route.bypass;
    for (const auto& [proxy, session] : sessions_)
        if (proxy == key) return {session.Get(), {}};
    InternetHandle session(api, route.proxy.empty()
                                    ? api.Open(kAgent, WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME,
                                               WINHTTP_NO_PROXY_BYPASS, 0)
                                    : api.Open(kAgent, WINHTTP_ACCESS_TYPE_NAMED_PROXY, route.proxy.c_str(),
                                               route.bypass.empty() ? WINHTTP_NO_PROXY_BYPASS : route.bypass.c_str(), 0));
    if (!session) return Session::Failed("WinHTTP não pôde ser iniciado (erro " + std::to_string(GetLastError()) + ").");
    // TLS 1.2 or later. A WinHTTP that does not know TLS 1.3 refuses the
    // whole set, so TLS 1.2 alone is asked for next; one that does not know
    // TLS 1.2 either (Vista; Windows 7 without its update) cannot reach the bank.
    DWORD protocols = WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_2 | WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_3;
    if (!api.SetOption(session.Get(), WINHTTP_OPTION_SECURE_PROTOCOLS, &protocols, sizeof protocols)) {
        protocols = WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_2;
        if (!api.SetOption(session.Get(), WINHTTP_OPTION_SECURE_PROTOCOLS, &protocols, sizeof protocols))
            return Session::Failed("este Windows não oferece TLS 1.2 ao WinHTTP (erro " + std::to_string(GetLastError()) +
                                   "), que o banco exige. No Windows 7, instale a atualização KB3140245 e ative o "
                                   "TLS 1.2 para o WinHTTP; o Windows Vista não o tem.");
    }
    sessions_.emplace_back(key, std::move(session));
    return {sessions_.back().second.Get(), {}};
}

pix::Result<Route> WinHttpTransport::RouteFor(const WinHttpApi& api, HINTERNET session, const Url& url,
                                              const Settings& settings, const Deadline& deadline) {
    const std::string key = url.host + ":" + std::to_string(url.port) + (url.https ? "s" : "");
    for (const auto& [host, route] : routes_)
        if (host == key) return {route, {}};
    Route route;
    if (settings.proxy.kind == Proxy::Kind::Named) {
        route.proxy = Wide(settings.proxy.server);
        route.proxyName = settings.proxy.server;
        route.origin = "proxy= em Quelvano.ini";
        route.fromIni = true;
    } else if (settings.proxy.kind == Proxy::Kind::System) {
        WINHTTP_CURRENT_USER_IE_PROXY_CONFIG user{};
        const bool known = api.GetIEProxyConfigForCurrentUser(&user);
        const GlobalText autoConfig(user.lpszAutoConfigUrl), proxy(user.lpszProxy), bypass(user.lpszProxyBypass);
        bool decided = false;
        // A detection that lately found nothing is not asked again: the
        // user's other settings apply at once.
        const bool detect = user.fAutoDetect && (user.lpszAutoConfigUrl || !detection_.FoundNothingLately());
        if (known && (detect || user.lpszAutoConfigUrl)) {
            WINHTTP_AUTOPROXY_OPTIONS options{};
            options.dwFlags = (user.lpszAutoConfigUrl ? WINHTTP_AUTOPROXY_CONFIG_URL : 0) |
                              (detect ? WINHTTP_AUTOPROXY_AUTO_DETECT : 0);
            options.dwAutoDetectFlags = detect ? WINHTTP_AUTO_DETECT_TYPE_DHCP | WINHTTP_AUTO_DETECT_TYPE_DNS_A : 0;
            options.lpszAutoConfigUrl = user.lpszAutoConfigUrl;
            options.fAutoLogonIfChallenged = TRUE;
            // The script's download gets the session's limits: what is left.
            const int limit = static_cast<int>(deadline.StageMs(settings.timeoutMs));
            if (!api.SetTimeouts(session, limit, limit, limit, limit))
                return pix::Result<Route>::Failed("WinHTTP recusou os limites de tempo (erro " +
                                                  std::to_string(GetLastError()) + ").");
            const std::wstring wideUrl =
                Wide((url.https ? "https://" : "http://") + url.host + ":" + std::to_string(url.port) + url.path);
            WINHTTP_PROXY_INFO info{};
            if (api.GetProxyForUrl(session, wideUrl.c_str(), &options, &info)) {
                if (detect && !user.lpszAutoConfigUrl) detection_.FoundSomething();
                const GlobalText infoProxy(info.lpszProxy), infoBypass(info.lpszProxyBypass);
                if (info.dwAccessType == WINHTTP_ACCESS_TYPE_NAMED_PROXY && info.lpszProxy) {
                    route.proxy = info.lpszProxy;
                    route.bypass = info.lpszProxyBypass ? info.lpszProxyBypass : L"";
                    route.proxyName = Narrow(info.lpszProxy);
                    route.origin = user.lpszAutoConfigUrl ? "script de proxy " + Narrow(user.lpszAutoConfigUrl) +
                                                                " das configurações do Windows"
                                                          : "detecção automática de proxy do Windows";
                }
                decided = true;
            } else {
                const DWORD error = GetLastError();
                if (detect && !user.lpszAutoConfigUrl && error == ERROR_WINHTTP_AUTODETECTION_FAILED)
                    detection_.FoundNothing();
                if (deadline.Passed())
                    return pix::Result<Route>::Failed("o prazo de " + std::to_string(deadline.BudgetMs()) +
                                                      " ms da chamada (deadline_ms) acabou durante a descoberta do proxy.");
                // A script the user named must work; an automatic detection
                // that found nothing leaves the other settings, as browsers do.
                if (user.lpszAutoConfigUrl)
                    return pix::Result<Route>::Failed(
                        "o script de proxy (PAC) " + Narrow(user.lpszAutoConfigUrl) +
                        " das configurações do Windows " +
                        (error == ERROR_WINHTTP_UNABLE_TO_DOWNLOAD_SCRIPT ? std::string("não pôde ser baixado")
                         : error == ERROR_WINHTTP_BAD_AUTO_PROXY_SCRIPT   ? std::string("tem erros")
                                                                          : "não pôde ser usado") +
                        " (erro " + std::to_string(error) + "). Confira o endereço do script nas configurações de proxy do Windows, ou use proxy= em "
                        "Quelvano.ini.");
            }
        }
        if (!decided && known && user.lpszProxy) {
            route.proxy = user.lpszProxy;
            route.bypass = user.lpszProxyBypass ? user.lpszProxyBypass : L"";
            route.proxyName = Narrow(user.lpszProxy);
            route.origin = "configurações de proxy do Windows";
        }
    }
    routes_.emplace_back(key, route);
    return {route, {}};
}

HttpResponse WinHttpTransport::Send(const HttpRequest& request, const Settings& settings, const Deadline& deadline) {
    const Url& url = request.url;
    // Plain http leaves the machine only over a bug elsewhere: refuse it here as well.
    if (!url.https && !IsLoopback(url.host)) return HttpResponse::Failed("http só é permitido para este computador.");
    std::string error;
    const WinHttpApi* const bound = api_ ? api_ : WinHttp(error);
    if (!bound) return HttpResponse::Failed(error);
    const WinHttpApi& api = *bound;
    // The direct session also asks the proxy script, when there is one.
    const pix::Result<HINTERNET> direct = Session(api, Route{});
    if (!direct.Ok()) return HttpResponse::Failed(direct.error);
    const pix::Result<Route> route = RouteFor(api, direct.value, url, settings, deadline);
    if (!route.Ok()) return HttpResponse::Failed(route.error, deadline.Passed());
    const pix::Result<HINTERNET> session = Session(api, route.value);
    if (!session.Ok()) return HttpResponse::Failed(session.error);
    const Target target{request, route.value};

    // Outlives the handles: the callback may run until the request's handle closes.
    Progress progress{&api, &deadline, settings.timeoutMs, url.https};
    InternetHandle connection(api, api.Connect(session.value, Wide(url.host).c_str(), static_cast<INTERNET_PORT>(url.port), 0));
    if (!connection) return Failure(GetLastError(), progress, target, settings);
    InternetHandle handle(api, api.OpenRequest(connection.Get(), Wide(request.method).c_str(), Wide(url.path).c_str(),
                                               nullptr, WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                                               url.https ? WINHTTP_FLAG_SECURE : 0));
    if (!handle) return Failure(GetLastError(), progress, target, settings);

    Options options(api, handle.Get());
    // A redirect would carry the credentials elsewhere; a cookie has no use here.
    options.SetNumber(WINHTTP_OPTION_DISABLE_FEATURE, "WINHTTP_OPTION_DISABLE_FEATURE",
                      WINHTTP_DISABLE_REDIRECTS | WINHTTP_DISABLE_COOKIES);
    CertificateContext certificate;
    if (url.https) {
        options.SetNumber(WINHTTP_OPTION_ENABLE_FEATURE, "WINHTTP_OPTION_ENABLE_FEATURE", WINHTTP_ENABLE_SSL_REVOCATION);
        if (!settings.clientCertificate.empty()) {
            pix::Result<CertificateContext> acquired = certificates_.Acquire(settings.clientCertificate);
            if (!acquired.Ok()) return HttpResponse::Failed(acquired.error);
            certificate = std::move(acquired.value);
            options.Set(WINHTTP_OPTION_CLIENT_CERT_CONTEXT, "WINHTTP_OPTION_CLIENT_CERT_CONTEXT",
                        const_cast<CERT_CONTEXT*>(certificate.Get()), sizeof(CERT_CONTEXT));
        }
    }
    // The stages inside the sending (resolving, connecting, the handshake,
    // the sending itself) each take their limit as they begin.
    const int limit = progress.Enter(Stage::Resolving);
    options.SetTimeouts(limit);
    options.SetNumber(WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, "WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT",
                      static_cast<DWORD>(limit));
    if (!options.Error().empty()) return HttpResponse::Failed(options.Error());
    if (api.SetStatusCallback(handle.Get(), &OnStatus,
                              WINHTTP_CALLBACK_FLAG_RESOLVE_NAME | WINHTTP_CALLBACK_FLAG_CONNECT_TO_SERVER |
                                  WINHTTP_CALLBACK_FLAG_SEND_REQUEST | WINHTTP_CALLBACK_FLAG_SECURE_FAILURE,
                              0) == WINHTTP_INVALID_STATUS_CALLBACK)
        return HttpResponse::Failed("WinHTTP recusou o acompanhamento do pedido (erro " + std::to_string(GetLastError()) + ").");

    WideSecret headers;
    {
        Secret lines;
        for (const auto& [name, value] : request.headers) lines.Append(name + ": " + value + "\r\n");
        if (!request.authorization.Empty()) {
            lines.Append("Authorization: ");
            lines.Append(request.authorization.View());
            lines.Append("\r\n");
        }
        headers.text.reserve(lines.Size());
        pix::utf8::AppendToUtf16(headers.text, lines.View());
    }
    const DWORD bodySize = static_cast<DWORD>(request.body.size());
    if (!api.SendRequest(handle.Get(), headers.text.c_str(), static_cast<DWORD>(headers.text.size()),
                         const_cast<char*>(request.body.data()), bodySize, bodySize, reinterpret_cast<DWORD_PTR>(&progress)))
        return Failure(GetLastError(), progress, target, settings);
    if (progress.refused)
        return HttpResponse::Failed("WinHTTP recusou os limites de tempo (erro " + std::to_string(progress.refused) + ").");

    Options waiting(api, handle.Get());
    const int wait = progress.Enter(Stage::Waiting);
    waiting.SetNumber(WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, "WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT",
                      static_cast<DWORD>(wait));
    waiting.SetNumber(WINHTTP_OPTION_RECEIVE_TIMEOUT, "WINHTTP_OPTION_RECEIVE_TIMEOUT", static_cast<DWORD>(wait));
    if (!waiting.Error().empty()) return HttpResponse::Failed(waiting.Error());
    if (!api.ReceiveResponse(handle.Get(), nullptr)) return Failure(GetLastError(), progress, target, settings);

    DWORD status = 0, size = sizeof status;
    if (!api.QueryHeaders(handle.Get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER, WINHTTP_HEADER_NAME_BY_INDEX,
                          &status, &size, WINHTTP_NO_HEADER_INDEX))
        return Failure(GetLastError(), progress, target, settings);
    if (status == 407)
        return HttpResponse::Failed(target.FirstHop() + " exige autenticação (HTTP 407), que esta biblioteca não faz." +
                                    Advice(route.value));
    DWORD announced = 0;
    size = sizeof announced;
    const bool hasLength = api.QueryHeaders(handle.Get(), WINHTTP_QUERY_CONTENT_LENGTH | WINHTTP_QUERY_FLAG_NUMBER,
                                            WINHTTP_HEADER_NAME_BY_INDEX, &announced, &size, WINHTTP_NO_HEADER_INDEX);
    HttpResponse response;
    if (hasLength && announced <= kMaximumBody) response.body.Reserve(announced);
    char buffer[8192];
    struct Wiped {
        char* bytes;
        std::size_t size;
        ~Wiped() { SecureZeroMemory(bytes, size); }
    } wiped{buffer, sizeof buffer};
    for (;;) {
        // Each wait for data gets what is left; a server that trickles its
        // answer meets the deadline between two bytes.
        if (deadline.Passed()) {
            progress.Enter(Stage::Reading);
            progress.fromDeadline = true;
            return HttpResponse::Failed(TimedOut(progress, target, settings), true);
        }
        Options reading(api, handle.Get());
        if (!reading.SetNumber(WINHTTP_OPTION_RECEIVE_TIMEOUT, "WINHTTP_OPTION_RECEIVE_TIMEOUT",
                               static_cast<DWORD>(progress.Enter(Stage::Reading))))
            return HttpResponse::Failed(reading.Error());
        // Ask what has arrived and read no more than that: a read of a whole
        // buffer may wait for all of it (Wine's does), past any deadline.
        DWORD available = 0, read = 0;
        const bool ok = api.QueryDataAvailable(handle.Get(), &available) &&
                        (available == 0 ||
                         api.ReadData(handle.Get(), buffer, available < sizeof buffer ? available : sizeof buffer, &read));
        if (!ok) {
            const DWORD code = GetLastError();
            if (code == ERROR_WINHTTP_TIMEOUT || code == WSAETIMEDOUT) return Failure(code, progress, target, settings);
            return HttpResponse::Failed("a resposta de " + url.host + " chegou incompleta.");
        }
        if (available == 0 || read == 0) break;
        response.body.Append(std::string_view(buffer, read));
        if (response.body.Size() > kMaximumBody) return HttpResponse::Failed("a resposta de " + url.host + " é grande demais.");
    }
    if (hasLength && response.body.Size() != announced)
        return HttpResponse::Failed("a resposta de " + url.host + " chegou incompleta (" +
                                    std::to_string(response.body.Size()) + " de " + std::to_string(announced) + " bytes).");
    response.delivered = true;
    response.status = static_cast<int>(status);
    return response;
}

}  // namespace bank001
