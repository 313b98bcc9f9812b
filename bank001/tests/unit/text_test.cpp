#include <gtest/gtest.h>

#include <string>

#include "bank001/core/text.h"
#include "base/core/utf8.h"

namespace bank001 {
namespace {

struct BankTextCase {
    const char* name;
    std::string text;
    std::string shown;
};

TEST(BankText, ControlCharactersBecomeSpaces) {
    const BankTextCase cases[] = {
        {"CR LF", "a\r\nb", "a  b"},
        {"tab and NUL", std::string("a\tb\0c", 5), "a b c"},
        {"DEL", "a\x7F" "b", "a b"},
        {"C1 next line", "a\xC2\x85" "b", "a b"},
        {"line separator", "a\xE2\x80\xA8" "b", "a b"},
        {"paragraph separator", "a\xE2\x80\xA9" "b", "a b"},
        {"malformed UTF-8", "a\xFF" "b", "a\xEF\xBF\xBD" "b"},
        {"accents kept", "S\xC3\xA3o Jos\xC3\xA9", "S\xC3\xA3o Jos\xC3\xA9"},
    };
    for (const BankTextCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(BankText(c.text), c.shown);
    }
}

TEST(BankText, CutAtTheLimitWithAnEllipsis) {
    EXPECT_EQ(BankText(std::string(1000, 'x')), std::string(1000, 'x'));
    EXPECT_EQ(BankText(std::string(1001, 'x')), std::string(1000, 'x') + "\xE2\x80\xA6");
    std::string accents;
    for (int i = 0; i < 1001; ++i) accents += "\xC3\xA3";
    const std::string cut = BankText(accents);
    EXPECT_EQ(Characters(cut), 1001u);  // 1000 and the ellipsis: characters, not bytes
    EXPECT_EQ(BankText("abcdef", 3), "abc\xE2\x80\xA6");
}

std::size_t Utf16Length(const std::string& text) { return pix::utf8::ToUtf16(text).size(); }

TEST(CappedAnswer, UnderFourThousandUnits) {
    EXPECT_EQ(CappedAnswer("Erro: x\r\ny"), "Erro: x\r\ny");
    EXPECT_EQ(CappedAnswer(std::string(3999, 'a')), std::string(3999, 'a'));
    const std::string cut = CappedAnswer(std::string(5000, 'a'));
    EXPECT_EQ(Utf16Length(cut), 3999u);
    EXPECT_EQ(cut.substr(cut.size() - 3), "\xE2\x80\xA6");
    // Characters beyond the basic plane take two units each, and are never split.
    std::string emoji;
    for (int i = 0; i < 2500; ++i) emoji += "\xF0\x9F\x98\x80";
    const std::string cutEmoji = CappedAnswer(emoji);
    EXPECT_LE(Utf16Length(cutEmoji), 3999u);
    EXPECT_EQ(pix::utf8::FromUtf16(pix::utf8::ToUtf16(cutEmoji)), cutEmoji);  // well-formed
}

}  // namespace
}  // namespace bank001
