#include "answer.h"

#include <charconv>
#include <cmath>
#include <cstdio>

#include "base/core/civil_date.h"

namespace quelvano {

std::u16string Widen(std::string_view ascii) {
    return std::u16string(ascii.begin(), ascii.end());
}

std::u16string Masked(std::u16string_view secret) {
    std::u16string out(secret);
    if (out.size() > 4) out.replace(0, out.size() - 4, out.size() - 4, u'*');
    return out;
}

std::string IsoDate(double dayCount) {
    const pix::civil::Date date = pix::civil::DateOf(static_cast<long long>(std::trunc(dayCount)));
    char text[80];
    std::snprintf(text, sizeof text, "%04lld-%02d-%02d", date.year, date.month, date.day);
    return text;
}

std::string AllDigits(double value) {
    char text[64];
    const auto result = std::to_chars(text, text + sizeof text, value);
    return std::string(text, result.ptr);
}

std::u16string DescribeCall(const Received& call) {
    auto line = [](std::u16string& out, std::u16string_view name, std::u16string_view value) {
        out += name;
        out += u": ";
        out += value;
        out += u"\r\n";
    };
    std::u16string out = u"Quelvano (stand-in) NewPix\r\n";
    line(out, u"Banco", call.bankCode);
    line(out, u"Chave Pix", call.chavePix);
    line(out, u"Conv\u00eanio", call.convenio);
    line(out, u"DeveloperApplicationKey", Masked(call.developerApplicationKey));
    line(out, u"ClientId", Masked(call.clientId));
    line(out, u"ClientSecret", Masked(call.clientSecret));
    line(out, u"Boleto", call.boleto);
    line(out, u"Valor", Widen(AllDigits(call.valor)));
    out += u"Vencimento: " + Widen(IsoDate(call.vencimento));
    return out;
}

std::u16string DescribeBrokenArgument(std::string_view argument, std::string_view fault) {
    return u"Quelvano (stand-in) NewPix: argument " + Widen(argument) +
           u" breaks the counted-text layout: " + Widen(fault);
}

}  // namespace quelvano
