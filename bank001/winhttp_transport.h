// The bank's requests over WinHTTP: TLS 1.2 or later, the certificate's
// revocation checked, the user's proxy settings (or Quelvano.ini's), the
// call's deadline on every stage, no redirects, no cookies.
#pragma once

#include <windows.h>
#include <winhttp.h>

#include <string>
#include <utility>
#include <vector>

#include "bank001/client_certificate.h"
#include "bank001/core/flow.h"
#include "bank001/system_api.h"
#include "base/core/result.h"

namespace bank001 {

// Owns one WinHTTP handle, closed through the library that opened it. Move-only.
class InternetHandle {
public:
    InternetHandle() = default;
    InternetHandle(const WinHttpApi& api, HINTERNET handle) noexcept : close_(api.CloseHandle), handle_(handle) {}
    InternetHandle(InternetHandle&& other) noexcept
        : close_(other.close_), handle_(std::exchange(other.handle_, nullptr)) {}
    InternetHandle& operator=(InternetHandle&& other) noexcept {
        if (this != &other) {
            Close();
            close_ = other.close_;
            handle_ = std::exchange(other.handle_, nullptr);
        }
        return *this;
    }
    InternetHandle(const InternetHandle&) = delete;
    InternetHandle& operator=(const InternetHandle&) = delete;
    ~InternetHandle() { Close(); }

    HINTERNET Get() const noexcept { return handle_; }
    explicit operator bool() const noexcept { return handle_ != nullptr; }

private:
    void Close() noexcept {
        if (handle_) close_(handle_);
        handle_ = nullptr;
    }
    decltype(WinHttpApi::CloseHandle) close_ = nullptr;
    HINTERNET handle_ = nullptr;
};

// How a request reaches its host: directly, or through a proxy, and who said so.
struct Route {
    std::wstring proxy;   // WinHTTP's proxy list; empty: direct
    std::wstring bypass;  // hosts the proxy is not for
    std::string proxyName, origin;
    bool fromIni = false;  // Quelvano.ini's proxy=, not the user's settings
};

// What the user's automatic proxy detection (WPAD) last found, for the
// whole process: finding nothing can take seconds, and the answer does not
// change from one press to the next. Thread-safe.
class ProxyDetection {
public:
    // How long "no proxy found" is believed.
    static constexpr ULONGLONG kRememberedMs = 10 * 60 * 1000;

    bool FoundNothingLately() noexcept;
    void FoundNothing() noexcept;
    void FoundSomething() noexcept;

private:
    SRWLOCK lock_ = SRWLOCK_INIT;
    ULONGLONG foundNothingAt_ = 0;
    bool foundNothing_ = false;
};

// Lives for one NewPix call; its sessions close with it: one per route, the
// proxy given to the session (a request's own proxy option is not honoured
// everywhere: Wine 8 takes it and ignores it). The client certificates are
// the process's (imported once per file), and so is what the automatic
// proxy detection found.
class WinHttpTransport : public Transport {
public:
    WinHttpTransport(ClientCertificates& certificates, ProxyDetection& detection, const WinHttpApi* api = nullptr)
        : certificates_(certificates), detection_(detection), api_(api) {}
    HttpResponse Send(const HttpRequest& request, const Settings& settings, const Deadline& deadline) override;

private:
    pix::Result<HINTERNET> Session(const WinHttpApi& api, const Route& route);
    pix::Result<Route> RouteFor(const WinHttpApi& api, HINTERNET session, const Url& url, const Settings& settings,
                                const Deadline& deadline);

    ClientCertificates& certificates_;
    ProxyDetection& detection_;
    const WinHttpApi* api_;  // the system's unless a test gives its own
    std::vector<std::pair<std::wstring, InternetHandle>> sessions_;  // per proxy and bypass list
    std::vector<std::pair<std::string, Route>> routes_;  // per host and port, for this call
};

}  // namespace bank001
