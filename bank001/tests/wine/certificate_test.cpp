// The client certificate: the whole PFX read (up to 1 MB), imported once per
// file and version of it, its key in memory only: nothing of the user's
// certificate and key stores changes, however many presses.
#include "tests/wine/driver/driver.h"

#include <wincrypt.h>

#include <algorithm>
#include <iterator>
#include <string>
#include <vector>

#include "bank001/tests/wine/library_under_test.h"
#include "bank001/tests/wine/mock_client.h"

using namespace pixtest;
using namespace bank001::testing;

namespace {

// The test's PFX (make_certificates.sh) copied into the scratch folder; skips the case
// without one.
std::wstring TestPfx(const wchar_t* variable, const wchar_t* name) {
    const std::wstring made = Environment(variable);
    if (made.empty() || ReadFileBytes(made).empty()) Skip("no test PFX (openssl missing, or not run through with_mock.sh)");
    const std::wstring copy = Scratch(name);
    REQUIRE(CopyFileW(made.c_str(), copy.c_str(), FALSE));
    return copy;
}

std::string TlsUrlOrSkip() {
    const std::string tls = UntrustedTlsUrl();
    if (tls.empty()) Skip("the mock has no TLS port (openssl missing)");
    return tls;
}

std::string IniWithCertificate(const std::string& tls, const std::wstring& pfx) {
    return "[bank001]\r\noauth_url=" + tls + "\r\napi_url=" + tls + "\r\nclient_certificate=" + Utf8(pfx) + "\r\n";
}

// The answer when the certificate was taken and the handshake went on to
// meet the mock's untrusted server certificate (Windows names the untrusted
// issuer; Wine 8 only the failed handshake).
constexpr char kHandshakeReached[] = "Erro: sem resposta do servidor de autenticação do banco: ";

bool MetTheServer(const std::string& answer) {
    return answer.rfind(kHandshakeReached, 0) == 0 &&
           (answer.find("falha na conexão segura com") != std::string::npos ||
            answer.find("é emitido por quem este Windows não confia") != std::string::npos);
}

// The certificates of the user's MY store, by their hashes.
std::vector<std::string> MyStore() {
    std::vector<std::string> hashes;
    const HCERTSTORE store = CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0,
                                           CERT_SYSTEM_STORE_CURRENT_USER | CERT_STORE_READONLY_FLAG, L"MY");
    if (!store) return hashes;
    for (PCCERT_CONTEXT context = CertEnumCertificatesInStore(store, nullptr); context;
         context = CertEnumCertificatesInStore(store, context)) {
        BYTE hash[20];
        DWORD size = sizeof hash;
        if (CertGetCertificateContextProperty(context, CERT_HASH_PROP_ID, hash, &size))
            hashes.emplace_back(reinterpret_cast<const char*>(hash), size);
    }
    CertCloseStore(store, 0);
    std::sort(hashes.begin(), hashes.end());
    return hashes;
}

// The public key of a CryptoAPI key, as a PUBLICKEYBLOB; empty if none.
std::string PublicBlob(HCRYPTKEY key) {
    DWORD size = 0;
    if (!CryptExportKey(key, 0, PUBLICKEYBLOB, 0, nullptr, &size)) return {};
    std::string blob(size, '\0');
    if (!CryptExportKey(key, 0, PUBLICKEYBLOB, 0, reinterpret_cast<BYTE*>(&blob[0]), &size)) return {};
    blob.resize(size);
    return blob;
}

// The user's key containers of a CryptoAPI provider, each with the public
// parts of its keys; false when the provider cannot list them.
bool KeyContainers(const wchar_t* provider, DWORD type, std::vector<std::pair<std::string, std::string>>& containers) {
    HCRYPTPROV handle = 0;
    if (!CryptAcquireContextW(&handle, nullptr, provider, type, CRYPT_VERIFYCONTEXT)) return false;
    std::vector<std::string> names;
    char name[1024];
    DWORD size = sizeof name;
    bool listed = true;
    for (DWORD flags = CRYPT_FIRST;; flags = CRYPT_NEXT, size = sizeof name) {
        if (!CryptGetProvParam(handle, PP_ENUMCONTAINERS, reinterpret_cast<BYTE*>(name), &size, flags)) {
            listed = GetLastError() == ERROR_NO_MORE_ITEMS;
            break;
        }
        names.emplace_back(name);
    }
    CryptReleaseContext(handle, 0);
    for (const std::string& container : names) {
        std::string keys;
        HCRYPTPROV opened = 0;
        if (CryptAcquireContextA(&opened, container.c_str(), nullptr, type, CRYPT_SILENT)) {
            for (const DWORD spec : {DWORD{AT_KEYEXCHANGE}, DWORD{AT_SIGNATURE}}) {
                HCRYPTKEY key = 0;
                if (CryptGetUserKey(opened, spec, &key)) {
                    keys += PublicBlob(key);
                    CryptDestroyKey(key);
                }
            }
            CryptReleaseContext(opened, 0);
        }
        containers.emplace_back(container, keys);
    }
    std::sort(containers.begin(), containers.end());
    return listed;
}

