#include "base/core/utf8.h"

#include <gtest/gtest.h>

namespace {

using pix::utf8::FromUtf16;
using pix::utf8::ToUtf16;

constexpr char16_t R = u'\uFFFD';

// Every malformed form once, with how many replacement characters it gives:
// one per maximal subpart, and the text after it read as usual.
struct Malformed {
    const char* name;
    std::string bytes;
    std::u16string text;
};

const Malformed kMalformed[] = {
    {"overlong NUL", "\xC0\x80", {R, R}},
    {"overlong solidus, two bytes", "\xC0\xAF", {R, R}},
    {"overlong, three bytes", "\xE0\x80\xAF", {R, R, R}},
    {"overlong, four bytes", "\xF0\x80\x80\xAF", {R, R, R, R}},
    {"lead byte C1", "\xC1\xBF", {R, R}},
    {"encoded high surrogate", "\xED\xA0\x80", {R, R, R}},
    {"encoded low surrogate", "\xED\xBF\xBF", {R, R, R}},
    {"beyond U+10FFFF", "\xF4\x90\x80\x80", {R, R, R, R}},
    {"lead byte F5", "\xF5\x80\x80\x80", {R, R, R, R}},
    {"lead byte FF", "\xFF", {R}},
    {"lone continuation byte", "\x80", {R}},
    {"two bytes cut short at the end", "a\xC3", {u'a', R}},
    {"three bytes cut short before ASCII", "\xE2\x82" "A", {R, u'A'}},
    {"four bytes cut short twice", "\xF0\x9F\x98\xF0\x9F", {R, R}},
    {"lead byte in place of a continuation", "\xC3\xC3\xA9", {R, u'\u00E9'}},
};

TEST(Utf8, MalformedSequencesBecomeOneReplacementPerMaximalSubpart) {
    for (const Malformed& m : kMalformed) {
        SCOPED_TRACE(m.name);
        EXPECT_EQ(ToUtf16(m.bytes), m.text);
    }
}

TEST(Utf8, WellFormedTextAtTheEdgesOfEachRange) {
    const struct {
        std::string bytes;
        std::u16string text;
    } cases[] = {
        {"", u""},
        {std::string("\0", 1), std::u16string(1, u'\0')},
        {"\x7F", u"\u007F"},
        {"\xC2\x80", u"\u0080"},
        {"\xDF\xBF", u"\u07FF"},
        {"\xE0\xA0\x80", u"\u0800"},
        {"\xED\x9F\xBF", u"\uD7FF"},
        {"\xEE\x80\x80", u"\uE000"},
        {"\xEF\xBF\xBD", u"\uFFFD"},
        {"\xEF\xBF\xBF", u"\uFFFF"},
        {"\xF0\x90\x80\x80", u"\U00010000"},
        {"\xF4\x8F\xBF\xBF", u"\U0010FFFF"},
        {"Conv\xC3\xAAnio \xF0\x9F\x98\x80", u"Conv\u00eanio \U0001F600"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ToUtf16(c.bytes), c.text);
        EXPECT_EQ(FromUtf16(c.text), c.bytes);  // and back, byte for byte
    }
}

TEST(Utf8, UnpairedSurrogatesBecomeReplacements) {
    const struct {
        std::u16string text;
        std::string bytes;
    } cases[] = {
        {std::u16string(1, u'\xD800'), "\xEF\xBF\xBD"},
        {std::u16string(1, u'\xDC00'), "\xEF\xBF\xBD"},
        {std::u16string{u'\xDC00', u'\xD800'}, "\xEF\xBF\xBD\xEF\xBF\xBD"},  // the wrong order is no pair
        {std::u16string{u'\xD800', u'a'}, "\xEF\xBF\xBD" "a"},
    };
    for (const auto& c : cases) EXPECT_EQ(FromUtf16(c.text), c.bytes);
}

TEST(Utf8, AppendRefusesWhatIsNoScalarValue) {
    std::string out;
    pix::utf8::Append(out, 0xD800);
    pix::utf8::Append(out, 0x110000);
    pix::utf8::Append(out, U'\u00E9');
    EXPECT_EQ(out, "\xEF\xBF\xBD\xEF\xBF\xBD\xC3\xA9");
}

TEST(Utf8, DecodeSteps) {
    const std::string text = "a\xC3\xA9\xC0\xF0\x9F\x98\x80";
    std::size_t at = 0;
    std::u32string seen;
    std::vector<std::size_t> stops;
    while (at < text.size()) {
        seen += pix::utf8::Decode(text, at);
        stops.push_back(at);
    }
    EXPECT_EQ(seen, (std::u32string{U'a', U'\u00E9', U'\uFFFD', U'\U0001F600'}));
    EXPECT_EQ(stops, (std::vector<std::size_t>{1, 3, 4, 8}));
}

}  // namespace
