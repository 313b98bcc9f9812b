// The locale formats the program keeps for itself: read at start-up from the
// thread locale, and again when Windows reports changed regional settings.
#pragma once

#include <string>
#include <string_view>

namespace pix {

struct FormatSettings {
    char16_t decimalSeparator = u'.';
    char16_t thousandSeparator = u',';
    char16_t dateSeparator = u'/';
    char16_t timeSeparator = u':';
    std::u16string shortDateFormat;
    std::u16string longDateFormat;
    std::u16string currencyString;
    char16_t listSeparator = u',';
};

// A one-character setting is taken as it is; anything longer or shorter
// leaves the fallback.
char16_t SingleCharacterOr(std::u16string_view setting, char16_t fallback) noexcept;

// Whether a message to the application window means the regional settings
// may have changed: WM_SETTINGCHANGE whose section is exactly "intl" (case
// matters, a null section does not count), or the registered
// "TaskbarCreated" message.
bool MeansFormatSettingsChanged(unsigned message, const char16_t* section, unsigned taskbarCreated) noexcept;

}  // namespace pix
