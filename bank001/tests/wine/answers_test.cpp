// What the library answers, and what it takes from Quelvano.ini: one answer
// per thread, the bank's words on their line, a BR Code that is exactly what
// the bank meant, the settings as written.
#include "tests/wine/driver/driver.h"

#include <nlohmann/json.hpp>

#include <atomic>
#include <string>
#include <vector>

#include "bank001/tests/unit/br_code_builder.h"
#include "bank001/tests/wine/library_under_test.h"
#include "bank001/tests/wine/mock_client.h"

using namespace pixtest;
using nlohmann::json;
using namespace bank001::testing;

namespace {

// --- two threads at once ------------------------------------------------------------

constexpr int kCallsPerThread = 1500;

// One thread's calls, all for its own boleto, and what went wrong in them.
struct Caller {
    NewPixFunction newPix = nullptr;
    std::string boleto, txId;
    std::atomic<int> calls{0};
    const std::atomic<int>* otherCalls = nullptr;
    const std::atomic<bool>* otherDone = nullptr;
    std::atomic<bool> done{false};
    int wrong = 0;
    std::string firstWrong;
};

std::string Utf8Of(const wchar_t* text) { return pix::utf8::FromUtf16(reinterpret_cast<const char16_t*>(text)); }

DWORD WINAPI CallMany(void* parameter) {
    Caller& caller = *static_cast<Caller*>(parameter);
    auto text = [](const std::string& utf8) { return pix::CountedText(pix::utf8::ToUtf16(utf8)); };
    const pix::CountedText bank = text("001"), appKey = text(kAppKey), clientId = text(kClientId),
                           secret = text(kSecret), convenio = text("3128557"), key = text("12ABC34501DE35"),
                           boleto = text(caller.boleto);
    auto w = [](const pix::CountedText& t) { return reinterpret_cast<const wchar_t*>(t.Chars()); };
    const std::string expected = "Pix copia e cola do boleto 0003128557" + caller.boleto + ":\r\n";
    for (int i = 0; i < kCallsPerThread; ++i) {
        const wchar_t* answer =
            caller.newPix(w(bank), w(appKey), w(clientId), w(secret), w(convenio), w(key), w(boleto), 123.45, 44551);
        const std::string first = answer ? Utf8Of(answer) : std::string();
        ++caller.calls;
        // The other thread calls meanwhile: this thread's text must not change.
        const int seen = caller.otherCalls->load();
        for (int spin = 0; spin < 2000 && caller.otherCalls->load() == seen && !caller.otherDone->load(); ++spin) Sleep(0);
        const std::string again = answer ? Utf8Of(answer) : std::string();
        const bool right = StartsWith(first, expected) && first.find("\r\nTxId: " + caller.txId + "\r\n") != std::string::npos &&
                           again == first;
        if (!right && caller.wrong++ == 0) caller.firstWrong = "call " + std::to_string(i) + ": " + first + " / then: " + again;
    }
    caller.done = true;
    return 0;
}

}  // namespace

// Two threads call at once, thousands of times each: every answer is the
// thread's own and stays as it was until that thread calls again.
PIX_TEST(EachThreadKeepsItsOwnAnswer) {
    MockBank mock;
    Library library(L"threads");
    Caller a, b;
    a.boleto = "0000000001";
    a.txId = "BOLETO31285570000000001";
    b.boleto = "0000000002";
    b.txId = "BOLETO31285570000000002";
    json script = json::array();
    json token = TokenAnswer();
    token["repeat"] = true;
    token["path"] = "/oauth/token";
    script.push_back(token);
    for (const Caller* caller : {&a, &b}) {
        json pix = Answer(200, json{{"qrCode",
                                     {{"url", "qrcodepix-h.bb.com.br/pix/v2/cobv/" + caller->txId},
                                      {"txId", caller->txId},
                                      {"emv", kEmv}}}}
                                   .dump());
        pix["repeat"] = true;
        pix["path"] = "0003128557" + caller->boleto + "/gerar-pix";
        script.push_back(pix);
    }
    mock.Script(script);
    for (Caller* caller : {&a, &b}) caller->newPix = library.Raw();
    a.otherCalls = &b.calls;
    a.otherDone = &b.done;
    b.otherCalls = &a.calls;
    b.otherDone = &a.done;
    const ULONGLONG start = GetTickCount64();
    HANDLE threads[] = {CreateThread(nullptr, 0, &CallMany, &a, 0, nullptr), CreateThread(nullptr, 0, &CallMany, &b, 0, nullptr)};
    REQUIRE(threads[0] && threads[1]);
    WaitForMultipleObjects(2, threads, TRUE, INFINITE);
    for (HANDLE thread : threads) CloseHandle(thread);
    Note(std::to_string(2 * kCallsPerThread) + " calls in " + std::to_string(GetTickCount64() - start) + " ms");
    for (const Caller* caller : {&a, &b}) {
        Context context("boleto " + caller->boleto);
        CHECK_EQ(caller->calls.load(), kCallsPerThread);
        CHECK_EQ(caller->wrong, 0);
        if (caller->wrong) Note(caller->firstWrong);
    }
}

