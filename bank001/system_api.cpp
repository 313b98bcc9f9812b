#include "bank001/system_api.h"

#include "base/system_library.h"

namespace bank001 {

namespace {

std::string Narrow(const wchar_t* ascii) {
    std::string text;
    while (*ascii) text += static_cast<char>(*ascii++);
    return text;
}

// A library of the system folder and the functions bound from it; the first
// thing missing is the error, and nothing is bound after it.
class SystemLibrary {
public:
    explicit SystemLibrary(const wchar_t* file) : file_(Narrow(file)), library_(file) {
        if (!library_.Loaded())
            error_ = file_ + " não pôde ser carregada da pasta do sistema (erro " +
                     std::to_string(library_.LoadError()) + ").";
    }

    template <class Function>
    void Bind(Function& function, const char* name) {
        if (!error_.empty()) return;
        if (!library_.Bind(function, name)) error_ = file_ + " da pasta do sistema não tem a função " + name + ".";
    }

    // Empty once every function is bound.
    const std::string& Error() const { return error_; }

private:
    std::string file_;
    pix::SystemLibrary library_;
    std::string error_;
};

struct BoundWinHttp {
    SystemLibrary library{L"winhttp.dll"};
    WinHttpApi api{};
    BoundWinHttp() {
        library.Bind(api.CloseHandle, "WinHttpCloseHandle");
        library.Bind(api.Connect, "WinHttpConnect");
        library.Bind(api.GetIEProxyConfigForCurrentUser, "WinHttpGetIEProxyConfigForCurrentUser");
        library.Bind(api.GetProxyForUrl, "WinHttpGetProxyForUrl");
        library.Bind(api.Open, "WinHttpOpen");
        library.Bind(api.OpenRequest, "WinHttpOpenRequest");
        library.Bind(api.QueryDataAvailable, "WinHttpQueryDataAvailable");
        library.Bind(api.QueryHeaders, "WinHttpQueryHeaders");
        library.Bind(api.ReadData, "WinHttpReadData");
        library.Bind(api.ReceiveResponse, "WinHttpReceiveResponse");
        library.Bind(api.SendRequest, "WinHttpSendRequest");
        library.Bind(api.SetOption, "WinHttpSetOption");
        library.Bind(api.SetStatusCallback, "WinHttpSetStatusCallback");
        library.Bind(api.SetTimeouts, "WinHttpSetTimeouts");
    }
};

struct BoundCertificates {
    SystemLibrary library{L"crypt32.dll"};
    CertificateApi api{};
    BoundCertificates() {
        library.Bind(api.CloseStore, "CertCloseStore");
        library.Bind(api.DuplicateCertificateContext, "CertDuplicateCertificateContext");
        library.Bind(api.EnumCertificatesInStore, "CertEnumCertificatesInStore");
        library.Bind(api.FreeCertificateContext, "CertFreeCertificateContext");
        library.Bind(api.GetCertificateContextProperty, "CertGetCertificateContextProperty");
        library.Bind(api.PFXImportCertStore, "PFXImportCertStore");
        library.Bind(api.PFXIsPFXBlob, "PFXIsPFXBlob");
    }
};

template <class Bound>
auto Api(const Bound& bound, std::string& error) -> decltype(&bound.api) {
    if (!bound.library.Error().empty()) {
        error = bound.library.Error();
        return nullptr;
    }
    return &bound.api;
}

}  // namespace

// Bound on the first call and kept for the life of the module, as an import would be.
const CertificateApi* Certificates(std::string& error) {
    static const BoundCertificates bound;
    return Api(bound, error);
}

const WinHttpApi* WinHttp(std::string& error) {
    // WinHTTP asks for CRYPT32 by its bare name when it first needs it, and
    // that search starts in PixGen's folder. Loaded beforehand from the system
    // folder, the name is already taken by the right file.
    if (!Certificates(error)) return nullptr;
    static const BoundWinHttp bound;
    return Api(bound, error);
}

}  // namespace bank001
