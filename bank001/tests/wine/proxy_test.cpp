// The proxy: the user's settings (a named proxy, a proxy script), or
// Quelvano.ini's proxy= key, through a recording proxy of the tests' own on
// 127.0.0.1 (recording_proxy.py); and a dead proxy or script is a clear
// error within the deadline.
#include <winsock2.h>

#include "tests/wine/driver/driver.h"

#include <nlohmann/json.hpp>

#include <cstring>
#include <string>

#include "bank001/tests/wine/library_under_test.h"
#include "bank001/tests/wine/mock_client.h"

using namespace pixtest;
using nlohmann::json;
using namespace bank001::testing;

namespace {

constexpr wchar_t kConnections[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\Connections";
constexpr wchar_t kSettingsValue[] = L"DefaultConnectionSettings";
// Where the value stood before a case changed it, until the case puts it
// back: a run killed midway leaves it for the next one to restore.
constexpr wchar_t kBackup[] = L"Software\\PixGenTests\\bank001\\UserProxyBackup";

// A registry value's bytes; false when absent.
bool ReadValue(const wchar_t* keyPath, const wchar_t* name, std::string& bytes) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, keyPath, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return false;
    DWORD type = 0, size = 0;
    bool found = RegQueryValueExW(key, name, nullptr, &type, nullptr, &size) == ERROR_SUCCESS;
    if (found) {
        bytes.assign(size, '\0');
        found = RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&bytes[0]), &size) == ERROR_SUCCESS;
    }
    RegCloseKey(key);
    return found;
}

void WriteValue(const wchar_t* keyPath, const wchar_t* name, const std::string& bytes) {
    HKEY key = nullptr;
    REQUIRE_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, keyPath, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr),
               LONG{ERROR_SUCCESS});
    RegSetValueExW(key, name, 0, REG_BINARY, reinterpret_cast<const BYTE*>(bytes.data()), static_cast<DWORD>(bytes.size()));
    RegCloseKey(key);
}

void DeleteValue(const wchar_t* keyPath, const wchar_t* name) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, keyPath, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) return;
    RegDeleteValueW(key, name);
    RegCloseKey(key);
}

// The user's proxy settings as Windows' Internet Options keep them, set for
// one case and put back as they were (absent, most likely).
class UserProxySettings {
public:
    static constexpr DWORD kDirect = 1, kProxy = 2, kScript = 4, kAutoDetect = 8;

    UserProxySettings(DWORD flags, const std::string& proxy, const std::string& script = "") {
        RestoreLeftOver();
        had_ = ReadValue(kConnections, kSettingsValue, previous_);
        WriteValue(kBackup, L"Had", had_ ? "1" : "0");
        if (had_) WriteValue(kBackup, kSettingsValue, previous_);
        std::string blob;
        auto word = [&](DWORD value) { blob.append(reinterpret_cast<const char*>(&value), sizeof value); };
        auto text = [&](const std::string& value) {
            word(static_cast<DWORD>(value.size()));
            blob += value;
        };
        word(0x46);  // the settings' version
        word(1);     // a change counter
        word(flags);
        text(proxy);
        text("");  // no bypass list
        text(script);
        blob.append(32, '\0');
        WriteValue(kConnections, kSettingsValue, blob);
    }
    ~UserProxySettings() { RestoreLeftOver(); }
    UserProxySettings(const UserProxySettings&) = delete;
    UserProxySettings& operator=(const UserProxySettings&) = delete;

    // What a case (this one, or one killed before it) left to put back.
    static void RestoreLeftOver() {
        std::string had, previous;
        if (!ReadValue(kBackup, L"Had", had)) return;
        if (had == "1" && ReadValue(kBackup, kSettingsValue, previous))
            WriteValue(kConnections, kSettingsValue, previous);
        else
            DeleteValue(kConnections, kSettingsValue);
        RegDeleteKeyW(HKEY_CURRENT_USER, kBackup);
    }

private:
    bool had_ = false;
    std::string previous_;
};

// A port of this computer where nothing listens (bound and let go at once).
unsigned short DeadPort() {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
    const SOCKET probe = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address);
    int size = sizeof address;
    getsockname(probe, reinterpret_cast<sockaddr*>(&address), &size);
    closesocket(probe);
    return ntohs(address.sin_port);
}

std::string ProxyAddress() {
    const std::string port = ProxyPort();
    if (port.empty()) Skip("no recording proxy (run through with_mock.sh)");
    return "127.0.0.1:" + port;
}

// The mock by the name "localhost": Wine 8's WinHTTP sends a request through
// a proxy in the proxy's form (the absolute URL) only when the host's name
// differs from the proxy's, and the proxy here is 127.0.0.1 too.
std::string MockByName() {
    const std::string url = MockUrl();
    return "http://localhost" + url.substr(url.rfind(':'));
}

// Quelvano.ini aimed at the mock by name, plus the lines given.
std::string IniByName(const std::string& extra) {
    const std::string url = MockByName();
    return "[bank001]\r\noauth_url=" + url + "\r\napi_url=" + url + "\r\n" + extra;
}

// The two requests of a call, seen by the proxy on their way to the mock.
void CheckThroughTheProxy(const json& passed) {
    if (passed.size() != 2) Note("through the proxy: " + passed.dump());
    REQUIRE_EQ(passed.size(), std::size_t{2});
    const std::string mock = MockByName();
    CHECK_EQ(passed[0]["target"].get<std::string>(), mock + "/oauth/token");
    CHECK(StartsWith(passed[1]["target"].get<std::string>(), mock + "/cobrancas/v2/boletos/" + kNossoNumero + "/gerar-pix?"));
    CHECK(StartsWith(passed[1]["headers"].value("authorization", ""), "Bearer token-um"));
}

