#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <utility>

#include "pixlib/core/counted_text.h"
#include "quelvano/core/answer.h"

namespace {

using pix::CheckCountedText;
using pix::CountedText;
using pix::CountedTextFault;

// --- what the program hands over ---------------------------------------------

TEST(CountedText, LaysOutHeaderCharactersAndTerminator) {
    for (const std::u16string text : {std::u16string(u"a"), std::u16string(u"Conv\u00eanio \u20ac"),
                                      std::u16string(u"\U0001F600"), std::u16string(10000, u'x')}) {
        const CountedText counted(text);
        ASSERT_NE(counted.Chars(), nullptr);
        // The header sits on a 4-byte boundary right in front of the characters.
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(counted.Chars()) % 4, 0u);
        const pix::CountedTextHeader header = pix::HeaderOf(counted.Chars());
        EXPECT_EQ(header.codePage, 1200);
        EXPECT_EQ(header.elementSize, 2);
        EXPECT_EQ(header.referenceCount, 1);
        EXPECT_EQ(header.length, static_cast<std::int32_t>(text.size()));
        EXPECT_EQ(counted.Length(), text.size());
        EXPECT_EQ(std::u16string(counted.Chars(), text.size()), text);
        EXPECT_EQ(counted.Chars()[text.size()], u'\0');
        EXPECT_EQ(CheckCountedText(counted.Chars()), CountedTextFault::Ok);
    }
}

TEST(CountedText, EmptyIsNull) {
    const CountedText empty(u"");
    EXPECT_EQ(empty.Chars(), nullptr);
    EXPECT_EQ(empty.Length(), 0u);
    EXPECT_EQ(CountedText().Chars(), nullptr);
}

TEST(CountedText, MovesItsBlock) {
    CountedText first(u"abc");
    const char16_t* chars = first.Chars();
    CountedText second(std::move(first));
    EXPECT_EQ(second.Chars(), chars);
    EXPECT_EQ(second.Length(), 3u);
}

TEST(CountedText, BankCodeIsAConstant) {
    const pix::CountedTextHeader header = pix::HeaderOf(pix::kBankCode.Chars());
    EXPECT_EQ(header.referenceCount, -1);
    EXPECT_EQ(header.length, 3);
    EXPECT_EQ(std::u16string(pix::kBankCode.Chars()), u"001");
    EXPECT_EQ(CheckCountedText(pix::kBankCode.Chars()), CountedTextFault::Ok);
}

// --- what a reader finds wrong -------------------------------------------------

// A counted text built by hand: header, up to seven characters, a guard unit.
struct HandMade {
    alignas(4) unsigned char bytes[12 + 2 * 8] = {};

    HandMade(std::uint16_t codePage, std::uint16_t size, std::int32_t references, std::int32_t length,
             std::u16string_view units) {
        const pix::CountedTextHeader header{codePage, size, references, length};
        std::memcpy(bytes, &header, sizeof header);
        std::memcpy(bytes + 12, units.data(), units.size() * 2);
    }
    const char16_t* Chars() const { return reinterpret_cast<const char16_t*>(bytes + 12); }
};

TEST(CheckCountedText, NamesWhatIsWrong) {
    const struct {
        const char* name;
        HandMade text;
        CountedTextFault fault;
        const char* description;
    } cases[] = {
        {"sound", {1200, 2, 1, 3, u"abc\0"}, CountedTextFault::Ok, "ok"},
        {"constant", {1200, 2, -1, 3, u"abc\0"}, CountedTextFault::Ok, "ok"},
        {"shared", {1200, 2, 7, 1, u"a\0"}, CountedTextFault::Ok, "ok"},
        {"ANSI code page", {1252, 2, 1, 3, u"abc\0"}, CountedTextFault::CodePage, "code page is not 1200"},
        {"one-byte elements", {1200, 1, 1, 3, u"abc\0"}, CountedTextFault::ElementSize, "element size is not 2"},
        {"no references", {1200, 2, 0, 3, u"abc\0"}, CountedTextFault::ReferenceCount,
         "reference count is neither -1 nor positive"},
        {"freed", {1200, 2, -2, 3, u"abc\0"}, CountedTextFault::ReferenceCount,
         "reference count is neither -1 nor positive"},
        {"empty", {1200, 2, 1, 0, u"\0"}, CountedTextFault::Length, "length is below 1"},
        {"negative length", {1200, 2, 1, -3, u"abc\0"}, CountedTextFault::Length, "length is below 1"},
        {"zero inside", {1200, 2, 1, 3, u"a\0c\0"}, CountedTextFault::Terminator,
         "length differs from the code units before the terminator"},
        {"no terminator", {1200, 2, 1, 3, u"abcd"}, CountedTextFault::Terminator,
         "length differs from the code units before the terminator"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CheckCountedText(c.text.Chars()), c.fault) << c.name;
        EXPECT_STREQ(pix::DescribeCountedTextFault(CheckCountedText(c.text.Chars())), c.description) << c.name;
    }
}

// --- what the stand-in says back -------------------------------------------------

TEST(StandInAnswer, MasksAllButTheLastFour) {
    const struct {
        std::u16string secret, masked;
    } cases[] = {
        {u"", u""}, {u"abcd", u"abcd"}, {u"abcde", u"*bcde"}, {u"s3cr3t!", u"***r3t!"}, {u"\u00e7\u00e3o12", u"*\u00e3o12"},
    };
    for (const auto& c : cases) EXPECT_EQ(quelvano::Masked(c.secret), c.masked);
}

TEST(StandInAnswer, DatesAndAmounts) {
    EXPECT_EQ(quelvano::IsoDate(0), "1899-12-30");
    EXPECT_EQ(quelvano::IsoDate(44551.9), "2021-12-21");  // the time of day is dropped
    EXPECT_EQ(quelvano::IsoDate(-1), "1899-12-29");
    EXPECT_EQ(quelvano::IsoDate(60), "1900-02-28");
    EXPECT_EQ(quelvano::IsoDate(2958465), "9999-12-31");
    EXPECT_EQ(quelvano::AllDigits(12.5), "12.5");
    EXPECT_EQ(quelvano::AllDigits(0.1), "0.1");
    EXPECT_EQ(quelvano::AllDigits(150.75), "150.75");
    EXPECT_EQ(quelvano::AllDigits(1e300), "1e+300");
}

TEST(StandInAnswer, OneLineForEachArgument) {
    quelvano::Received call;
    call.bankCode = u"001";
    call.chavePix = u"pix@empresa.com.br";
    call.convenio = u"3128557";
    call.developerApplicationKey = u"d27b7789";
    call.clientId = u"abc";
    call.clientSecret = u"s3cr3t!";
    call.boleto = u"00031285570000104000";
    call.valor = 150.75;
    call.vencimento = 44551;
    EXPECT_EQ(quelvano::DescribeCall(call),
              u"Quelvano (stand-in) NewPix\r\nBanco: 001\r\nChave Pix: pix@empresa.com.br\r\n"
              u"Conv\u00eanio: 3128557\r\nDeveloperApplicationKey: ****7789\r\nClientId: abc\r\n"
              u"ClientSecret: ***r3t!\r\nBoleto: 00031285570000104000\r\nValor: 150.75\r\n"
              u"Vencimento: 2021-12-21");
}

TEST(StandInAnswer, NamesTheBrokenArgument) {
    EXPECT_EQ(quelvano::DescribeBrokenArgument("convenio", "length is below 1"),
              u"Quelvano (stand-in) NewPix: argument convenio breaks the counted-text layout: length is below 1");
}

}  // namespace
