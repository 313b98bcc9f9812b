#include <gtest/gtest.h>

#include "win/core/format_settings.h"

namespace {

constexpr unsigned kSettingChange = 0x001A;
constexpr unsigned kTaskbarCreated = 0xC123;  // a registered message id

TEST(FormatSettings, OnlyOneCharacterSeparatorsAreTaken) {
    EXPECT_EQ(pix::SingleCharacterOr(u",", u'.'), u',');
    EXPECT_EQ(pix::SingleCharacterOr(u".", u'.'), u'.');
    EXPECT_EQ(pix::SingleCharacterOr(u"", u'.'), u'.');
    EXPECT_EQ(pix::SingleCharacterOr(u",,", u'.'), u'.');
    EXPECT_EQ(pix::SingleCharacterOr(u"\u066B", u'.'), u'\u066B');
}

TEST(FormatSettings, OnlyIntlAndTaskbarCreatedMeanAChange) {
    const struct {
        unsigned message;
        const char16_t* section;
        bool rereads;
    } cases[] = {
        {kSettingChange, u"intl", true},
        {kSettingChange, u"Intl", false},  // case matters
        {kSettingChange, u"INTL", false},
        {kSettingChange, nullptr, false},  // a null section does not count
        {kSettingChange, u"", false},
        {kSettingChange, u"intl2", false},
        {kSettingChange, u"int", false},
        {kSettingChange, u"intl ", false},  // compared whole, unit by unit
        {kSettingChange, u" intl", false},
        {kSettingChange, u"Environment", false},
        {kSettingChange, u"WindowMetrics", false},
        {kTaskbarCreated, nullptr, true},
        {kTaskbarCreated + 1, nullptr, false},
        {0x0010 /* WM_CLOSE */, u"intl", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(pix::MeansFormatSettingsChanged(c.message, c.section, kTaskbarCreated), c.rereads)
            << std::hex << c.message;
    // An unregistered TaskbarCreated (0) must not match message 0.
    EXPECT_FALSE(pix::MeansFormatSettingsChanged(0, nullptr, 0));
}

}  // namespace
