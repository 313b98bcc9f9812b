// The bank's requests over WinHTTP: the system's proxy settings and trust
// store, timeouts on every step, no redirects, no cookies.
#pragma once

#include <windows.h>
#include <winhttp.h>

#include <string>
#include <utility>

#include "bank001/core/flow.h"
#include "bank001/system_api.h"

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

// Lives for one NewPix call: its sessions (one direct for loopback hosts,
// one through the system proxy otherwise) close with it.
class WinHttpTransport : public Transport {
public:
    HttpResponse Send(const HttpRequest& request, const Settings& settings) override;

private:
    HINTERNET Session(const WinHttpApi& api, bool direct, unsigned timeoutMs, std::string& error);
    InternetHandle direct_, proxied_;
};

}  // namespace bank001
