// Quelvano.dll for bank 001: NewPix asks the bank's API for the PIX of a
// registered boleto and answers with its copy-and-paste code, or with an
// "Erro: " line saying what went wrong and what to do.
//
// The binary contract is the vendor library's (pixlib/NewPix.h). Everything
// here runs under a floating-point environment of its own, since the caller's
// unmasks x87 faults; the caller's control words come back on every path. No
// exception leaves the export.
//
// Threads: NewPix may be called from several at once. The requests of one
// call never wait for another call's; the token store, the answers and the
// client certificates are shared under locks. The text returned stays valid
// until the same thread calls again.
#define QUELVANO_BUILDING_DLL
#include "pixlib/NewPix.h"

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "bank001/client_certificate.h"
#include "bank001/core/flow.h"
#include "bank001/core/secret.h"
#include "bank001/settings.h"
#include "bank001/winhttp_transport.h"
#include "base/core/compiler.h"
#include "base/core/utf8.h"
#include "base/handles.h"
#include "pixlib/core/counted_text.h"

namespace {

class SteadyClock : public bank001::Clock {
public:
    std::int64_t NowMs() override { return static_cast<std::int64_t>(GetTickCount64()); }
};

// The library's token cache, shared by the calls of every thread.
class LockedTokens : public bank001::TokenStore {
public:
    bank001::Secret Find(const std::string& key, std::int64_t nowMs) override {
        const pix::ExclusiveLock exclusive(lock_);
        return tokens_.Find(key, nowMs);
    }
    void Store(const std::string& key, const bank001::Secret& token, std::int64_t nowMs, std::int64_t expiresInS) override {
        const pix::ExclusiveLock exclusive(lock_);
        tokens_.Store(key, token, nowMs, expiresInS);
    }
    void Forget(const std::string& key) override {
        const pix::ExclusiveLock exclusive(lock_);
        tokens_.Forget(key);
    }

private:
    SRWLOCK lock_ = SRWLOCK_INIT;
    bank001::TokenCache tokens_;
};

// The text each thread got last, kept until that thread calls again. A
// thread that has ended gives its text back at the next call of any thread;
// the handle kept of each thread keeps its id from being reused meanwhile.
class Answers {
public:
    const wchar_t* Keep(std::u16string text) {
        const DWORD id = GetCurrentThreadId();
        const pix::ExclusiveLock exclusive(lock_);
        for (auto it = answers_.begin(); it != answers_.end();)
            it = (*it)->thread != id && (*it)->handle && WaitForSingleObject((*it)->handle.Get(), 0) == WAIT_OBJECT_0
                     ? answers_.erase(it)
                     : it + 1;
        Answer* mine = nullptr;
        for (const std::unique_ptr<Answer>& answer : answers_)
            if (answer->thread == id) mine = answer.get();
        if (!mine) {
            answers_.push_back(std::make_unique<Answer>());
            mine = answers_.back().get();
            mine->thread = id;
            mine->handle.Reset(OpenThread(SYNCHRONIZE, FALSE, id));
        }
        mine->text = std::move(text);
        return reinterpret_cast<const wchar_t*>(mine->text.c_str());
    }

private:
    struct Answer {
        DWORD thread = 0;
        pix::UniqueKernelHandle handle;
        std::u16string text;
    };
    SRWLOCK lock_ = SRWLOCK_INIT;
    std::vector<std::unique_ptr<Answer>> answers_;
};

// What lives from one call to the next.
struct Library {
    LockedTokens tokens;
    Answers answers;
    bank001::ClientCertificates certificates;
    bank001::ProxyDetection proxyDetection;
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

// The characters of a counted text, or the complaint when it breaks the
// layout. Null is empty.
bool Counted(const char* name, const wchar_t* chars, std::u16string_view& text, std::string& complaint) {
    text = {};
    if (!chars) return true;
    const auto* units = reinterpret_cast<const char16_t*>(chars);
    const pix::CountedTextFault fault = pix::CheckCountedText(units);
    if (fault != pix::CountedTextFault::Ok) {
        complaint = std::string("Erro: o argumento ") + name + " não é um texto válido (" +
                    pix::DescribeCountedTextFault(fault) + ").";
        return false;
    }
    text = std::u16string_view(units, static_cast<std::size_t>(pix::HeaderOf(units).length));
    return true;
}

std::string Generate(const wchar_t* bankCode, const wchar_t* developerApplicationKey, const wchar_t* clientId,
                     const wchar_t* clientSecret, const wchar_t* convenio, const wchar_t* chavePix,
                     const wchar_t* boleto, double valor, double vencimento, Library& library) {
    bank001::Inputs inputs;
    struct Argument {
        const char* name;
        const wchar_t* chars;
        std::string* into;  // null: the client secret
    };
    const Argument arguments[] = {
        {"bankCode", bankCode, &inputs.bankCode},
        {"developerApplicationKey", developerApplicationKey, &inputs.appKey},
        {"clientId", clientId, &inputs.clientId},
        {"clientSecret", clientSecret, nullptr},
        {"convenio", convenio, &inputs.convenio},
        {"chavePix", chavePix, &inputs.pixKey},
        {"boleto", boleto, &inputs.boleto},
    };
    std::string complaint;
    for (const Argument& argument : arguments) {
        std::u16string_view text;
        if (!Counted(argument.name, argument.chars, text, complaint)) return complaint;
        if (argument.into) {
            *argument.into = pix::utf8::FromUtf16(text);
        } else {
            // Straight into its owner: no copy of the secret left behind.
            inputs.clientSecret.Reserve(text.size() * 3);
            pix::utf8::AppendFromUtf16(inputs.clientSecret, text);
        }
    }
    inputs.valor = valor;
    inputs.vencimento = vencimento;

    bank001::WinHttpTransport transport(library.certificates, library.proxyDetection);
    SteadyClock clock;
    bank001::PixFlow flow(transport, clock, library.tokens);
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
    try {
        Library& library = TheLibrary();
        return library.answers.Keep(pix::utf8::ToUtf16(Generate(bankCode, developerApplicationKey, clientId,
                                                                clientSecret, convenio, chavePix, boleto, valor,
                                                                vencimento, library)));
    } catch (const std::bad_alloc&) {
        return reinterpret_cast<const wchar_t*>(kOutOfMemory);
    } catch (...) {
        return reinterpret_cast<const wchar_t*>(kInternal);
    }
}
