#include "style/core/look.h"
#include "style/core/style_data.h"
#include "base/core/utf8.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

namespace {

using namespace pix::style;

std::string ReadFile(const char* path, bool binary = false) {
    std::ifstream in(path, binary ? std::ios::binary : std::ios::in);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string Source() { return ReadFile(PIX_STYLE_SOURCE); }

StyleData Parsed() {
    auto parsed = ParseStyleSource(Source());
    EXPECT_TRUE(parsed.Ok()) << parsed.error;
    return parsed.value;
}

std::vector<std::uint8_t> Packed(const StyleData& style) {
    auto packed = PackStyle(style);
    EXPECT_TRUE(packed.Ok()) << packed.error;
    return packed.value;
}

// The text with its line that begins with `line` removed (the line must exist).
std::string Without(std::string text, const std::string& line) {
    const std::size_t at = text.find("\n" + line);
    EXPECT_NE(at, std::string::npos) << line;
    const std::size_t end = text.find('\n', at + 1);
    text.erase(at, end - at);
    return text;
}

// --- the source and what it holds -----------------------------------------

TEST(StyleSource, HoldsTheHouseStyle) {
    const StyleData s = Parsed();
    EXPECT_EQ(s.name, "Windows10 Corvanti");
    EXPECT_EQ(s.version, "1.0");
    EXPECT_FALSE(s.author.empty());
    EXPECT_FALSE(s.email.empty());
    EXPECT_FALSE(s.web.empty());
    EXPECT_FALSE(s.description.empty());
    ASSERT_EQ(s.colors.size(), 32u);
    ASSERT_EQ(s.systemColors.size(), 23u);
    ASSERT_EQ(s.textStyles.size(), 93u);
    EXPECT_EQ(s.colors[30].key, "FocusEffect");
    EXPECT_EQ(s.colors[30].value, (Color{0, 96, 96}));
    EXPECT_EQ(s.systemColors[8].key, "COLOR_HIGHLIGHT");
    EXPECT_EQ(s.systemColors[8].value, (Color{145, 194, 234}));
}

// Every text style is Tahoma in the default character set, never italic,
// underlined or struck out; the rows differ by size, weight and colour.
TEST(StyleSource, TextStylesFollowTheirRows) {
    int disabledGrey = 0;
    for (const auto& e : Parsed().textStyles) {
        SCOPED_TRACE(e.key);
        const TextStyle& t = e.value;
        EXPECT_EQ(t.face, "Tahoma");
        EXPECT_EQ(t.charset, 1);
        EXPECT_FALSE(t.italic || t.underline || t.strikeout);
        const bool caption = e.key.find("CaptionText") != std::string::npos;
        EXPECT_EQ(t.size, caption ? 8 : 9);
        EXPECT_EQ(t.bold, caption);
        if (!caption && t.color == Color{128, 128, 128}) ++disabledGrey;
    }
    EXPECT_EQ(disabledGrey, 18);
}

TEST(StyleLook, TakesEveryMeasureFromTheStyle) {
    const auto look = BuildLook(Parsed());
    ASSERT_TRUE(look.Ok()) << look.error;
    const Look& k = look.value;
    EXPECT_EQ(k.frame.TitleHeight(), 32);
    EXPECT_EQ(k.frame.border, 6);
    EXPECT_EQ(k.frame.buttonWidth, 46);
    EXPECT_EQ(k.frame.active.caption.color, (Color{0, 0, 0}));
    EXPECT_EQ(k.frame.inactive.caption.color, (Color{128, 128, 128}));
    EXPECT_EQ(k.frame.inactive.captionBand, (Color{204, 204, 204}));
    EXPECT_EQ(k.clientBackground, (Color{243, 243, 243}));
    EXPECT_EQ(k.editBorderWidth, 2);
    EXPECT_EQ(k.buttonFace[static_cast<int>(ButtonState::Pressed)], (Color{127, 175, 175}));
    EXPECT_EQ(k.buttonText[static_cast<int>(ButtonState::Hot)], (Color{255, 255, 255}));
    // Every substitute for a system colour, in the keys' order.
    const StyleData s = Parsed();
    ASSERT_EQ(k.systemColors.size(), s.systemColors.size());
    for (std::size_t i = 0; i < s.systemColors.size(); ++i) EXPECT_EQ(k.systemColors[i], s.systemColors[i].value) << i;
    EXPECT_EQ(k.systemColors[8], (Color{145, 194, 234}));  // COLOR_HIGHLIGHT
    EXPECT_EQ(k.systemColors[9], (Color{0, 0, 0}));        // COLOR_HIGHLIGHTTEXT
}

TEST(StyleLook, ButtonStatePrecedence) {
    struct Case {
        bool pressed, hot, focused;
        ButtonState expected;
    } const cases[] = {
        {false, false, false, ButtonState::Normal}, {false, false, true, ButtonState::Focused},
        {false, true, false, ButtonState::Hot},     {false, true, true, ButtonState::Hot},
        {true, false, false, ButtonState::Pressed}, {true, true, true, ButtonState::Pressed},
        {true, false, true, ButtonState::Pressed},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ChooseButtonState(c.pressed, c.hot, c.focused), c.expected)
            << c.pressed << c.hot << c.focused;
}

TEST(StyleLook, CalendarSize) {
    const auto look = BuildLook(Parsed());
    ASSERT_TRUE(look.Ok());
    const CalendarLook& c = look.value.calendar;
    // 21-pixel picker: 170 high; W 11, w 9, three-letter names: 7 * 29 + 20.
    EXPECT_EQ(CalendarSizeFor(c, 21, 11, 9, 3).height, 170);
    EXPECT_EQ(CalendarSizeFor(c, 21, 11, 9, 3).width, 223);
    // One-letter day names count as three.
    EXPECT_EQ(CalendarSizeFor(c, 21, 11, 9, 1).width, 223);
    EXPECT_EQ(CalendarSizeFor(c, 21, 11, 9, 4).width, 7 * (11 + 9 * 3) + 20);
    EXPECT_EQ(CalendarSizeFor(c, 31, 11, 9, 3).height, 270);
    // Never narrower than high.
    EXPECT_EQ(CalendarSizeFor(c, 21, 5, 4, 2).width, 170);
}

// --- the packed form: round trip and damage -----------------------------------

TEST(StylePacked, RoundTrip) {
    const StyleData s = Parsed();
    const auto bytes = Packed(s);
    const auto back = ReadStyle(bytes.data(), bytes.size());
    ASSERT_TRUE(back.Ok()) << back.error;
    EXPECT_EQ(back.value.name, s.name);
    EXPECT_EQ(back.value.description, s.description);
    ASSERT_EQ(back.value.textStyles.size(), s.textStyles.size());
    for (std::size_t i = 0; i < s.textStyles.size(); ++i) {
        EXPECT_EQ(back.value.textStyles[i].key, s.textStyles[i].key);
        EXPECT_EQ(back.value.textStyles[i].value.color, s.textStyles[i].value.color);
        EXPECT_EQ(back.value.textStyles[i].value.bold, s.textStyles[i].value.bold);
    }
    ASSERT_EQ(back.value.elements.size(), s.elements.size());
    for (std::size_t i = 0; i < s.elements.size(); ++i) {
        EXPECT_EQ(back.value.elements[i].key, s.elements[i].key);
        EXPECT_EQ(back.value.elements[i].value.isColor, s.elements[i].value.isColor);
        EXPECT_EQ(back.value.elements[i].value.number, s.elements[i].value.number);
        EXPECT_EQ(back.value.elements[i].value.color, s.elements[i].value.color);
    }
    EXPECT_TRUE(BuildLook(back.value).Ok());
}

// What the build packed is what the source says, byte for byte.
TEST(StylePacked, BuildOutputIsTheSourcePacked) {
    const std::string built = ReadFile(PIX_STYLE_PACKED, true);
    const auto bytes = Packed(Parsed());
    EXPECT_EQ(built, std::string(bytes.begin(), bytes.end()));
}

TEST(StylePacked, DamageIsDetected) {
    const auto good = Packed(Parsed());
    struct Case {
        const char* name;
        std::vector<std::uint8_t> bytes;
        const char* message;  // part of the error
    };
    auto wrongSignature = good;
    wrongSignature[0] = 'Q';
    auto wrongVersion = good;
    wrongVersion[8] = 2;
    auto truncated = std::vector<std::uint8_t>(good.begin(), good.end() - 40);
    auto flipped = good;
    flipped[good.size() / 2] ^= 0x10;
    auto headerOnly = std::vector<std::uint8_t>(good.begin(), good.begin() + 12);
    const Case cases[] = {
        {"wrong signature", wrongSignature, "signature"},
        {"wrong format version", wrongVersion, "version 2"},
        {"truncated", truncated, "truncated"},
        {"header cut", headerOnly, "truncated"},
        {"flipped byte", flipped, "checksum"},
        {"empty", {}, "signature"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto whole = ReadStyle(c.bytes.data(), c.bytes.size());
        EXPECT_FALSE(whole.Ok());
        EXPECT_NE(whole.error.find(c.message), std::string::npos) << whole.error;
        // The check made before a style is listed finds the same damage.
        EXPECT_FALSE(ReadStyleInfo(c.bytes.data(), c.bytes.size()).Ok());
    }
}

// A table cut short, with the header's size and checksum made to match: the
// reader names the table and the entry where the data ran out.
TEST(StylePacked, TruncatedTableNamesTheTable) {
    const StyleData s = Parsed();
    auto bytes = Packed(s);
    const std::string all(bytes.begin(), bytes.end());
    const std::string key = s.textStyles[40].key;
    const std::size_t at = all.find(key);
    ASSERT_NE(at, std::string::npos);
    bytes.resize(at + 3);
    const auto size = static_cast<std::uint32_t>(bytes.size() - kHeaderSize);
    const std::uint32_t crc = Crc32(bytes.data() + kHeaderSize, size);
    for (int i = 0; i < 4; ++i) {
        bytes[12 + i] = static_cast<std::uint8_t>(size >> (8 * i));
        bytes[16 + i] = static_cast<std::uint8_t>(crc >> (8 * i));
    }
    const auto read = ReadStyle(bytes.data(), bytes.size());
    EXPECT_EQ(read.error.rfind("truncated: entry 41 of table TextStyles runs past the end", 0), 0u) << read.error;
    // The recorded fields alone still read: a cut table is found when the
    // whole style is read after a match.
    EXPECT_TRUE(ReadStyleInfo(bytes.data(), bytes.size()).Ok());
}

TEST(StyleSource, MistakesAreNamed) {
    struct Case {
        const char* name;
        std::string text;
        const char* message;
    };
    const std::string source = Source();
    std::string moved = source;
    {
        // Swap ButtonHot and ButtonPressed.
        const std::size_t hot = moved.find("\nButtonHot =");
        const std::size_t pressed = moved.find("\nButtonPressed =");
        const std::size_t pressedEnd = moved.find('\n', pressed + 1);
        const std::string hotLine = moved.substr(hot, pressed - hot);
        const std::string pressedLine = moved.substr(pressed, pressedEnd - pressed);
        moved.replace(hot, pressedEnd - hot, pressedLine + hotLine);
    }
    const Case cases[] = {
        {"missing table key", Without(source, "COLOR_WINDOWTEXT ="), "missing key 'COLOR_WINDOWTEXT'"},
        {"moved table key", moved, "entry 7 is 'ButtonPressed', expected 'ButtonHot'"},
        {"bad colour", source + "[Colors]\nBorder = 1, 2\n", "line"},
        {"colour out of range", source + "[Elements]\nX.Y = 1, 2, 256\n", "expected a number or"},
        {"unknown section", source + "[Sheet]\n", "unknown section [Sheet]"},
        {"no key", source + "[Elements]\n= 3\n", "a key is empty"},
        {"twice", source + "[Elements]\nFrame.Border = 6\n", "'Frame.Border' appears twice"},
        {"no name", Without(source, "Name ="), "no name"},
        {"unknown flag", source + "[TextStyles]\nX = Tahoma, 9, 1, 0, 0, 0, wide\n", "line"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto parsed = ParseStyleSource(c.text);
        EXPECT_FALSE(parsed.Ok());
        EXPECT_NE(parsed.error.find(c.message), std::string::npos) << parsed.error;
    }
}

// A measure the drawing needs and the style lacks: the style reads, the look
// does not build, and the message names the key.
TEST(StyleLook, MissingElementKeyIsNamed) {
    const auto parsed = ParseStyleSource(Without(Source(), "Frame.CaptionBand ="));
    ASSERT_TRUE(parsed.Ok()) << parsed.error;
    const auto bytes = Packed(parsed.value);
    const auto read = ReadStyle(bytes.data(), bytes.size());
    ASSERT_TRUE(read.Ok());
    const auto look = BuildLook(read.value);
    EXPECT_FALSE(look.Ok());
    EXPECT_EQ(look.error, "missing key 'Frame.CaptionBand' in table Elements");

    auto wrongKind = ParseStyleSource(Source() + "");
    for (auto& e : wrongKind.value.elements)
        if (e.key == "Edit.BorderWidth") e.value = ElementValue{true, 0, Color{1, 2, 3}};
    EXPECT_EQ(BuildLook(wrongKind.value).error, "element 'Edit.BorderWidth' must be a number");
}

// --- finding a style by name --------------------------------------------------

bool EqualIgnoringAsciiCase(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        auto fold = [](char16_t c) { return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - 32) : c; };
        if (fold(a[i]) != fold(b[i])) return false;
    }
    return true;
}

TEST(StyleCatalog, FindsByNameIgnoringCase) {
    const std::vector<std::u16string> names = {u"Other", pix::utf8::ToUtf16(Parsed().name)};
    struct Case {
        const char16_t* wanted;
        int index;
    } const cases[] = {
        {u"Windows10 Corvanti", 1}, {u"WINDOWS10 CORVANTI", 1}, {u"windows10 corvanti", 1},
        {u"other", 0},              {u"Windows10 Corvant", -1}, {u"Windows10 Corvanti ", -1},
        {u"", -1},                  {u"Windows10Corvanti", -1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FindByName(names, c.wanted, EqualIgnoringAsciiCase), c.index)
            << std::string(c.wanted, c.wanted + std::char_traits<char16_t>::length(c.wanted));
}

}  // namespace