struct Route {
    const char* name;
    std::string ini;     // further lines of Quelvano.ini
    DWORD userFlags;     // 0: the user's settings left as they are
    std::string userProxy, userScript;
};

}  // namespace

// Quelvano.ini's proxy=, the user's named proxy, and the user's proxy
// script each carry both requests of a call through the proxy.
PIX_TEST(TheProxyCarriesTheRequests) {
    MockBank mock;
    const std::string proxy = ProxyAddress();
    const std::string script = MockUrl() + "/_mock/pac?proxy=" + proxy;
    const Route routes[] = {
        {"proxy= in Quelvano.ini", "proxy=" + proxy + "\r\n", 0, "", ""},
        {"proxy= with http:// in Quelvano.ini", "proxy=http://" + proxy + "/\r\n", 0, "", ""},
        {"the user's named proxy", "", UserProxySettings::kProxy, proxy, ""},
        {"the user's proxy script", "", UserProxySettings::kScript, "", script},
    };
    int n = 0;
    for (const Route& route : routes) {
        Context context(route.name);
        std::unique_ptr<UserProxySettings> user;
        if (route.userFlags) user = std::make_unique<UserProxySettings>(route.userFlags, route.userProxy, route.userScript);
        Library library(L"through-proxy-" + std::to_wstring(n++));
        library.WriteWholeIni(IniByName(route.ini));
        mock.ProxyRequests();  // emptied
        mock.Script({TokenAnswer(), PixAnswer()});
        const std::string answer = library.NewPix(Call{});
        CheckSuccess(answer);
        if (!StartsWith(answer, "Pix")) Note("answer: " + answer);
        CheckThroughTheProxy(mock.ProxyRequests());
    }
}

// proxy=none goes straight to the bank whatever the user's settings say.
PIX_TEST(ProxyNoneGoesDirect) {
    MockBank mock;
    const UserProxySettings user(UserProxySettings::kProxy, ProxyAddress());
    Library library(L"proxy-none");
    library.WriteWholeIni(IniByName("proxy=none\r\n"));
    mock.ProxyRequests();
    mock.Script({TokenAnswer(), PixAnswer()});
    CheckSuccess(library.NewPix(Call{}));
    CHECK_EQ(mock.ProxyRequests().size(), std::size_t{0});
    CHECK_EQ(mock.Requests().size(), std::size_t{2});
}

struct DeadRoute {
    const char* name;
    std::string ini;
    DWORD userFlags;
    std::string userProxy, userScript;
    std::string says;  // a part of the answer
};

// A proxy or a proxy script that is not there is the answer's first line,
// named, within the deadline; nothing reaches the bank.
PIX_TEST(ADeadProxyOrScriptIsAClearError) {
    MockBank mock;
    const std::string dead = "127.0.0.1:" + std::to_string(DeadPort());
    const std::string blackhole = "127.0.0.1:" + MockPort(2);
    const std::string deadScript = "http://" + dead + "/proxy.pac";
    const DeadRoute routes[] = {
        {"proxy= in Quelvano.ini, nothing listening", "proxy=" + dead + "\r\n", 0, "", "",
         "não foi possível conectar ao proxy " + dead + " (proxy= em Quelvano.ini). Confira proxy= em Quelvano.ini"},
        {"proxy= in Quelvano.ini, never accepting", "proxy=" + blackhole + "\r\n", 0, "", "",
         "acabou durante a conexão com o proxy " + blackhole + " (proxy= em Quelvano.ini)"},
        {"the user's named proxy", "", UserProxySettings::kProxy, dead, "",
         "não foi possível conectar ao proxy " + dead + " (configurações de proxy do Windows). Confira as configurações "
         "de proxy do Windows"},
        {"the user's script, naming a dead proxy", "", UserProxySettings::kScript, "",
         MockUrl() + "/_mock/pac?proxy=" + dead, "não foi possível conectar ao proxy " + dead + " (script de proxy "},
        {"the user's script, itself not there", "", UserProxySettings::kScript, "", deadScript,
         "o script de proxy (PAC) " + deadScript + " das configurações do Windows não pôde ser baixado"},
    };
    int n = 0;
    for (const DeadRoute& route : routes) {
        Context context(route.name);
        std::unique_ptr<UserProxySettings> user;
        if (route.userFlags) user = std::make_unique<UserProxySettings>(route.userFlags, route.userProxy, route.userScript);
        Library library(L"dead-proxy-" + std::to_wstring(n++));
        library.WriteWholeIni(IniByName(route.ini + "deadline_ms=3000\r\n"));
        mock.Script({TokenAnswer(), PixAnswer()});
        const ULONGLONG start = GetTickCount64();
        const std::string answer = library.NewPix(Call{});
        const ULONGLONG elapsed = GetTickCount64() - start;
        Note(std::to_string(elapsed) + " ms: " + answer);
        CHECK(StartsWith(answer, "Erro: sem resposta do servidor de autenticação do banco: "));
        CHECK(answer.find(route.says) != std::string::npos);
        CHECK(elapsed <= 3000 + 1500);
        CHECK_EQ(mock.Requests().size(), std::size_t{0});
    }
}
