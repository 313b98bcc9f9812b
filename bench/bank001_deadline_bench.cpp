// How long a call of the bank 001 Quelvano.dll takes when the network
// fails, with the library's defaults (deadline_ms 15000, timeout_ms 30000):
// the worst of three calls for each fault. Run by hand, never by ctest,
// beside the mock and where no name resolves:
//
//   bank001/tests/with_mock.sh build/win64/wine/bank001/deadline-bench --
//     bash bank001/tests/silent_dns.sh --
//     bash scripts/lib/harness.sh run build/win64 --name bank001_deadline_bench --timeout 900
//       --file PIX_BANK001=build/win64/bank001/Quelvano.dll
//       --file BANK001_MOCK_PORT=build/win64/wine/bank001/deadline-bench/port
//       -- build/win64/bench/bank001_deadline_bench.exe
//
// (one command line). Without silent_dns.sh the name that never resolves
// fails at once, and its row says so.
#include "tests/wine/driver/driver.h"

#include <algorithm>
#include <string>
#include <vector>

#include "bank001/tests/wine/library_under_test.h"
#include "bank001/tests/wine/mock_client.h"

using namespace pixtest;
using namespace bank001::testing;

namespace {

constexpr int kRuns = 3;

struct Fault {
    const char* name;
    std::string url;  // both hosts; empty: the mock
    json script;      // for each call
};

}  // namespace

PIX_TEST(WorstCallTimePerNetworkFault) {
    MockBank mock;
    json refused = Answer(401, R"({"error":"invalid_client","error_description":"Cliente inválido"})");
    const json expired = Answer(401, R"({"statusCode":401,"error":"Unauthorized","message":"Token expirado"})");
    const Fault faults[] = {
        {"a name that never resolves", "https://pix.nunca-resolve.test", json::array()},
        {"a host that never accepts", NeverAcceptingUrl(), json::array()},
        {"a server that accepts and never answers", "", json::array({json{{"kind", "silent"}, {"seconds", 120}}})},
        {"a server that trickles (a byte every 0.2 s)", "",
         json::array({TokenAnswer(), json{{"kind", "trickle"}, {"interval", 0.2}, {"body", std::string(1000, ' ') + "{}"}}})},
        {"a 401 loop (four requests)", "", json::array({expired, refused, TokenAnswer("token-dois"), expired})},
    };
    for (const Fault& fault : faults) {
        std::vector<ULONGLONG> times;
        std::string last;
        for (int run = 0; run < kRuns; ++run) {
            // A library of its own for each call: an empty token cache.
            Library library(L"bench-" + std::to_wstring(&fault - faults) + L"-" + std::to_wstring(run));
            // Defaults but for the hosts; no proxy detection, which would ask
            // the silent nameserver before anything else.
            const std::string url = fault.url.empty() ? MockUrl() : fault.url;
            library.WriteWholeIni("[bank001]\r\noauth_url=" + url + "\r\napi_url=" + url + "\r\nproxy=none\r\n");
            json script = fault.script;
            if (std::string(fault.name).rfind("a 401", 0) == 0) {
                // The loop needs a cached token first: one good call.
                mock.Script({TokenAnswer(), PixAnswer()});
                library.NewPix(Call{});
            }
            mock.Script(script);
            const ULONGLONG start = GetTickCount64();
            last = library.NewPix(Call{});
            times.push_back(GetTickCount64() - start);
        }
        std::string line = std::string(fault.name) + ": worst " + std::to_string(*std::max_element(times.begin(), times.end())) +
                           " ms of";
        for (const ULONGLONG t : times) line += " " + std::to_string(t);
        Note(line + " (deadline 15000 ms); " + last.substr(0, last.find("\r\n")));
    }
}
