// WinHTTP and CRYPT32 bound at run time, from the system folder only.
//
// Neither is a KnownDLL on every Windows this library runs on, so importing
// them by name would let the loader take a copy waiting in PixGen's folder.
// Each is loaded once, on first use (never under the loader lock of DllMain),
// by its full path in the system folder, and stays loaded while this module is.
#pragma once

#include <windows.h>
#include <wincrypt.h>
#include <winhttp.h>

#include <string>

namespace bank001 {

struct WinHttpApi {
    decltype(&::WinHttpCloseHandle) CloseHandle;
    decltype(&::WinHttpConnect) Connect;
    decltype(&::WinHttpGetIEProxyConfigForCurrentUser) GetIEProxyConfigForCurrentUser;
    decltype(&::WinHttpGetProxyForUrl) GetProxyForUrl;
    decltype(&::WinHttpOpen) Open;
    decltype(&::WinHttpOpenRequest) OpenRequest;
    decltype(&::WinHttpQueryDataAvailable) QueryDataAvailable;
    decltype(&::WinHttpQueryHeaders) QueryHeaders;
    decltype(&::WinHttpReadData) ReadData;
    decltype(&::WinHttpReceiveResponse) ReceiveResponse;
    decltype(&::WinHttpSendRequest) SendRequest;
    decltype(&::WinHttpSetOption) SetOption;
    decltype(&::WinHttpSetStatusCallback) SetStatusCallback;
    decltype(&::WinHttpSetTimeouts) SetTimeouts;
};

struct CertificateApi {
    decltype(&::CertCloseStore) CloseStore;
    decltype(&::CertDuplicateCertificateContext) DuplicateCertificateContext;
    decltype(&::CertEnumCertificatesInStore) EnumCertificatesInStore;
    decltype(&::CertFreeCertificateContext) FreeCertificateContext;
    decltype(&::CertGetCertificateContextProperty) GetCertificateContextProperty;
    decltype(&::PFXImportCertStore) PFXImportCertStore;
    decltype(&::PFXIsPFXBlob) PFXIsPFXBlob;
};

// Every function bound, or null with the reason in error (a sentence in
// Portuguese naming the file or the function that is missing).
const WinHttpApi* WinHttp(std::string& error);
const CertificateApi* Certificates(std::string& error);

}  // namespace bank001
