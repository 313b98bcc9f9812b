#include "bank001/client_certificate.h"

#include "base/core/utf8.h"
#include "base/handles.h"
#include "base/text.h"

namespace bank001 {

namespace {

using Acquired = pix::Result<CertificateContext>;

// A file's bytes, wiped when they go: a PFX without password is its private key.
class FileBytes {
public:
    std::vector<BYTE> bytes;
    ~FileBytes() {
        if (!bytes.empty()) SecureZeroMemory(bytes.data(), bytes.size());
    }
};

bool HasPrivateKey(const CertificateApi& api, PCCERT_CONTEXT context) {
    for (const DWORD property : {DWORD{CERT_KEY_PROV_INFO_PROP_ID}, DWORD{CERT_KEY_CONTEXT_PROP_ID},
                                 DWORD{CERT_NCRYPT_KEY_HANDLE_PROP_ID}}) {
        DWORD size = 0;
        if (api.GetCertificateContextProperty(context, property, nullptr, &size)) return true;
    }
    return false;
}

}  // namespace

struct ClientCertificates::Imported {
    std::wstring path;
    ULONGLONG size = 0;
    FILETIME written{};
    const CertificateApi* api = nullptr;
    HCERTSTORE store = nullptr;
    CertificateContext certificate;

    Imported() = default;
    Imported(const Imported&) = delete;
    Imported& operator=(const Imported&) = delete;
    ~Imported() {
        certificate = CertificateContext();
        if (store) api->CloseStore(store, 0);
    }
};

ClientCertificates::ClientCertificates() noexcept = default;
ClientCertificates::~ClientCertificates() = default;

pix::Result<CertificateContext> ClientCertificates::Acquire(const std::string& path) {
    std::string error;
    const CertificateApi* const api = Certificates(error);
    if (!api) return Acquired::Failed(error);
    const std::string named = "client_certificate " + path;
    const std::wstring file = pix::W(pix::utf8::ToUtf16(path));
    WIN32_FILE_ATTRIBUTE_DATA attributes{};
    if (!GetFileAttributesExW(file.c_str(), GetFileExInfoStandard, &attributes) ||
        (attributes.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return Acquired::Failed(named + " não pode ser aberto.");
    const ULONGLONG size = (ULONGLONG{attributes.nFileSizeHigh} << 32) | attributes.nFileSizeLow;
    if (size > kLargestPfx)
        return Acquired::Failed(named + " tem " + std::to_string(size) +
                                " bytes, mais que 1 MB: não é um PFX de certificado de cliente.");

    const pix::ExclusiveLock exclusive(lock_);
    for (const std::unique_ptr<Imported>& imported : imported_)
        if (imported->path == file && imported->size == size &&
            CompareFileTime(&imported->written, &attributes.ftLastWriteTime) == 0)
            return {imported->certificate.Duplicate(), {}};

    FileBytes pfx;
    {
        const HANDLE opened = CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                          FILE_ATTRIBUTE_NORMAL, nullptr);
        if (opened == INVALID_HANDLE_VALUE) return Acquired::Failed(named + " não pode ser aberto.");
        const pix::UniqueKernelHandle handle(opened);
        pfx.bytes.resize(static_cast<std::size_t>(size));
        DWORD total = 0;
        while (total < size) {
            DWORD read = 0;
            if (!ReadFile(handle.Get(), pfx.bytes.data() + total, static_cast<DWORD>(size) - total, &read, nullptr) ||
                read == 0)
                return Acquired::Failed(named + " não pôde ser lido por inteiro.");
            total += read;
        }
    }
    CRYPT_DATA_BLOB blob{static_cast<DWORD>(pfx.bytes.size()), pfx.bytes.data()};
    if (!api->PFXIsPFXBlob(&blob)) return Acquired::Failed(named + " não é um arquivo PFX.");
    // Without password means either an empty one or none at all.
    HCERTSTORE store = api->PFXImportCertStore(&blob, L"", PKCS12_NO_PERSIST_KEY);
    if (!store) store = api->PFXImportCertStore(&blob, nullptr, PKCS12_NO_PERSIST_KEY);
    if (!store)
        return Acquired::Failed(named + " não pôde ser importado (erro " + std::to_string(GetLastError()) +
                                "): é preciso um PFX sem senha.");
    auto imported = std::make_unique<Imported>();
    imported->api = api;
    imported->store = store;
    for (PCCERT_CONTEXT context = api->EnumCertificatesInStore(store, nullptr); context;
         context = api->EnumCertificatesInStore(store, context))
        if (HasPrivateKey(*api, context)) {
            // The enumeration's reference becomes ours.
            imported->certificate = CertificateContext(*api, context);
            break;
        }
    if (!imported->certificate.Get()) return Acquired::Failed(named + " não tem certificado com chave privada.");
    imported->path = file;
    imported->size = size;
    imported->written = attributes.ftLastWriteTime;
    CertificateContext forRequest = imported->certificate.Duplicate();
    // An older version of the same file is no longer wanted.
    for (auto it = imported_.begin(); it != imported_.end();)
        it = (*it)->path == file ? imported_.erase(it) : it + 1;
    imported_.push_back(std::move(imported));
    return {std::move(forRequest), {}};
}

}  // namespace bank001
