// Time of one NewPix of the bank 001 Quelvano.dll against the mock bank,
// with the token taken from the cache and with a token request first. Run by
// hand, never by ctest, under the harness and beside the mock:
//
//   bank001/tests/with_mock.sh build/win64/wine/bank001/bench --
//     bash scripts/lib/harness.sh run build/win64 --name bank001_bench
//       --file PIX_BANK001=build/win64/bank001/Quelvano.dll -- build/win64/bench/bank001_bench.exe
//
// (one command line).
#include "bench/clock.h"
#include "tests/wine/driver/driver.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "base/core/compiler.h"
#include "base/core/utf8.h"
#include "bank001/tests/wine/mock_client.h"
#include "pixlib/core/counted_text.h"

using namespace pixtest;
using namespace bank001::testing;

namespace {

using benchclock::Milliseconds;
using benchclock::Now;

constexpr int kRuns = 100;

using NewPixFunction = const wchar_t*(PIX_STDCALL*)(const wchar_t*, const wchar_t*, const wchar_t*, const wchar_t*,
                                                    const wchar_t*, const wchar_t*, const wchar_t*, double, double);

pix::CountedText Text(const std::string& utf8) { return pix::CountedText(pix::utf8::ToUtf16(utf8)); }
const wchar_t* W(const pix::CountedText& text) { return reinterpret_cast<const wchar_t*>(text.Chars()); }

// Median, min and max of kRuns calls; every call must succeed. A new client
// id for each call misses the token cache.
void Measure(NewPixFunction newPix, bool newClientEachCall) {
    std::vector<double> times;
    const pix::CountedText bank = Text("001"), appKey = Text(kAppKey), secret = Text(kSecret),
                           convenio = Text("3128557"), key = Text("12ABC34501DE35"), boleto = Text("0000000001");
    for (int i = 0; i < kRuns + 1; ++i) {
        const pix::CountedText client = Text(kClientId + (newClientEachCall ? "-" + std::to_string(i) : std::string()));
        LARGE_INTEGER start, end;
        QueryPerformanceCounter(&start);
        const wchar_t* answer = newPix(W(bank), W(appKey), W(client), W(secret), W(convenio), W(key), W(boleto), 123.45, 44551);
        QueryPerformanceCounter(&end);
        if (!answer || std::wstring(answer).rfind(L"Pix copia e cola", 0) != 0)
            Fail("call " + std::to_string(i) + " failed: " + (answer ? pixtest::Utf8(answer) : std::string("null")));
        if (i > 0) times.push_back(Milliseconds(start, end));  // the first fills the cache, or warms up
    }
    std::sort(times.begin(), times.end());
    char line[200];
    std::snprintf(line, sizeof line, "NewPix %s: median %.2f ms, min %.2f ms, max %.2f ms (%zu calls)",
                  newClientEachCall ? "with a token request" : "with the cached token", times[times.size() / 2],
                  times.front(), times.back(), times.size());
    Note(line);
}

}  // namespace

PIX_TEST(NewPixAgainstTheMock) {
    MockBank mock;
    const std::wstring folder = Scratch(L"bench");
    CreateDirectoryW(folder.c_str(), nullptr);
    REQUIRE(CopyFileW(RequiredEnvironment(L"PIX_BANK001").c_str(), JoinPath(folder, L"Quelvano.dll").c_str(), FALSE));
    WriteFileBytes(JoinPath(folder, L"Quelvano.ini"),
                   "[bank001]\r\noauth_url=" + mock.Url() + "\r\napi_url=" + mock.Url() + "\r\n");
    const HMODULE module = LoadLibraryW(JoinPath(folder, L"Quelvano.dll").c_str());
    REQUIRE(module != nullptr);
    const auto newPix = reinterpret_cast<NewPixFunction>(reinterpret_cast<void*>(GetProcAddress(module, "NewPix")));
    REQUIRE(newPix != nullptr);

    json cached = json::array({TokenAnswer()});
    for (int i = 0; i < kRuns + 1; ++i) cached.push_back(PixAnswer());
    mock.Script(cached);
    Measure(newPix, false);

    json fresh = json::array();
    for (int i = 0; i < kRuns + 1; ++i) {
        fresh.push_back(TokenAnswer());
        fresh.push_back(PixAnswer());
    }
    mock.Script(fresh);
    Measure(newPix, true);
    FreeLibrary(module);
}
