#include <gtest/gtest.h>

#include <string>

#include "win/core/title.h"

namespace {

// Enough of CharLowerBuffW for the cases: ASCII and Latin-1 capitals.
void LowerAsciiAndLatin1(char16_t* text, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        char16_t& c = text[i];
        if ((c >= u'A' && c <= u'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7)) c = static_cast<char16_t>(c + 32);
    }
}

std::u16string Title(std::u16string_view path) { return pix::ApplicationTitle(path, &LowerAsciiAndLatin1); }

TEST(ApplicationTitle, FollowsTheFileNameRule) {
    const struct {
        std::u16string_view path;
        std::u16string_view title;
    } cases[] = {
        {u"C:\\Apps\\pixgen.exe", u"pixgen"},           // first character keeps its case
        {u"C:\\Apps\\PIXGEN.EXE", u"Pixgen"},
        {u"C:\\Apps\\PixGen.exe", u"Pixgen"},
        {u"C:\\Apps\\Pix.Gen.exe", u"Pix"},             // cut at the first dot
        {u"C:\\Apps\\PixGen.Test.exe", u"Pixgen"},
        {u"C:\\Apps\\.hidden.exe", u""},                // a leading dot leaves nothing
        {u"C:\\Dir.With.Dots\\PixGen.exe", u"Pixgen"},  // only the file name counts
        {u"PixGen", u"Pixgen"},                         // no folder, no extension
        {u"C:\\Apps\\\u00c7AIXA.exe", u"\u00c7aixa"},
        {u"C:\\Apps\\X.exe", u"X"},
        {u"C:\\Apps\\\xD83D\xDE00" u"ABC.exe", u"\xD83D\xDE00" u"abc"},  // a surrogate pair is one character
    };
    for (const auto& c : cases) EXPECT_EQ(Title(c.path), c.title) << std::string(c.path.begin(), c.path.end());
}

TEST(ApplicationTitle, ReadsPathsLongerThanMaxPath) {
    // A 256-unit buffer would cut this path inside the folders and give a
    // title made of a folder's name.
    std::u16string path = u"\\\\?\\C:";
    while (path.size() < 300) path += u"\\AVeryLongFolderNameIndeed";
    path += u"\\PixGen.exe";
    ASSERT_GT(path.size(), 260u);
    EXPECT_EQ(Title(path), u"Pixgen");
}

}  // namespace
