#include "bank001/winhttp_transport.h"

#include <string>
#include <vector>

#include "bank001/core/text.h"
#include "base/core/utf8.h"

namespace bank001 {

namespace {

// Beyond this an answer is no answer of the bank's.
constexpr std::size_t kMaximumBody = 1 << 20;

std::wstring Wide(const std::string& utf8) {
    const std::u16string text = pix::utf8::ToUtf16(utf8);
    return std::wstring(text.begin(), text.end());
}

std::string Describe(DWORD error, const HttpRequest& request, unsigned timeoutMs) {
    const std::string where = request.url.host + ":" + std::to_string(request.url.port);
    switch (error) {
        case ERROR_WINHTTP_TIMEOUT:
        case WSAETIMEDOUT:  // what Wine's WinHTTP reports for the same
            return "tempo esgotado (" + std::to_string(timeoutMs) + " ms) esperando " + where + ".";
        case ERROR_WINHTTP_CANNOT_CONNECT:
            return "não foi possível conectar a " + where + ".";
        case ERROR_WINHTTP_NAME_NOT_RESOLVED:
            return "o servidor " + request.url.host + " não foi encontrado.";
        case ERROR_WINHTTP_CONNECTION_ERROR:
            return "a conexão com " + where + " foi interrompida.";
        case ERROR_WINHTTP_INVALID_SERVER_RESPONSE:
            return "resposta inválida de " + where + ".";
        case ERROR_WINHTTP_SECURE_FAILURE:
        case ERROR_WINHTTP_SECURE_CERT_DATE_INVALID:
        case ERROR_WINHTTP_SECURE_CERT_CN_INVALID:
        case ERROR_WINHTTP_SECURE_INVALID_CA:
        case ERROR_WINHTTP_SECURE_CERT_REV_FAILED:
        case ERROR_WINHTTP_SECURE_CHANNEL_ERROR:
        case ERROR_WINHTTP_SECURE_INVALID_CERT:
        case ERROR_WINHTTP_SECURE_CERT_REVOKED:
        case ERROR_WINHTTP_SECURE_CERT_WRONG_USAGE:
            return "falha na conexão segura com " + where + " (certificado não confiável ou TLS recusado; erro " +
                   std::to_string(error) + ").";
        case ERROR_WINHTTP_CLIENT_AUTH_CERT_NEEDED:
            return where + " exige certificado de cliente (client_certificate em Quelvano.ini).";
        default:
            return "erro de rede " + std::to_string(error) + " com " + where + ".";
    }
}

HttpResponse Failed(std::string error) { return {false, 0, "", std::move(error)}; }

// The first certificate with a private key in a PFX file without password.
class ClientCertificate {
public:
    ClientCertificate() = default;
    ClientCertificate(const ClientCertificate&) = delete;
    ClientCertificate& operator=(const ClientCertificate&) = delete;
    ~ClientCertificate() {
        if (context_) api_->FreeCertificateContext(context_);
        if (store_) api_->CloseStore(store_, 0);
    }
    bool Load(const std::string& path, std::string& error) {
        api_ = Certificates(error);
        if (!api_) return false;
        const HANDLE file = CreateFileW(Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            error = "client_certificate " + path + " não pode ser aberto.";
            return false;
        }
        std::vector<BYTE> bytes(1 << 16);
        DWORD read = 0;
        const BOOL ok = ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
        CloseHandle(file);
        CRYPT_DATA_BLOB blob{read, bytes.data()};
        if (ok) store_ = api_->PFXImportCertStore(&blob, L"", 0);
        if (store_)
            context_ = api_->FindCertificateInStore(store_, X509_ASN_ENCODING | PKCS_7_ASN_ENCODING, 0,
                                                    CERT_FIND_ANY, nullptr, nullptr);
        if (!context_) {
            error = "client_certificate " + path + " não é um PFX sem senha com certificado.";
            return false;
        }
        return true;
    }
    PCCERT_CONTEXT Context() const { return context_; }

private:
    const CertificateApi* api_ = nullptr;
    HCERTSTORE store_ = nullptr;
    PCCERT_CONTEXT context_ = nullptr;
};

}  // namespace

HINTERNET WinHttpTransport::Session(const WinHttpApi& api, bool direct, unsigned timeoutMs, std::string& error) {
    InternetHandle& session = direct ? direct_ : proxied_;
    if (!session) {
        // Loopback never goes through a proxy; everything else follows the system's settings.
        session = InternetHandle(api, api.Open(L"Quelvano-bank001/1.0",
                                               direct ? WINHTTP_ACCESS_TYPE_NO_PROXY : WINHTTP_ACCESS_TYPE_DEFAULT_PROXY,
                                               WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
        if (!session) {
            error = "WinHTTP não pôde ser iniciado (erro " + std::to_string(GetLastError()) + ").";
            return nullptr;
        }
    }
    const int t = static_cast<int>(timeoutMs);
    api.SetTimeouts(session.Get(), t, t, t, t);
    return session.Get();
}

HttpResponse WinHttpTransport::Send(const HttpRequest& request, const Settings& settings) {
    const Url& url = request.url;
    // Plain http leaves the machine only over a bug elsewhere: refuse it here as well.
    if (!url.https && !IsLoopback(url.host)) return Failed("http só é permitido para este computador.");
    const ULONGLONG started = GetTickCount64();
    std::string error;
    const WinHttpApi* const bound = WinHttp(error);
    if (!bound) return Failed(error);
    const WinHttpApi& api = *bound;
    const HINTERNET session = Session(api, IsLoopback(url.host), settings.timeoutMs, error);
    if (!session) return Failed(error);

    InternetHandle connection(api, api.Connect(session, Wide(url.host).c_str(), static_cast<INTERNET_PORT>(url.port), 0));
    if (!connection) return Failed(Describe(GetLastError(), request, settings.timeoutMs));
    InternetHandle handle(api, api.OpenRequest(connection.Get(), Wide(request.method).c_str(), Wide(url.path).c_str(),
                                               nullptr, WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                                               url.https ? WINHTTP_FLAG_SECURE : 0));
    if (!handle) return Failed(Describe(GetLastError(), request, settings.timeoutMs));

    // The wait for the answer's headers has a limit of its own (90 s unless
    // set), apart from the receive timeout of the session.
    DWORD responseTimeout = settings.timeoutMs;
    api.SetOption(handle.Get(), WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &responseTimeout, sizeof responseTimeout);
    // A redirect would carry the credentials elsewhere; a cookie has no use here.
    DWORD features = WINHTTP_DISABLE_REDIRECTS | WINHTTP_DISABLE_COOKIES;
    api.SetOption(handle.Get(), WINHTTP_OPTION_DISABLE_FEATURE, &features, sizeof features);

    ClientCertificate certificate;
    if (url.https && !settings.clientCertificate.empty()) {
        if (!certificate.Load(settings.clientCertificate, error)) return Failed(error);
        api.SetOption(handle.Get(), WINHTTP_OPTION_CLIENT_CERT_CONTEXT, const_cast<CERT_CONTEXT*>(certificate.Context()),
                      sizeof(CERT_CONTEXT));
    }

    std::string headers;
    for (const auto& [name, value] : request.headers) headers += name + ": " + value + "\r\n";
    const std::wstring wideHeaders = Wide(headers);
    const DWORD bodySize = static_cast<DWORD>(request.body.size());
    if (!api.SendRequest(handle.Get(), wideHeaders.c_str(), static_cast<DWORD>(wideHeaders.size()),
                         const_cast<char*>(request.body.data()), bodySize, bodySize, 0) ||
        !api.ReceiveResponse(handle.Get(), nullptr))
        return Failed(Describe(GetLastError(), request, settings.timeoutMs));

    HttpResponse response;
    DWORD status = 0, size = sizeof status;
    if (!api.QueryHeaders(handle.Get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                          WINHTTP_HEADER_NAME_BY_INDEX, &status, &size, WINHTTP_NO_HEADER_INDEX))
        return Failed(Describe(GetLastError(), request, settings.timeoutMs));
    response.status = static_cast<int>(status);

    DWORD announced = 0;
    size = sizeof announced;
    const bool hasLength = api.QueryHeaders(handle.Get(), WINHTTP_QUERY_CONTENT_LENGTH | WINHTTP_QUERY_FLAG_NUMBER,
                                            WINHTTP_HEADER_NAME_BY_INDEX, &announced, &size, WINHTTP_NO_HEADER_INDEX);
    // Each read may take up to the receive timeout; a server that trickles
    // its answer byte by byte is cut off once the whole exchange took as long
    // as four of them.
    const ULONGLONG deadline = started + 4ull * settings.timeoutMs;
    char buffer[8192];
    for (;;) {
        if (GetTickCount64() > deadline) return Failed(Describe(ERROR_WINHTTP_TIMEOUT, request, settings.timeoutMs));
        // Ask what has arrived and read no more than that: a read of a whole
        // buffer may wait for all of it (Wine's does), past any deadline.
        DWORD available = 0, read = 0;
        const bool ok = api.QueryDataAvailable(handle.Get(), &available) &&
                        (available == 0 ||
                         api.ReadData(handle.Get(), buffer, available < sizeof buffer ? available : sizeof buffer, &read));
        if (!ok) {
            const DWORD code = GetLastError();
            return Failed(code == ERROR_WINHTTP_TIMEOUT || code == WSAETIMEDOUT ? Describe(code, request, settings.timeoutMs)
                                                                                : "a resposta de " + url.host + " chegou incompleta.");
        }
        if (available == 0 || read == 0) break;
        response.body.append(buffer, read);
        if (response.body.size() > kMaximumBody) return Failed("a resposta de " + url.host + " é grande demais.");
    }
    if (hasLength && response.body.size() != announced)
        return Failed("a resposta de " + url.host + " chegou incompleta (" + std::to_string(response.body.size()) +
                      " de " + std::to_string(announced) + " bytes).");
    response.delivered = true;
    return response;
}

}  // namespace bank001
