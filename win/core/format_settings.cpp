#include "win/core/format_settings.h"

namespace pix {

namespace {
constexpr unsigned kSettingChange = 0x001A;  // WM_SETTINGCHANGE, also WM_WININICHANGE
}

char16_t SingleCharacterOr(std::u16string_view setting, char16_t fallback) noexcept {
    return setting.size() == 1 ? setting[0] : fallback;
}

bool MeansFormatSettingsChanged(unsigned message, const char16_t* section, unsigned taskbarCreated) noexcept {
    if (message == kSettingChange)
        return section != nullptr && std::u16string_view(section) == u"intl";
    return taskbarCreated != 0 && message == taskbarCreated;
}

}  // namespace pix
