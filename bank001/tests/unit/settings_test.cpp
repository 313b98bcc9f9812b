#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "bank001/core/settings.h"

namespace bank001 {
namespace {

// A section as GetPrivateProfileSection hands it over: lines ending in '\0'.
std::string Section(std::initializer_list<std::string> lines) {
    std::string out;
    for (const std::string& line : lines) out += line + '\0';
    return out;
}

struct ValueCase {
    const char* line;
    const char* value;  // of the key named by the line
};

// A comment begins with ";" at the start of a line or after a blank; "#"
// never begins one, and ";" inside a word stays.
TEST(IniSection, ValuesAndComments) {
    const ValueCase cases[] = {
        {"client_certificate=C:\\Certs #1\\x.pfx", "C:\\Certs #1\\x.pfx"},
        {"client_certificate = C:\\Certs #1\\x.pfx ; the shop's", "C:\\Certs #1\\x.pfx"},
        {"client_certificate=C:\\a;b\\x.pfx", "C:\\a;b\\x.pfx"},
        {"client_certificate=C:\\a\t;tab comment", "C:\\a"},
        {"client_certificate=  spaced  ", "spaced"},
        {"client_certificate=#hash first", "#hash first"},
        {"client_certificate=", ""},
        {"client_certificate= ;nothing but a comment", ""},
        {"CLIENT_Certificate=Upper key", "Upper key"},
        {"client_certificate=C:\\Certificados\\Jo\xC3\xA3o.pfx", "C:\\Certificados\\Jo\xC3\xA3o.pfx"},
    };
    for (const ValueCase& c : cases) {
        SCOPED_TRACE(c.line);
        const pix::Result<IniValues> ini = ParseIniSection(Section({c.line}));
        ASSERT_EQ(ini.error, "");
        EXPECT_EQ(ini.value.clientCertificate, c.value);
    }
}

TEST(IniSection, EveryKeyAndTheLineForms) {
    const pix::Result<IniValues> ini = ParseIniSection(
        "; a comment line\n"
        "  ;another\r\n"
        "environment=sandbox\n"
        "oauth_url=https://o.example\n"
        "api_url=https://a.example\n"
        "app_key_param=gw-app-key\n"
        "timeout_ms=5000\n"
        "deadline_ms=20000\n"
        "proxy=none\n"
        "\n"
        "client_certificate=c.pfx\n");
    ASSERT_EQ(ini.error, "");
    EXPECT_EQ(ini.value.environment, "sandbox");
    EXPECT_EQ(ini.value.oauthUrl, "https://o.example");
    EXPECT_EQ(ini.value.apiUrl, "https://a.example");
    EXPECT_EQ(ini.value.appKeyParam, "gw-app-key");
    EXPECT_EQ(ini.value.timeoutMs, "5000");
    EXPECT_EQ(ini.value.deadlineMs, "20000");
    EXPECT_EQ(ini.value.proxy, "none");
    EXPECT_EQ(ini.value.clientCertificate, "c.pfx");
    EXPECT_TRUE(ParseIniSection("").Ok());
}

struct RefusedCase {
    std::string section;
    const char* complaint;
};

// A setting is read as written or not at all: each of these names the key or the line.
TEST(IniSection, RefusedWithTheKeyNamed) {
    const RefusedCase cases[] = {
        {Section({"client_certificate=" + std::string(kMaximumValue + 1, 'x')}), "client_certificate passa de 2048"},
        {Section({"timeout_ms=1", "timeout_ms=2"}), "timeout_ms aparece mais de uma vez"},
        {Section({"deadline=5000"}), "\"deadline\""},
        {Section({"# a comment in another dialect"}), "não é chave=valor"},
        {Section({"just words"}), "\"just words\""},
    };
    for (const RefusedCase& c : cases) {
        SCOPED_TRACE(c.complaint);
        const pix::Result<IniValues> ini = ParseIniSection(c.section);
        EXPECT_NE(ini.error.find(c.complaint), std::string::npos) << ini.error;
        EXPECT_EQ(ini.error.rfind("Quelvano.ini: ", 0), 0u);
    }
    // The longest value allowed, counted in characters, not bytes.
    std::string longest = "client_certificate=";
    for (std::size_t i = 0; i < kMaximumValue; ++i) longest += "\xC3\xA3";
    EXPECT_TRUE(ParseIniSection(longest).Ok());
}

struct UrlCase {
    const char* environment;
    const char* oauth;
    const char* expectHost;  // of the token URL; null: refused
    const char* complaint;
};

TEST(Settings, HostsAndTheHttpsRule) {
    const UrlCase cases[] = {
        {"", "", "oauth.bb.com.br", nullptr},
        {"Production", "", "oauth.bb.com.br", nullptr},
        {"sandbox", "", "oauth.sandbox.bb.com.br", nullptr},
        {"homolog", "", nullptr, "environment"},
        {"", "https://proxy.example:8443/x", "proxy.example", nullptr},
        {"", "http://127.0.0.1:9", "127.0.0.1", nullptr},
        {"", "http://127.10.0.1:9", "127.10.0.1", nullptr},
        {"", "http://localhost:9", "localhost", nullptr},
        {"", "http://[::1]:9", "::1", nullptr},
        {"", "http://oauth.bb.com.br", nullptr, "https"},
        {"", "http://127.0.0.1.example.com", nullptr, "https"},
        {"", "http://10.0.0.1", nullptr, "https"},
        {"", "ftp://x", nullptr, "oauth_url"},
        {"", "https://user:pw@host", nullptr, "oauth_url"},
        {"", "https://host:99999", nullptr, "porta"},
        {"", "https://host:", nullptr, "porta"},
        {"", "https://", nullptr, "servidor"},
    };
    for (const UrlCase& c : cases) {
        SCOPED_TRACE(std::string(c.environment) + " " + c.oauth);
        IniValues ini;
        ini.environment = c.environment;
        ini.oauthUrl = c.oauth;
        const pix::Result<Settings> settings = SettingsFrom(ini);
        if (c.expectHost) {
            EXPECT_EQ(settings.error, "");
            EXPECT_EQ(settings.value.oauth.host, c.expectHost);
        } else {
            EXPECT_NE(settings.error.find(c.complaint), std::string::npos) << settings.error;
        }
    }
}

TEST(Settings, DefaultsKeyNameTimeoutAndDeadline) {
    IniValues ini;
    pix::Result<Settings> settings = SettingsFrom(ini);
    ASSERT_TRUE(settings.Ok());
    EXPECT_EQ(settings.value.appKeyParam, "gw-dev-app-key");
    EXPECT_EQ(settings.value.timeoutMs, 30000u);
    EXPECT_EQ(settings.value.deadlineMs, 15000u);
    EXPECT_EQ(settings.value.proxy.kind, Proxy::Kind::System);
    EXPECT_EQ(settings.value.api.host, "api.bb.com.br");
    ini.appKeyParam = "gw-app-key";
    ini.timeoutMs = "1500";
    ini.deadlineMs = "120000";
    settings = SettingsFrom(ini);
    ASSERT_TRUE(settings.Ok()) << settings.error;
    EXPECT_EQ(settings.value.appKeyParam, "gw-app-key");
    EXPECT_EQ(settings.value.timeoutMs, 1500u);
    EXPECT_EQ(settings.value.deadlineMs, 120000u);
    for (const char* bad : {"0", "-1", "abc", "600001", "99999999999999999999", "1 500"}) {
        IniValues spoiled = ini;
        spoiled.timeoutMs = bad;
        EXPECT_NE(SettingsFrom(spoiled).error.find("timeout_ms deve ser um número de 1 a 600000"), std::string::npos) << bad;
    }
    for (const char* bad : {"999", "120001", "0", "15s", "-15000"}) {
        IniValues spoiled = ini;
        spoiled.deadlineMs = bad;
        EXPECT_NE(SettingsFrom(spoiled).error.find("deadline_ms deve ser um número de 1000 a 120000"), std::string::npos)
            << bad;
    }
    ini.appKeyParam = "a=b&c";
    EXPECT_NE(SettingsFrom(ini).error.find("app_key_param"), std::string::npos);
}

struct ProxyCase {
    const char* value;
    Proxy::Kind kind;
    const char* server;  // null: refused
};

TEST(Settings, Proxy) {
    const ProxyCase cases[] = {
        {"", Proxy::Kind::System, ""},
        {"none", Proxy::Kind::None, ""},
        {"NONE", Proxy::Kind::None, ""},
        {"proxy.empresa.com.br:8080", Proxy::Kind::Named, "proxy.empresa.com.br:8080"},
        {"http://10.1.2.3:3128/", Proxy::Kind::Named, "10.1.2.3:3128"},
        {"[::1]:3128", Proxy::Kind::Named, "[::1]:3128"},
        {"proxy.empresa.com.br", Proxy::Kind::System, nullptr},
        {"proxy:0", Proxy::Kind::System, nullptr},
        {"proxy:65536", Proxy::Kind::System, nullptr},
        {"user:pw@proxy:8080", Proxy::Kind::System, nullptr},
        {"https://proxy:8080", Proxy::Kind::System, nullptr},
        {":8080", Proxy::Kind::System, nullptr},
        {"pro xy:8080", Proxy::Kind::System, nullptr},
    };
    for (const ProxyCase& c : cases) {
        SCOPED_TRACE(c.value);
        IniValues ini;
        ini.proxy = c.value;
        const pix::Result<Settings> settings = SettingsFrom(ini);
        if (!c.server) {
            EXPECT_NE(settings.error.find("proxy deve ser none ou servidor:porta"), std::string::npos) << settings.error;
            continue;
        }
        ASSERT_EQ(settings.error, "");
        EXPECT_EQ(settings.value.proxy.kind, c.kind);
        EXPECT_EQ(settings.value.proxy.server, c.server);
    }
}

}  // namespace
}  // namespace bank001

