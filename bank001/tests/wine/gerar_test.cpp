// PixGen with the bank 001 Quelvano.dll beside it and the mock bank behind
// it: a person fills the form, presses Gerar, and reads the result area.
#include "tests/wine/driver/driver.h"

#include <string>

#include "bank001/core/text.h"
#include "bank001/tests/wine/pixgen_with_bank.h"
#include "form/core/control_ids.h"

using namespace pixtest;
using namespace bank001::testing;
namespace ids = pix::ids;

namespace {

// A click on Gerar as a person makes it; the result area once it has grown.
std::wstring PressGerar(const RecordedPixGen& pix) {
    const HWND memo = pix.Control(ids::Memo1);
    const std::wstring before = Text(memo);
    REQUIRE(BringToFront(pix.main));
    Click(CenterOf(WindowRect(pix.Control(ids::Button2))));
    REQUIRE(WaitUntil([&] { return Text(memo) != before || FindMessageBox(pix.process, pix.main); }, 30000));
    CHECK(FindMessageBox(pix.process, pix.main) == nullptr);
    return Text(memo).substr(before.size());
}

}  // namespace

PIX_TEST(GerarAppendsTheCode) {
    MockBank mock;
    mock.Script({TokenAnswer(), PixAnswer()});
    RecordedPixGen pix = StartWithBank001(L"gerar-code");
    Fill(pix);
    const std::wstring added = PressGerar(pix);
    // The code on a line of its own, then the txid and the location, then the empty line.
    const std::wstring expected = Wide(std::string("Pix copia e cola do boleto ") + kNossoNumero + ":\r\n" + kEmv +
                                    "\r\nTxId: BOLETO31285570000000001DATA21122021\r\n"
                                    "Location: qrcodepix-h.bb.com.br/pix/v2/cobv/9b8a7c6d\r\n\r\n");
    CHECK_EQ(added, expected);
    const std::wstring list = Environment(L"BANK001_EMV_FILE");
    if (!list.empty()) WriteFileBytes(list, ReadFileBytes(list) + "12345 " + kEmv + "\n");
    const json requests = mock.Requests();
    CHECK_EQ(requests.size(), std::size_t{2});
    Close(pix);
}

PIX_TEST(GerarAppendsTheBanksMessage) {
    MockBank mock;
    mock.Script({TokenAnswer(),
                 Answer(400, R"({"erros":[{"codigo":"4874915","mensagem":"Nosso número não cadastrado.","providencia":"Registre o boleto antes."}]})")});
    RecordedPixGen pix = StartWithBank001(L"gerar-error");
    Fill(pix);
    CHECK_EQ(PressGerar(pix),
             Wide("Erro: o banco recusou o pedido (HTTP 400): Nosso número não cadastrado. (código 4874915). "
               "Providência: Registre o boleto antes.\r\n\r\n"));
    Close(pix);
}

// Wine takes its own copy of a system library even when the program's folder
// holds one, where Windows takes the folder's: for the one program name, the
// overrides ask Wine to look as Windows does. Removed again with the scope.
class FolderFirst {
public:
    explicit FolderFirst(const std::wstring& exeName)
        : key_(L"Software\\Wine\\AppDefaults\\" + exeName + L"\\DllOverrides") {
        HKEY key = nullptr;
        REQUIRE_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, key_.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr),
                   LONG{ERROR_SUCCESS});
        static const wchar_t kOrder[] = L"native,builtin";
        for (const wchar_t* name : {L"winhttp", L"crypt32"})
            RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(kOrder), sizeof kOrder);
        RegCloseKey(key);
    }
    FolderFirst(const FolderFirst&) = delete;
    FolderFirst& operator=(const FolderFirst&) = delete;
    ~FolderFirst() { RegDeleteKeyW(HKEY_CURRENT_USER, key_.c_str()); }

private:
    std::wstring key_;
};

// A winhttp.dll and a crypt32.dll left in PixGen's folder are never loaded:
// the library takes both from the system folder, and Gerar works as before.
PIX_TEST(PlantedSystemLibrariesStayUnloaded) {
    const std::wstring planted = RequiredEnvironment(L"PIX_PLANTED_LIBRARY");
    {
        // The stand-in leaves its mark when it is loaded, whatever its name.
        const std::wstring probe = Scratch(L"planted-probe.dll");
        REQUIRE(CopyFileW(planted.c_str(), probe.c_str(), FALSE));
        const HMODULE module = LoadLibraryW(probe.c_str());
        REQUIRE(module != nullptr);
        FreeLibrary(module);
        REQUIRE(FileExists(probe + L".loaded"));
    }
    MockBank mock;
    mock.Script({TokenAnswer(), PixAnswer()});
    Layout layout;
    layout.exeName = L"PixGenPlanted.exe";
    layout.files = {{L"winhttp.dll", planted}, {L"crypt32.dll", planted}};
    const FolderFirst folderFirst(layout.exeName);
    RecordedPixGen pix = StartWithBank001(L"gerar-planted", layout);
    Fill(pix);
    const std::wstring added = PressGerar(pix);
    CHECK_EQ(added.substr(0, added.find(L"\r\n")), Wide(std::string("Pix copia e cola do boleto ") + kNossoNumero + ":"));
    Close(pix);
    const std::wstring folder = FolderOf(pix.record);
    CHECK(!FileExists(JoinPath(folder, L"winhttp.dll.loaded")));
    CHECK(!FileExists(JoinPath(folder, L"crypt32.dll.loaded")));
}
