// The vendor PIX library's one export, as Quelvano.dll provides it.
//
// Binary contract (the library is 32-bit x86 in the field):
//  - stdcall: the callee removes its arguments, 7 pointers + 2 doubles = 44 bytes;
//  - exported by the plain name NewPix (no @44 decoration);
//  - every text is a counted UTF-16 text (pixlib/core/counted_text.h) or null
//    when empty; the bank code is the constant "001" with reference count -1;
//  - the result is a zero-terminated UTF-16 text owned by the library, or null;
//  - the library runs in our x87 environment (control word 0x1332).
#pragma once

#include "base/core/compiler.h"

#ifndef QUELVANO_API
#  ifdef QUELVANO_BUILDING_DLL
#    define QUELVANO_API __declspec(dllexport)
#  else
#    define QUELVANO_API __declspec(dllimport)
#  endif
#endif

extern "C" QUELVANO_API const wchar_t* PIX_STDCALL NewPix(
    const wchar_t* bankCode,
    const wchar_t* developerApplicationKey,
    const wchar_t* clientId,
    const wchar_t* clientSecret,
    const wchar_t* convenio,
    const wchar_t* chavePix,
    const wchar_t* boleto,
    double valor,
    double vencimento);
