// Quelvano.dll for bank 001: NewPix asks the bank's API for the PIX of a
// registered boleto and answers with its copy-and-paste code, or with an
// "Erro: " line saying what went wrong and what to do.
//
// The binary contract is the vendor library's (pixlib/NewPix.h). Everything
// here runs under a floating-point environment of its own, since the caller's
// unmasks x87 faults; the caller's control words come back on every path. No
// exception leaves the export.
#define QUELVANO_BUILDING_DLL
#include "pixlib/NewPix.h"

#include <windows.h>

#include <string>

#include "base/core/compiler.h"
#include "bank001/core/flow.h"
#include "bank001/core/text.h"
#include "base/core/utf8.h"
#include "bank001/settings.h"
#include "bank001/winhttp_transport.h"
#include "pixlib/core/counted_text.h"

namespace {

class SteadyClock : public bank001::Clock {
public:
    std::int64_t NowMs() override { return static_cast<std::int64_t>(GetTickCount64()); }
};

// What lives from one call to the next: the tokens and the last answer,
// which stays readable until the next call replaces it.
struct Library {
    bank001::TokenCache tokens;
    std::u16string answer;
    SRWLOCK lock = SRWLOCK_INIT;
};

Library& TheLibrary() {
    static Library library;
    return library;
}

// Every exception masked and no flag raised while we work; the caller's x87
// control word and MXCSR exactly as they were on the way out.
class QuietFloatingPoint {
public:
    QuietFloatingPoint() noexcept : mxcsr_(pix::cpu::Mxcsr()) { pix::cpu::SetMxcsr(pix::cpu::kMxcsrQuiet); }
    ~QuietFloatingPoint() { pix::cpu::SetMxcsr(mxcsr_); }
    QuietFloatingPoint(const QuietFloatingPoint&) = delete;
    QuietFloatingPoint& operator=(const QuietFloatingPoint&) = delete;

private:
    std::uint32_t mxcsr_;
    pix::cpu::X87Section x87_{pix::cpu::kX87Quiet};
};

class Exclusive {
public:
    explicit Exclusive(SRWLOCK& lock) noexcept : lock_(lock) { AcquireSRWLockExclusive(&lock_); }
    ~Exclusive() { ReleaseSRWLockExclusive(&lock_); }
    Exclusive(const Exclusive&) = delete;
    Exclusive& operator=(const Exclusive&) = delete;

private:
    SRWLOCK& lock_;
};

struct Argument {
    const char* name;
    const wchar_t* chars;
    std::string* into;
};

// False, with the complaint, when the text breaks the counted layout. Null is empty.
bool Read(const Argument& argument, std::string& complaint) {
    argument.into->clear();
    if (!argument.chars) return true;
    const auto* chars = reinterpret_cast<const char16_t*>(argument.chars);
    const pix::CountedTextFault fault = pix::CheckCountedText(chars);
    if (fault != pix::CountedTextFault::Ok) {
        complaint = std::string("Erro: o argumento ") + argument.name + " não é um texto válido (" +
                    pix::DescribeCountedTextFault(fault) + ").";
        return false;
    }
    *argument.into = pix::utf8::FromUtf16(std::u16string_view(chars, static_cast<std::size_t>(pix::HeaderOf(chars).length)));
    return true;
}

std::string Generate(const wchar_t* bankCode, const wchar_t* developerApplicationKey, const wchar_t* clientId,
                     const wchar_t* clientSecret, const wchar_t* convenio, const wchar_t* chavePix,
                     const wchar_t* boleto, double valor, double vencimento, bank001::TokenCache& tokens) {
    bank001::Inputs inputs;
    const Argument arguments[] = {
        {"bankCode", bankCode, &inputs.bankCode},
        {"developerApplicationKey", developerApplicationKey, &inputs.appKey},
        {"clientId", clientId, &inputs.clientId},
        {"clientSecret", clientSecret, &inputs.clientSecret},
        {"convenio", convenio, &inputs.convenio},
        {"chavePix", chavePix, &inputs.pixKey},
        {"boleto", boleto, &inputs.boleto},
    };
    std::string complaint;
    for (const Argument& argument : arguments)
        if (!Read(argument, complaint)) return complaint;
    inputs.valor = valor;
    inputs.vencimento = vencimento;

    bank001::WinHttpTransport transport;
    SteadyClock clock;
    bank001::PixFlow flow(transport, clock, tokens);
    return flow.NewPix(inputs, bank001::ReadIni());
}

}  // namespace

extern "C" QUELVANO_API const wchar_t* PIX_STDCALL NewPix(
    const wchar_t* bankCode, const wchar_t* developerApplicationKey, const wchar_t* clientId,
    const wchar_t* clientSecret, const wchar_t* convenio, const wchar_t* chavePix,
    const wchar_t* boleto, double valor, double vencimento) {
    // Static texts: building an answer is what may have failed.
    static const char16_t kOutOfMemory[] = u"Erro: mem\u00f3ria insuficiente.";
    static const char16_t kInternal[] = u"Erro: falha interna da biblioteca Quelvano (bank001).";
    QuietFloatingPoint quiet;
    Library& library = TheLibrary();
    Exclusive exclusive(library.lock);
    try {
        library.answer = pix::utf8::ToUtf16(Generate(bankCode, developerApplicationKey, clientId, clientSecret, convenio,
                                                 chavePix, boleto, valor, vencimento, library.tokens));
        return reinterpret_cast<const wchar_t*>(library.answer.c_str());
    } catch (const std::bad_alloc&) {
        return reinterpret_cast<const wchar_t*>(kOutOfMemory);
    } catch (...) {
        return reinterpret_cast<const wchar_t*>(kInternal);
    }
}