namespace bank001 {
namespace {

// The sample shipped with the library reads as it says: as it is, and with
// every setting it shows taken out of its comment.
TEST(IniSection, TheShippedSampleReads) {
    std::ifstream file(BANK001_SAMPLE_INI, std::ios::binary);
    ASSERT_TRUE(file) << BANK001_SAMPLE_INI;
    const std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    const std::size_t section = text.find("[bank001]");
    ASSERT_NE(section, std::string::npos);
    const std::string lines = text.substr(text.find('\n', section) + 1);
    const pix::Result<IniValues> asShipped = ParseIniSection(lines);
    ASSERT_EQ(asShipped.error, "");
    EXPECT_EQ(asShipped.value.environment, "production");
    EXPECT_TRUE(SettingsFrom(asShipped.value).Ok());

    std::string uncommented;
    std::size_t settings = 0;
    for (std::size_t at = 0; at < lines.size();) {
        const std::size_t end = lines.find('\n', at);
        std::string line = lines.substr(at, end == std::string::npos ? std::string::npos : end - at);
        at = end == std::string::npos ? lines.size() : end + 1;
        if (line.size() > 1 && line[0] == ';' && line.find('=') != std::string::npos && line[1] != ' ') {
            line.erase(0, 1);
            ++settings;
        }
        uncommented += line + "\n";
    }
    EXPECT_EQ(settings, 7u);
    const pix::Result<IniValues> all = ParseIniSection(uncommented);
    ASSERT_EQ(all.error, "");
    const pix::Result<Settings> read = SettingsFrom(all.value);
    ASSERT_EQ(read.error, "");
    EXPECT_EQ(read.value.deadlineMs, 15000u);
    EXPECT_EQ(read.value.proxy.server, "proxy.empresa.com.br:8080");
    EXPECT_EQ(read.value.clientCertificate, "C:\\path\\client.pfx");
}

}  // namespace
}  // namespace bank001
