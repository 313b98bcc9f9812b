// What the stand-in library says back: platform-free, so that its wording
// and its date arithmetic are tested natively.
#pragma once

#include <string>
#include <string_view>

namespace quelvano {

// All but the last four characters replaced by '*'.
std::u16string Masked(std::u16string_view secret);

// Day count from 30 December 1899 (whole part only) as yyyy-mm-dd.
std::string IsoDate(double dayCount);

// The shortest text that reads back as the same binary64.
std::string AllDigits(double value);

struct Received {
    std::u16string bankCode, developerApplicationKey, clientId, clientSecret,
        convenio, chavePix, boleto;
    double valor = 0;
    double vencimento = 0;
};

// The multi-line answer (CR LF between lines) for a call whose arguments
// all kept the counted-text layout.
std::u16string DescribeCall(const Received& call);

// The answer when an argument broke the layout.
std::u16string DescribeBrokenArgument(std::string_view argument, std::string_view fault);

std::u16string Widen(std::string_view ascii);

}  // namespace quelvano
