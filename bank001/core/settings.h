// Quelvano.ini, section [bank001]: its lines as Windows hands them over, and
// the settings they make.
//
// A line is "key = value". A comment is a line whose first non-blank is ";",
// or the rest of a line from a ";" that follows a blank: "timeout_ms=5000 ;
// five seconds". Nothing else starts a comment, so a value keeps every "#"
// and every ";" inside a word (C:\Certs #1\x.pfx, a;b). A key the library does
// not know, a key given twice, a line without "=" and a value longer than
// kMaximumValue characters are errors that name the key or the line: a
// setting is read as written or not at all.
#pragma once

#include <string>
#include <string_view>

#include "bank001/core/http.h"
#include "base/core/result.h"

namespace bank001 {

inline constexpr std::size_t kMaximumValue = 2048;

// The values as written, comments and surrounding blanks removed; absent
// keys are empty.
struct IniValues {
    std::string environment, oauthUrl, apiUrl, appKeyParam, timeoutMs, deadlineMs, proxy, clientCertificate;
};

// The section's lines, separated by '\n' or '\0' (GetPrivateProfileSection's
// form), in UTF-8.
pix::Result<IniValues> ParseIniSection(std::string_view lines);

struct Proxy {
    enum class Kind { System, None, Named };
    Kind kind = Kind::System;
    std::string server;  // host:port when Named
};

struct Settings {
    Url oauth;
    Url api;
    std::string appKeyParam = "gw-dev-app-key";
    // The cap of each stage of a request (resolve, connect, send, each wait
    // for data) and the limit of the whole call.
    unsigned timeoutMs = 30000;
    unsigned deadlineMs = 15000;
    Proxy proxy;
    std::string clientCertificate;  // a PFX path, or empty
};

inline constexpr unsigned kMaximumTimeoutMs = 600000;
inline constexpr unsigned kMinimumDeadlineMs = 1000;
inline constexpr unsigned kMaximumDeadlineMs = 120000;

// Hosts of the chosen environment, overrides, and the rule that only https
// leaves the machine. The error names the key ("Quelvano.ini: ...").
pix::Result<Settings> SettingsFrom(const IniValues& ini);

}  // namespace bank001
