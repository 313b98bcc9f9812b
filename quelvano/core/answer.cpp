#include "answer.h"

#include <charconv>
#include <cmath>
#include <cstdio>

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
    // Days since 1970-01-01 first, then the civil-from-days algorithm of
    // proleptic Gregorian arithmetic (era of 400 years).
    const long long days = static_cast<long long>(std::trunc(dayCount)) - 25569;
    const long long z = days + 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const long long doe = z - era * 146097;
    const long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const long long mp = (5 * doy + 2) / 153;
    const long long day = doy - (153 * mp + 2) / 5 + 1;
    const long long month = mp < 10 ? mp + 3 : mp - 9;
    const long long year = yoe + era * 400 + (month <= 2 ? 1 : 0);
    char text[80];
    std::snprintf(text, sizeof text, "%04lld-%02lld-%02lld", year, month, day);
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
