#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "form/core/memo_text.h"

namespace {

// Control characters made visible, so that a failure shows where the breaks are.
std::string Show(std::u16string_view text) {
    std::string shown = "\"";
    for (char16_t c : text) {
        if (c == u'\r')
            shown += "\\r";
        else if (c == u'\n')
            shown += "\\n";
        else if (c >= 0x20 && c < 0x7F)
            shown += static_cast<char>(c);
        else
            shown += "\\u" + std::to_string(static_cast<unsigned>(c));
    }
    return shown + "\"";
}

// The area's text after appending line.
std::u16string Appended(std::u16string text, std::u16string_view line) {
    text += pix::TextForAppendingLine(text, line);
    return text;
}

// One successful Gerar press: the result as a line, then an empty line.
std::u16string Pressed(std::u16string text, std::u16string_view result) {
    return Appended(Appended(std::move(text), result), u"");
}

TEST(TextForAppendingLine, StartsANewLineOnlyWhenTheLastOneIsNotEmpty) {
    const struct {
        std::u16string_view current;
        std::u16string_view line;
        std::u16string_view insertion;
    } cases[] = {
        {u"", u"abc", u"abc\r\n"},
        {u"", u"", u"\r\n"},
        {u"typed\r\n", u"abc", u"abc\r\n"},
        {u"typed\r\n", u"", u"\r\n"},
        {u"\r\n", u"abc", u"abc\r\n"},
        {u"a\r\n\r\n", u"abc", u"abc\r\n"},
        {u"typed", u"abc", u"\r\nabc"},
        {u"typed", u"", u"\r\n\r\n"},  // an empty line after a line that is not: a further break
        {u" ", u"abc", u"\r\nabc"},
        {u"a\r\nb", u"abc", u"\r\nabc"},
        // Inside the line everything goes in unchanged, CR LF pairs included.
        {u"", u"one\r\ntwo", u"one\r\ntwo\r\n"},
        {u"typed", u"one\r\ntwo\r\n", u"\r\none\r\ntwo\r\n"},
        {u"", u" \t\x01 x \x7F", u" \t\x01 x \x7F\r\n"},
        {u"", u"lone\nLF and lone\rCR", u"lone\nLF and lone\rCR\r\n"},
        // A lone CR or LF does not break the edit control's line: the last
        // line is not empty, so the line goes after a CR LF.
        {u"typed\n", u"abc", u"\r\nabc"},
        {u"typed\r", u"abc", u"\r\nabc"},
        {u"typed\n\r", u"abc", u"\r\nabc"},
        {u"\n", u"", u"\r\n\r\n"},
        {u"\r", u"abc", u"\r\nabc"},
        {u"typed\r\r\n", u"abc", u"abc\r\n"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(pix::TextForAppendingLine(c.current, c.line), c.insertion)
            << Show(c.current) << " + " << Show(c.line) << ": got "
            << Show(pix::TextForAppendingLine(c.current, c.line));
}

TEST(TextForAppendingLine, PressesLeaveEachResultFollowedByAnEmptyLine) {
    const struct {
        const char* what;
        std::u16string_view before;
        std::u16string_view results[2];
        std::u16string_view after;
    } cases[] = {
        {"two presses on an empty area", u"", {u"result 1", u"result 2"}, u"result 1\r\n\r\nresult 2\r\n\r\n"},
        {"empty results", u"", {u"", u""}, u"\r\n\r\n\r\n\r\n"},
        {"typed text without a final break", u"typed", {u"R1", u"R2"}, u"typed\r\nR1\r\n\r\nR2\r\n\r\n"},
        {"typed text with a final break", u"typed\r\n", {u"R1", u"R2"}, u"typed\r\nR1\r\n\r\nR2\r\n\r\n"},
        {"an empty result after typed text", u"typed", {u"", u"R2"}, u"typed\r\n\r\n\r\nR2\r\n\r\n"},
        {"results of several lines", u"", {u"a\r\nb", u"c\r\n"}, u"a\r\nb\r\n\r\nc\r\n\r\n\r\n"},
        {"typed text ending with a lone LF", u"typed\n", {u"R1", u"R2"}, u"typed\n\r\nR1\r\n\r\nR2\r\n\r\n"},
    };
    for (const auto& c : cases) {
        const std::u16string after = Pressed(Pressed(std::u16string(c.before), c.results[0]), c.results[1]);
        EXPECT_EQ(after, c.after) << c.what << ": got " << Show(after);
    }
}

// Every text of up to seven characters made of what matters at a line's end
// (a letter, a space, CR, LF), with lines that matter to the rule: its end
// alone gives the insertion the whole text gives.
TEST(TextForAppendingLine, ReadsNoMoreThanTheEndOfTheText) {
    constexpr char16_t kAlphabet[] = {u'a', u' ', u'\r', u'\n'};
    constexpr std::u16string_view kLines[] = {u"", u"abc", u"\r\n", u"\n", u"x\r"};
    std::vector<std::u16string> texts{u""};
    for (std::size_t start = 0; texts.back().size() < 7;) {
        const std::size_t end = texts.size();
        for (std::size_t i = start; i < end; ++i)
            for (char16_t c : kAlphabet) texts.push_back(texts[i] + c);
        start = end;
    }
    ASSERT_EQ(texts.size(), std::size_t{1 + 4 + 16 + 64 + 256 + 1024 + 4096 + 16384});
    for (const std::u16string& text : texts) {
        const std::size_t count = std::min(text.size(), pix::kTextEndTheRuleReads);
        const std::u16string_view end = std::u16string_view(text).substr(text.size() - count);
        for (std::u16string_view line : kLines)
            ASSERT_EQ(pix::TextForAppendingLine(end, line), pix::TextForAppendingLine(text, line))
                << Show(text) << " + " << Show(line);
    }
}

}  // namespace
