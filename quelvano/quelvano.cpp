// Our stand-in for the vendor's Quelvano.dll: the same export, the same
// binary contract, and an answer that says what arrived.
//
// Built twice from this file: the shipped stand-in, and a recording variant
// (QUELVANO_RECORDING) for the tests, which appends each call's raw arguments
// to the file named by QUELVANO_RECORD and can be told by QUELVANO_MODE, or by
// the first word of the file named by QUELVANO_MODE_FILE (read at every call),
// to return null, to return a text with CR LF pairs, to fault, to raise a
// software exception and leave it uncaught, or to meet an exception that it
// handles itself (a probe of unreadable memory, a C++ exception).
#define QUELVANO_BUILDING_DLL
#include "pixlib/NewPix.h"

#include <windows.h>

#include <string>

#include "pixlib/core/counted_text.h"
#include "quelvano/argument.h"
#include "quelvano/core/answer.h"

#ifdef QUELVANO_RECORDING
#  include "quelvano/recording.h"
#endif

namespace {

const char16_t* AsUtf16(const wchar_t* p) { return reinterpret_cast<const char16_t*>(p); }

// The answer belongs to the library and stays readable after the call, for
// the caller to copy; it lives until the next call replaces it. The caller
// reads it once, right after the call (PixGen copies it at once, on the one
// thread that calls), and never hands it back, so nothing older need stay:
// keeping every answer grew the caller's process by each answer's size, a
// press after another, for the life of the process.
const wchar_t* Keep(std::u16string answer) {
    static std::u16string latest;
    latest = std::move(answer);
    return reinterpret_cast<const wchar_t*>(latest.c_str());
}

// An argument's text, or the fault that makes it unreadable. A null pointer is
// how the caller says "empty".
bool ReadArgument(const quelvano::Argument& argument, std::u16string& text, std::u16string& complaint) {
    text.clear();
    if (!argument.chars) return true;
    const pix::CountedTextFault fault = pix::CheckCountedText(AsUtf16(argument.chars));
    if (fault != pix::CountedTextFault::Ok) {
        complaint = quelvano::DescribeBrokenArgument(argument.name, pix::DescribeCountedTextFault(fault));
        return false;
    }
    text.assign(AsUtf16(argument.chars), static_cast<std::size_t>(pix::HeaderOf(AsUtf16(argument.chars)).length));
    return true;
}

}  // namespace

extern "C" QUELVANO_API const wchar_t* PIX_STDCALL NewPix(
    const wchar_t* bankCode, const wchar_t* developerApplicationKey, const wchar_t* clientId,
    const wchar_t* clientSecret, const wchar_t* convenio, const wchar_t* chavePix,
    const wchar_t* boleto, double valor, double vencimento) {
#ifdef QUELVANO_RECORDING
    // First of all, before any floating-point instruction of ours.
    const quelvano::Entry entry = quelvano::CaptureEntry(&bankCode);
#endif
    const quelvano::Argument arguments[] = {
        {"bankCode", bankCode},  {"developerApplicationKey", developerApplicationKey},
        {"clientId", clientId},  {"clientSecret", clientSecret},
        {"convenio", convenio},  {"chavePix", chavePix},
        {"boleto", boleto},
    };
#ifdef QUELVANO_RECORDING
    quelvano::Record(entry, arguments, valor, vencimento);
    const wchar_t* told = nullptr;
    if (quelvano::ActAsTold(told)) return told;
#endif
    quelvano::Received received;
    std::u16string* fields[] = {&received.bankCode, &received.developerApplicationKey,
                                &received.clientId, &received.clientSecret,
                                &received.convenio, &received.chavePix, &received.boleto};
    std::u16string complaint;
    for (std::size_t i = 0; i < 7; ++i)
        if (!ReadArgument(arguments[i], *fields[i], complaint)) return Keep(std::move(complaint));
    received.valor = valor;
    received.vencimento = vencimento;
    return Keep(quelvano::DescribeCall(received));
}
