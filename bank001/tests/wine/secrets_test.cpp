// Secrets in memory: after a call, the client secret is nowhere in the
// process's private memory (its heaps and stacks), in UTF-8 or UTF-16.
#include "tests/wine/driver/driver.h"

#include <cstring>
#include <memory>
#include <string>

#include "bank001/tests/wine/library_under_test.h"
#include "bank001/tests/wine/mock_client.h"
#include "pixlib/core/counted_text.h"

using namespace pixtest;
using namespace bank001::testing;

namespace {

// The secret of this case exists whole only where the library put it: the
// test keeps it in two halves (in the program's image, which is not
// searched). The search looks for its second half: a heap writes its own
// bookkeeping over the first bytes of a block it takes back, never as far
// as the thirtieth.
constexpr char kFirstHalf[] = "chave-secreta-do-cliente-0001-";
constexpr char kSecondHalf[] = "aquela-que-ninguem-deve-ver-77";
constexpr std::size_t kFirst = sizeof kFirstHalf - 1, kSecond = sizeof kSecondHalf - 1;

// Read buffers in the program's image too, so that reading copies nothing
// into the memory searched.
constexpr std::size_t kChunk = 1 << 16;
unsigned char g_chunk[kChunk + 2 * (kFirst + kSecond)];

bool Utf8At(const unsigned char* at) { return std::memcmp(at, kSecondHalf, kSecond) == 0; }

bool Utf16At(const unsigned char* at) {
    for (std::size_t i = 0; i < kSecond; ++i)
        if (at[2 * i] != static_cast<unsigned char>(kSecondHalf[i]) || at[2 * i + 1] != 0) return false;
    return true;
}

// Where the secret lies in committed private memory, in either encoding.
int Traces(std::string& where) {
    int found = 0;
    const std::size_t needle = 2 * kSecond;
    MEMORY_BASIC_INFORMATION region{};
    for (auto* address = static_cast<unsigned char*>(nullptr);
         VirtualQuery(address, &region, sizeof region) == sizeof region;
         address = static_cast<unsigned char*>(region.BaseAddress) + region.RegionSize) {
        const DWORD protect = region.Protect & 0xFF;
        const bool readable = protect == PAGE_READONLY || protect == PAGE_READWRITE || protect == PAGE_WRITECOPY ||
                              protect == PAGE_EXECUTE_READ || protect == PAGE_EXECUTE_READWRITE;
        if (region.State != MEM_COMMIT || region.Type != MEM_PRIVATE || !readable || (region.Protect & PAGE_GUARD))
            continue;
        const auto* base = static_cast<const unsigned char*>(region.BaseAddress);
        for (std::size_t offset = 0; offset < region.RegionSize; offset += kChunk) {
            const std::size_t want = std::min<std::size_t>(region.RegionSize - offset, kChunk + needle);
            SIZE_T read = 0;
            if (!ReadProcessMemory(GetCurrentProcess(), base + offset, g_chunk, want, &read)) continue;
            const std::size_t last = std::min<std::size_t>(read, kChunk + needle - 1);
            for (std::size_t i = 0; i + kSecond <= last && i < kChunk; ++i) {
                const bool utf8 = Utf8At(g_chunk + i);
                const bool utf16 = i + needle <= read && Utf16At(g_chunk + i);
                if (!utf8 && !utf16) continue;
                if (found++ < 5) {
                    char line[96];
                    std::snprintf(line, sizeof line, "%s at %p; ", utf8 ? "UTF-8" : "UTF-16",
                                  static_cast<const void*>(base + offset + i));
                    where += line;
                }
            }
        }
    }
    return found;
}

// A counted text of the secret, written half by half into a block the test
// wipes afterwards.
struct CountedSecret {
    std::uint32_t block[64] = {};
    const wchar_t* Chars() {
        const pix::CountedTextHeader header{pix::kUtf16CodePage, 2, 1, static_cast<std::int32_t>(kFirst + kSecond)};
        std::memcpy(block, &header, sizeof header);
        auto* chars = reinterpret_cast<char16_t*>(block + 3);
        for (std::size_t i = 0; i < kFirst + kSecond; ++i)
            chars[i] = static_cast<char16_t>(i < kFirst ? kFirstHalf[i] : kSecondHalf[i - kFirst]);
        return reinterpret_cast<const wchar_t*>(chars);
    }
    ~CountedSecret() { SecureZeroMemory(block, sizeof block); }
};

}  // namespace

// A success and a refusal leave no copy of the client secret behind.
PIX_TEST(TheClientSecretLeavesNoTrace) {
    MockBank mock;
    Library library(L"secret");
    const pix::CountedText bank(u"001"), appKey(u"chave-da-aplicacao"), clientId(u"cliente-de-teste"),
        convenio(u"3128557"), key(u"12ABC34501DE35"), boleto(u"0000000001");
    auto w = [](const pix::CountedText& text) { return reinterpret_cast<const wchar_t*>(text.Chars()); };
    {
        // The search finds a copy where there is one.
        std::unique_ptr<char[]> copy(new char[kFirst + kSecond]);
        std::memcpy(copy.get(), kFirstHalf, kFirst);
        std::memcpy(copy.get() + kFirst, kSecondHalf, kSecond);
        std::string where;
        REQUIRE(Traces(where) >= 1);
        SecureZeroMemory(copy.get(), kFirst + kSecond);
    }
    for (const char* outcome : {"success", "refusal"}) {
        Context context(outcome);
        mock.Script(std::string(outcome) == "success"
                        ? json::array({TokenAnswer(), PixAnswer()})
                        : json::array({Answer(401, R"({"error":"invalid_client"})"), Answer(401, R"({"error":"invalid_client"})")}));
        {
            CountedSecret secret;
            const wchar_t* answer =
                library.Raw()(w(bank), w(appKey), w(clientId), secret.Chars(), w(convenio), w(key), w(boleto), 123.45, 44551);
            REQUIRE(answer != nullptr);
        }
        std::string where;
        const int traces = Traces(where);
        CHECK_EQ(traces, 0);
        if (traces) Note("the secret is still in memory: " + where);
    }
}