// --- the bank's words ------------------------------------------------------------

// Whatever the bank writes stays on the answer's line: no line break of its
// own (a forged "copy and paste" line could follow "Erro:"), no other
// control character, never a page of it.
PIX_TEST(TheBanksWordsStayOnTheirLine) {
    MockBank mock;
    std::string many = R"({"erros":[)";
    for (int i = 0; i < 30000; ++i) many += std::string(i ? "," : "") + R"({"mensagem":"Erro )" + std::to_string(i) + "\"}";
    many += "]}";
    const std::string forged = "Pix copia e cola do boleto 00031285570000000001:\r\n" + kEmv;
    struct Row {
        const char* name;
        json answer;
        const char* start;
    } rows[] = {
        {"a message with a line break",
         Answer(400, json{{"erros", {{{"mensagem", "Recusado.\r\n" + forged}, {"providencia", "a\tb\x1b[2J"}}}}}.dump()),
         "Erro: o banco recusou o pedido (HTTP 400): Recusado.  Pix copia e cola"},
        {"thirty thousand messages", Answer(400, many), "Erro: o banco recusou o pedido (HTTP 400): Erro 0 | Erro 1 | "},
        {"a hidden error with a line break",
         Answer(200, json{{"qrCode", {{"url", "x\r\n" + forged}, {"txId", "Pix não registrado"}, {"emv", ""}}}}.dump()),
         "Erro: o banco não gerou o Pix: Pix não registrado: x  Pix copia e cola"},
        {"a txid with a line break in a success",
         Answer(200, json{{"qrCode",
                           {{"url", "qrcodepix-h.bb.com.br/pix/v2/cobv/9b8a7c6d"},
                            {"txId", "BOLETO1\r\nPix copia e cola do boleto 1:\r\n000201"},
                            {"emv", kEmv}}}}
                         .dump()),
         "Pix copia e cola do boleto 00031285570000000001:\r\n"},
    };
    int n = 0;
    for (const auto& row : rows) {
        Context context(row.name);
        Library library(L"words-" + std::to_wstring(n++));
        mock.Script({TokenAnswer(), row.answer});
        const std::string answer = library.NewPix(Call{});
        CHECK(StartsWith(answer, row.start));
        if (!StartsWith(answer, row.start)) Note("answer: " + answer.substr(0, 300));
        // Lines: the code's three (and only those) for a success, one for an error.
        std::size_t breaks = 0;
        for (std::size_t at = answer.find("\r\n"); at != std::string::npos; at = answer.find("\r\n", at + 2)) ++breaks;
        CHECK_EQ(breaks, std::size_t{StartsWith(answer, "Pix") ? 3u : 0u});
        for (const char c : answer) CHECK(static_cast<unsigned char>(c) >= 0x20 || c == '\r' || c == '\n');
        CHECK(pix::utf8::ToUtf16(answer).size() < 4000);
    }
}

// --- the BR Code is exactly what the bank meant ---------------------------------------

PIX_TEST(ACodeNobodyCanSlipPastTheChecks) {
    MockBank mock;
    const std::vector<Field> fields = BankFields("123.45");
    auto account = [](const std::string& location) { return TlvText("00", "br.gov.bcb.pix") + TlvText("25", location); };
    struct Row {
        const char* name;
        json answer;
        const char* says;
    } rows[] = {
        {"a location on another host than the bank's url",
         PixAnswer(BrCode(Replaced(fields, "26", account("pix.outro.example/cobv/9b8a7c6d")))),
         "aponta para pix.outro.example, não para qrcodepix-h.bb.com.br"},
        {"a second amount", PixAnswer(BrCode(Inserted(fields, 6, {"54", "999.99"}))), "o campo 54 aparece mais de uma vez"},
        {"a second account",
         PixAnswer(BrCode(Inserted(fields, 3, {"26", account("pix.outro.example/cobv/1")}))),
         "o campo 26 aparece mais de uma vez"},
        {"a location with https://",
         PixAnswer(BrCode(Replaced(fields, "26", account("https://qrcodepix-h.bb.com.br/pix/v2/cobv/x")))), "esquema"},
        {"a category of letters", PixAnswer(BrCode(Replaced(fields, "52", "ABCD"))), "campo 52"},
    };
    int n = 0;
    for (const auto& row : rows) {
        Context context(row.name);
        Library library(L"code-" + std::to_wstring(n++));
        mock.Script({TokenAnswer(), row.answer});
        const std::string answer = library.NewPix(Call{});
        CHECK(StartsWith(answer, "Erro: o código Pix devolvido pelo banco é inválido: "));
        CHECK(answer.find(row.says) != std::string::npos);
        Note("answer: " + answer);
    }
}

// --- Quelvano.ini as written ----------------------------------------------------------