// The public key of the test's certificate (client.cer), as a PUBLICKEYBLOB.
std::string TestCertificateKey() {
    const std::string der = ReadFileBytes(Environment(L"BANK001_CLIENT_CER"));
    if (der.empty()) Skip("no test certificate (openssl missing, or not run through with_mock.sh)");
    const PCCERT_CONTEXT certificate = CertCreateCertificateContext(
        X509_ASN_ENCODING, reinterpret_cast<const BYTE*>(der.data()), static_cast<DWORD>(der.size()));
    REQUIRE(certificate != nullptr);
    HCRYPTPROV verify = 0;
    std::string blob;
    if (CryptAcquireContextW(&verify, nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT)) {
        HCRYPTKEY key = 0;
        if (CryptImportPublicKeyInfo(verify, X509_ASN_ENCODING, &certificate->pCertInfo->SubjectPublicKeyInfo, &key)) {
            blob = PublicBlob(key);
            CryptDestroyKey(key);
        }
        CryptReleaseContext(verify, 0);
    }
    CertFreeCertificateContext(certificate);
    REQUIRE(!blob.empty());
    return blob;
}

struct Provider {
    const wchar_t* name;
    DWORD type;
};
const Provider kProviders[] = {{MS_ENHANCED_PROV_W, PROV_RSA_FULL}, {MS_ENH_RSA_AES_PROV_W, PROV_RSA_AES}};

using Containers = std::vector<std::pair<std::string, std::string>>;

// The keys of the CNG key storage provider; false when it cannot list them.
bool CngKeys(std::vector<std::string>& names) {
    const HMODULE ncrypt = LoadLibraryW(L"ncrypt.dll");
    if (!ncrypt) return false;
    using Open = LONG(WINAPI*)(ULONG_PTR*, const wchar_t*, DWORD);
    using Enum = LONG(WINAPI*)(ULONG_PTR, const wchar_t*, void**, void**, DWORD);
    using Free = LONG(WINAPI*)(void*);
    using FreeObject = LONG(WINAPI*)(ULONG_PTR);
    const auto open = reinterpret_cast<Open>(reinterpret_cast<void*>(GetProcAddress(ncrypt, "NCryptOpenStorageProvider")));
    const auto enumerate = reinterpret_cast<Enum>(reinterpret_cast<void*>(GetProcAddress(ncrypt, "NCryptEnumKeys")));
    const auto freeBuffer = reinterpret_cast<Free>(reinterpret_cast<void*>(GetProcAddress(ncrypt, "NCryptFreeBuffer")));
    const auto freeObject = reinterpret_cast<FreeObject>(reinterpret_cast<void*>(GetProcAddress(ncrypt, "NCryptFreeObject")));
    bool listed = false;
    ULONG_PTR provider = 0;
    if (open && enumerate && freeBuffer && freeObject &&
        open(&provider, L"Microsoft Software Key Storage Provider", 0) == 0) {
        void* state = nullptr;
        for (;;) {
            struct KeyName {
                wchar_t* name;
                wchar_t* algorithm;
                DWORD keySpec, flags;
            }* key = nullptr;
            const LONG status = enumerate(provider, nullptr, reinterpret_cast<void**>(&key), &state, 0x40 /* silent */);
            if (status != 0) {
                listed = status == static_cast<LONG>(0x8009002A);  // NTE_NO_MORE_ITEMS
                break;
            }
            names.push_back(Utf8(key->name));
            freeBuffer(key);
        }
        if (state) freeBuffer(state);
        freeObject(provider);
    }
    FreeLibrary(ncrypt);
    std::sort(names.begin(), names.end());
    return listed;
}

}  // namespace

