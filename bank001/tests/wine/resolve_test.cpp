// A name that never resolves: run where the nameserver takes queries and
// answers none (silent_dns.sh), the call still ends at its deadline.
#include "tests/wine/driver/driver.h"

#include <string>

#include "bank001/tests/wine/library_under_test.h"
#include "bank001/tests/wine/mock_client.h"

using namespace pixtest;
using namespace bank001::testing;

PIX_TEST(ANameThatNeverResolvesEndsAtTheDeadline) {
    MockBank mock;
    Library library(L"never-resolves");
    // https: plain http is for this computer's own names only. No proxy: the
    // automatic detection would ask the same silent nameserver first.
    library.WriteWholeIni("[bank001]\r\noauth_url=https://pix.nunca-resolve.test\r\napi_url=https://pix.nunca-resolve.test\r\n"
                          "proxy=none\r\ndeadline_ms=2000\r\n");
    const ULONGLONG start = GetTickCount64();
    const std::string answer = library.NewPix(Call{});
    const ULONGLONG elapsed = GetTickCount64() - start;
    Note(std::to_string(elapsed) + " ms: " + answer);
    CHECK(StartsWith(answer, "Erro: sem resposta do servidor de autenticação do banco: o prazo de 2000 ms da chamada "
                             "(deadline_ms) acabou durante a resolução do nome de pix.nunca-resolve.test."));
    CHECK(answer.find("\r\nProvidência: confira a conexão com a internet e o proxy") != std::string::npos);
    CHECK(elapsed <= 2000 + 1500);
}