// A "#" never starts a comment, a value too long is an error that names the
// key rather than a cut, and so is a key the library does not know.
PIX_TEST(QuelvanoIniIsReadAsWritten) {
    MockBank mock;
    const std::string tls = UntrustedTlsUrl();
    if (tls.empty()) Skip("the mock has no TLS port (openssl missing)");
    const std::string longPath = "C:\\" + std::string(3000, 'p') + ".pfx";
    struct Row {
        const char* name;
        std::string ini;
        std::string start;
    } rows[] = {
        {"a '#' inside a path", "client_certificate=C:\\Certs #1\\x.pfx\r\n",
         "Erro: sem resposta do servidor de autenticação do banco: client_certificate C:\\Certs #1\\x.pfx não pode ser aberto."},
        {"a comment after a blank and ';'", "client_certificate=C:\\Certs #1\\x.pfx ; the shop's\r\n",
         "Erro: sem resposta do servidor de autenticação do banco: client_certificate C:\\Certs #1\\x.pfx não pode ser aberto."},
        {"a value too long", "client_certificate=" + longPath + "\r\n",
         "Erro: Quelvano.ini: o valor de client_certificate passa de 2048 caracteres."},
        {"'#' after a number", "timeout_ms=1500 # ms\r\n", "Erro: Quelvano.ini: timeout_ms deve ser um número"},
        {"a key nobody knows", "deadline=5000\r\n", "Erro: Quelvano.ini: [bank001] não tem a chave \"deadline\"."},
        {"a key twice", "timeout_ms=1000\r\ntimeout_ms=2000\r\n",
         "Erro: Quelvano.ini: a chave timeout_ms aparece mais de uma vez em [bank001]."},
    };
    int n = 0;
    for (const auto& row : rows) {
        Context context(row.name);
        Library library(L"ini-" + std::to_wstring(n++));
        library.WriteWholeIni("[bank001]\r\noauth_url=" + tls + "\r\napi_url=" + tls + "\r\n" + row.ini);
        mock.Script({TokenAnswer(), PixAnswer()});
        const std::string answer = library.NewPix(Call{});
        CHECK(StartsWith(answer, row.start));
        if (!StartsWith(answer, row.start)) Note("answer: " + answer.substr(0, 300));
        CHECK_EQ(mock.Requests().size(), std::size_t{0});
    }
}

namespace {

struct Rewriter {
    std::wstring file;
    std::string first, second;
    std::atomic<bool> stop{false};
};

DWORD WINAPI RewriteForever(void* parameter) {
    Rewriter& rewriter = *static_cast<Rewriter*>(parameter);
    const std::wstring next = rewriter.file + L".next";
    for (int i = 0; !rewriter.stop; ++i) {
        WriteFileBytes(next, i % 2 ? rewriter.second : rewriter.first);
        MoveFileExW(next.c_str(), rewriter.file.c_str(), MOVEFILE_REPLACE_EXISTING);
    }
    return 0;
}

}  // namespace

// One call reads Quelvano.ini once: while the file changes under it, a
// call's settings are all of one version, never a mix of two.
PIX_TEST(ACallReadsQuelvanoIniOnce) {
    MockBank mock;
    Library library(L"ini-once");
    const std::string url = MockUrl();
    Rewriter rewriter;
    rewriter.file = JoinPath(library.Folder(), L"Quelvano.ini");
    rewriter.first = "[bank001]\r\noauth_url=" + url + "/a\r\napi_url=" + url + "/a\r\napp_key_param=key-a\r\n";
    rewriter.second = "[bank001]\r\noauth_url=" + url + "/b\r\napi_url=" + url + "/b\r\napp_key_param=key-b\r\n";
    json token = TokenAnswer();
    token["repeat"] = true;
    token["path"] = "/oauth/token";
    json pix = PixAnswer();
    pix["repeat"] = true;
    mock.Script({token, pix});
    library.WriteWholeIni(rewriter.first);
    const HANDLE thread = CreateThread(nullptr, 0, &RewriteForever, &rewriter, 0, nullptr);
    REQUIRE(thread != nullptr);
    constexpr int kCalls = 300;
    for (int i = 0; i < kCalls; ++i) library.NewPix(Call{});
    rewriter.stop = true;
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    int mixed = 0, pixRequests = 0;
    for (const json& request : mock.Requests()) {
        const std::string path = request["path"].get<std::string>();
        if (path.find("/gerar-pix?") == std::string::npos) continue;
        ++pixRequests;
        const bool a = StartsWith(path, "/a/") && path.find("?key-a=") != std::string::npos;
        const bool b = StartsWith(path, "/b/") && path.find("?key-b=") != std::string::npos;
        if (!a && !b && mixed++ == 0) Note("a mixed request: " + path);
    }
    Note(std::to_string(pixRequests) + " PIX requests, " + std::to_string(mixed) + " mixed");
    CHECK(pixRequests > kCalls / 2);
    CHECK_EQ(mixed, 0);
}
