// The bank 001 Quelvano.dll as PixGen meets it: loaded from a folder of its
// own with its Quelvano.ini, NewPix called with counted texts.
#pragma once

#include "tests/wine/driver/driver.h"

#include <string>
#include <vector>

#include "bank001/tests/wine/mock_client.h"
#include "bank001/core/emv.h"
#include "base/core/compiler.h"
#include "base/core/utf8.h"
#include "pixlib/core/counted_text.h"

namespace bank001::testing {

using NewPixFunction = const wchar_t*(PIX_STDCALL*)(const wchar_t*, const wchar_t*, const wchar_t*, const wchar_t*,
                                                    const wchar_t*, const wchar_t*, const wchar_t*, double, double);

struct Call {
    std::string bankCode = "001", appKey = kAppKey, clientId = kClientId, clientSecret = kSecret;
    std::string convenio = "3128557", pixKey = "12ABC34501DE35", boleto = "0000000001";
    double valor = 123.45;
    double vencimento = 44551;  // 21/12/2021, the date in the txid of PixAnswer
};

// Quelvano.dll and its Quelvano.ini in a fresh folder, loaded for one case:
// each case starts with an empty token cache.
class Library {
public:
    explicit Library(const std::wstring& folder, const std::string& extraIni = "") {
        folder_ = Scratch(folder);
        CreateDirectoryW(folder_.c_str(), nullptr);
        REQUIRE(CopyFileW(RequiredEnvironment(L"PIX_BANK001").c_str(), JoinPath(folder_, L"Quelvano.dll").c_str(), FALSE));
        WriteIni(extraIni);
        module_ = LoadLibraryW(JoinPath(folder_, L"Quelvano.dll").c_str());
        REQUIRE(module_ != nullptr);
        newPix_ = reinterpret_cast<NewPixFunction>(reinterpret_cast<void*>(GetProcAddress(module_, "NewPix")));
        REQUIRE(newPix_ != nullptr);
    }
    ~Library() {
        if (module_) FreeLibrary(module_);
    }
    Library(const Library&) = delete;
    Library& operator=(const Library&) = delete;

    // Quelvano.ini pointing both hosts at the mock, plus the lines given.
    void WriteIni(const std::string& extra) {
        const std::string url = MockUrl();
        WriteFileBytes(JoinPath(folder_, L"Quelvano.ini"),
                       "[bank001]\r\noauth_url=" + url + "\r\napi_url=" + url + "\r\n" + extra);
    }
    // Quelvano.ini exactly as given.
    void WriteWholeIni(const std::string& text) { WriteFileBytes(JoinPath(folder_, L"Quelvano.ini"), text); }

    std::string NewPix(const Call& call) {
        auto text = [](const std::string& utf8) { return pix::CountedText(pix::utf8::ToUtf16(utf8)); };
        const pix::CountedText bank = text(call.bankCode), appKey = text(call.appKey), clientId = text(call.clientId),
                               secret = text(call.clientSecret), convenio = text(call.convenio),
                               key = text(call.pixKey), boleto = text(call.boleto);
        auto w = [](const pix::CountedText& t) { return reinterpret_cast<const wchar_t*>(t.Chars()); };
        const wchar_t* answer = newPix_(w(bank), w(appKey), w(clientId), w(secret), w(convenio), w(key), w(boleto),
                                        call.valor, call.vencimento);
        REQUIRE(answer != nullptr);
        const std::string out = pix::utf8::FromUtf16(reinterpret_cast<const char16_t*>(answer));
        CHECK(out.find(kSecret) == std::string::npos);
        CHECK(out.find("token-") == std::string::npos);
        return out;
    }

    NewPixFunction Raw() const { return newPix_; }
    const std::wstring& Folder() const { return folder_; }

    // The names of the files in the library's folder.
    std::vector<std::wstring> Files() const {
        std::vector<std::wstring> names;
        WIN32_FIND_DATAW found;
        const HANDLE search = FindFirstFileW(JoinPath(folder_, L"*").c_str(), &found);
        if (search == INVALID_HANDLE_VALUE) return names;
        do {
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(found.cFileName);
        } while (FindNextFileW(search, &found));
        FindClose(search);
        return names;
    }

private:
    std::wstring folder_;
    HMODULE module_ = nullptr;
    NewPixFunction newPix_ = nullptr;
};

inline bool StartsWith(const std::string& text, const std::string& start) {
    return text.compare(0, start.size(), start) == 0;
}

// The code on the answer's second line, listed for the independent reader
// (check_emv.js) with the amount it must carry.
inline std::string CodeOf(const std::string& answer, std::int64_t cents) {
    const std::size_t first = answer.find("\r\n");
    if (first == std::string::npos) return {};
    const std::size_t second = answer.find("\r\n", first + 2);
    const std::string emv = answer.substr(first + 2, second == std::string::npos ? std::string::npos : second - first - 2);
    const std::wstring list = Environment(L"BANK001_EMV_FILE");
    if (!list.empty()) {
        std::string lines = ReadFileBytes(list);
        lines += std::to_string(cents) + " " + emv + "\n";
        WriteFileBytes(list, lines);
    }
    return emv;
}

inline void CheckSuccess(const std::string& answer, std::int64_t cents = 12345) {
    CHECK(StartsWith(answer, std::string("Pix copia e cola do boleto ") + kNossoNumero + ":\r\n"));
    const std::string emv = CodeOf(answer, cents);
    CHECK_EQ(emv, kEmv);
    CHECK_EQ(bank001::CheckBrCode(emv, cents).error, std::string());
    CHECK(answer.find("\r\nTxId: BOLETO31285570000000001DATA21122021\r\n") != std::string::npos);
}

}  // namespace bank001::testing