// Presses with a client certificate leave the user's stores as they were:
// the certificate is never added, its private key never persisted.
PIX_TEST(NothingOfTheCertificateIsLeftInTheUsersStores) {
    MockBank mock;
    const std::string tls = TlsUrlOrSkip();
    const std::wstring pfx = TestPfx(L"BANK001_CLIENT_PFX", L"client.pfx");
    const std::string testKey = TestCertificateKey();
    const std::vector<std::string> myBefore = MyStore();
    std::vector<Containers> before(std::size(kProviders));
    bool listed = true;
    for (std::size_t i = 0; i < std::size(kProviders); ++i)
        listed = KeyContainers(kProviders[i].name, kProviders[i].type, before[i]) && listed;
    std::vector<std::string> cngBefore;
    const bool cngListed = CngKeys(cngBefore);

    Library library(L"stores");
    library.WriteWholeIni(IniWithCertificate(tls, pfx));
    for (int press = 0; press < 3; ++press) {
        Context context("press " + std::to_string(press + 1));
        mock.Script({TokenAnswer(), PixAnswer()});
        const std::string answer = library.NewPix(Call{});
        CHECK(MetTheServer(answer));
        if (!MetTheServer(answer)) Note("answer: " + answer);
    }

    CHECK(MyStore() == myBefore);
    if (!listed) {
        SKIP_CHECK("the user's key containers", "the CryptoAPI providers here cannot list them (PP_ENUMCONTAINERS)");
    }
    bool anyHoldsTheKey = false;
    for (std::size_t i = 0; listed && i < std::size(kProviders); ++i) {
        Context context(Utf8(kProviders[i].name));
        Containers after;
        KeyContainers(kProviders[i].name, kProviders[i].type, after);
        bool holdsTheKey = false;
        for (const auto& [name, keys] : after) holdsTheKey = holdsTheKey || keys.find(testKey) != std::string::npos;
        if (holdsTheKey) Note("this provider holds the certificate's key");
        anyHoldsTheKey = anyHoldsTheKey || holdsTheKey;
        // What the presses added goes again: the prefix is shared by every test.
        for (const auto& container : after)
            if (std::find_if(before[i].begin(), before[i].end(),
                             [&](const auto& old) { return old.first == container.first; }) == before[i].end()) {
                Note("a key container the presses made: " + container.first);
                HCRYPTPROV gone = 0;
                CryptAcquireContextA(&gone, container.first.c_str(), nullptr, kProviders[i].type, CRYPT_DELETEKEYSET);
            }
    }
    // Wine 8's PFXImportCertStore writes every key it imports into the
    // user's default container, PKCS12_NO_PERSIST_KEY or not; which of its
    // providers then shows that container depends on what the prefix holds
    // already, so the gap is that any of them does.
    if (listed) CHECK_TODO_WINE(!anyHoldsTheKey);
    if (cngListed) {
        std::vector<std::string> after;
        CngKeys(after);
        CHECK(after == cngBefore);
    } else {
        SKIP_CHECK("the user's CNG keys", "NCryptEnumKeys cannot list them here (Wine 8 does not implement it)");
    }
}

// A PFX beyond 64 KiB (a certificate with its chain) is read whole.
PIX_TEST(ALargePfxIsReadWhole) {
    MockBank mock;
    const std::string tls = TlsUrlOrSkip();
    const std::wstring pfx = TestPfx(L"BANK001_LARGE_PFX", L"large.pfx");
    REQUIRE(ReadFileBytes(pfx).size() > 65536);
    Library library(L"large-pfx");
    library.WriteWholeIni(IniWithCertificate(tls, pfx));
    mock.Script({TokenAnswer(), PixAnswer()});
    const std::string answer = library.NewPix(Call{});
    Note("answer: " + answer);
    CHECK(MetTheServer(answer));
}

// A file beyond 1 MB is no client certificate: a clear error, not a cut.
PIX_TEST(AFileBeyondOneMegabyteIsAClearError) {
    MockBank mock;
    const std::string tls = TlsUrlOrSkip();
    const std::wstring big = Scratch(L"big.pfx");
    WriteFileBytes(big, std::string(1536 * 1024, 'x'));
    Library library(L"big-pfx");
    library.WriteWholeIni(IniWithCertificate(tls, big));
    mock.Script({TokenAnswer(), PixAnswer()});
    const std::string answer = library.NewPix(Call{});
    CHECK_EQ(answer, "Erro: sem resposta do servidor de autenticação do banco: client_certificate " + Utf8(big) +
                         " tem 1572864 bytes, mais que 1 MB: não é um PFX de certificado de cliente.");
}

namespace {

FILETIME LastWrite(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data);
    return data.ftLastWriteTime;
}

void SetLastWrite(const std::wstring& path, const FILETIME& time) {
    const HANDLE file = CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
    REQUIRE(file != INVALID_HANDLE_VALUE);
    SetFileTime(file, nullptr, nullptr, &time);
    CloseHandle(file);
}

}  // namespace

// The file is imported once for each version of it: the same path, size and
// time is not read again; another time is.
PIX_TEST(APfxIsImportedOncePerVersion) {
    MockBank mock;
    const std::string tls = TlsUrlOrSkip();
    const std::wstring pfx = TestPfx(L"BANK001_CLIENT_PFX", L"versions.pfx");
    Library library(L"versions");
    library.WriteWholeIni(IniWithCertificate(tls, pfx));
    auto press = [&] {
        mock.Script({TokenAnswer(), PixAnswer()});
        return library.NewPix(Call{});
    };
    CHECK(MetTheServer(press()));
    // The same size and time, other bytes: still the certificate imported before.
    const FILETIME written = LastWrite(pfx);
    WriteFileBytes(pfx, std::string(ReadFileBytes(pfx).size(), 'x'));
    SetLastWrite(pfx, written);
    const std::string same = press();
    CHECK(MetTheServer(same));
    if (!MetTheServer(same)) Note("answer: " + same);
    // Another time: read again, and refused for what it now is.
    FILETIME later = written;
    later.dwLowDateTime += 20000000;  // two seconds
    if (later.dwLowDateTime < written.dwLowDateTime) ++later.dwHighDateTime;
    SetLastWrite(pfx, later);
    CHECK_EQ(press(), "Erro: sem resposta do servidor de autenticação do banco: client_certificate " + Utf8(pfx) +
                          " não é um arquivo PFX.");
}
