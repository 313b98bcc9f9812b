// The client certificate of mutual TLS: a PFX file without password, named
// by client_certificate in Quelvano.ini.
//
// Each file is imported once per process for each version of it (its path,
// size and last write time), with its private key in memory only
// (PKCS12_NO_PERSIST_KEY): presses write nothing into the user's key store
// or certificate stores, and the key goes with the process.
#pragma once

#include <windows.h>
#include <wincrypt.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "bank001/system_api.h"
#include "base/core/result.h"

namespace bank001 {

// Owns one reference to a certificate context, released through the library
// that made it. Move-only.
class CertificateContext {
public:
    CertificateContext() noexcept = default;
    CertificateContext(const CertificateApi& api, PCCERT_CONTEXT context) noexcept : api_(&api), context_(context) {}
    CertificateContext(CertificateContext&& other) noexcept
        : api_(other.api_), context_(std::exchange(other.context_, nullptr)) {}
    CertificateContext& operator=(CertificateContext&& other) noexcept {
        if (this != &other) {
            Release();
            api_ = other.api_;
            context_ = std::exchange(other.context_, nullptr);
        }
        return *this;
    }
    CertificateContext(const CertificateContext&) = delete;
    CertificateContext& operator=(const CertificateContext&) = delete;
    ~CertificateContext() { Release(); }

    PCCERT_CONTEXT Get() const noexcept { return context_; }
    // Another reference to the same certificate.
    CertificateContext Duplicate() const noexcept {
        return context_ ? CertificateContext(*api_, api_->DuplicateCertificateContext(context_)) : CertificateContext();
    }

private:
    void Release() noexcept {
        if (context_) api_->FreeCertificateContext(context_);
        context_ = nullptr;
    }
    const CertificateApi* api_ = nullptr;
    PCCERT_CONTEXT context_ = nullptr;
};

// The largest file taken for a PFX.
inline constexpr ULONGLONG kLargestPfx = 1 << 20;

// The certificates imported by this process. Thread-safe.
class ClientCertificates {
public:
    ClientCertificates() noexcept;
    ~ClientCertificates();
    ClientCertificates(const ClientCertificates&) = delete;
    ClientCertificates& operator=(const ClientCertificates&) = delete;

    // The certificate with a private key of the PFX at path (UTF-8), for one
    // request; fails with a sentence naming the file.
    pix::Result<CertificateContext> Acquire(const std::string& path);

private:
    struct Imported;
    SRWLOCK lock_ = SRWLOCK_INIT;
    std::vector<std::unique_ptr<Imported>> imported_;
};

}  // namespace bank001
