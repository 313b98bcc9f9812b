#include "tests/pe/manifest_check.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "tests/pe/xml.h"

namespace pe {
namespace {

const std::string kGood = R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<assembly xmlns="urn:schemas-microsoft-com:asm.v1" manifestVersion="1.0">
  <assemblyIdentity type="win32" name="PixGen" version="1.0.0.0"/>
  <dependency>
    <dependentAssembly>
      <assemblyIdentity type="win32" name="Microsoft.Windows.Common-Controls" version="6.0.0.0"
                        processorArchitecture="*" publicKeyToken="6595b64144ccf1df" language="*"/>
    </dependentAssembly>
  </dependency>
  <trustInfo xmlns="urn:schemas-microsoft-com:asm.v3">
    <security>
      <requestedPrivileges>
        <requestedExecutionLevel level="asInvoker" uiAccess="false"/>
      </requestedPrivileges>
    </security>
  </trustInfo>
  <compatibility xmlns="urn:schemas-microsoft-com:compatibility.v1">
    <application>
      <supportedOS Id="{e2011457-1546-43c5-a5fe-008deee3d3f0}"/>
      <supportedOS Id="{35138b9a-5d96-4fbd-8e2d-a2440225f93a}"/>
      <supportedOS Id="{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}"/>
      <supportedOS Id="{1f676c76-80e1-4239-95bb-83d0f6d0da78}"/>
      <supportedOS Id="{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"/>
    </application>
  </compatibility>
  <application xmlns="urn:schemas-microsoft-com:asm.v3">
    <windowsSettings>
      <dpiAware xmlns="http://schemas.microsoft.com/SMI/2005/WindowsSettings">true/pm</dpiAware>
      <dpiAwareness xmlns="http://schemas.microsoft.com/SMI/2016/WindowsSettings">PerMonitorV2</dpiAwareness>
    </windowsSettings>
  </application>
</assembly>
)";

const std::string kDpiAware = R"(<dpiAware xmlns="http://schemas.microsoft.com/SMI/2005/WindowsSettings">true/pm</dpiAware>)";
const std::string kDpiAwareness =
    R"(<dpiAwareness xmlns="http://schemas.microsoft.com/SMI/2016/WindowsSettings">PerMonitorV2</dpiAwareness>)";
const std::string kDependency = R"(<dependency>
    <dependentAssembly>
      <assemblyIdentity type="win32" name="Microsoft.Windows.Common-Controls" version="6.0.0.0"
                        processorArchitecture="*" publicKeyToken="6595b64144ccf1df" language="*"/>
    </dependentAssembly>
  </dependency>)";
const std::string kExecutionLevel = R"(<requestedExecutionLevel level="asInvoker" uiAccess="false"/>)";
const std::string kWindows81 = R"(<supportedOS Id="{1f676c76-80e1-4239-95bb-83d0f6d0da78}"/>)";

struct Edit {
    std::string from;  // empty: insert at the start
    std::string to;
};

// kGood with each piece of text replaced in turn; a piece must be there, or
// the case would test nothing.
std::string Edited(const std::vector<Edit>& edits) {
    std::string s = kGood;
    for (const Edit& e : edits) {
        const std::size_t at = s.find(e.from);
        if (at == std::string::npos) {
            ADD_FAILURE() << "the manifest has no \"" << e.from << "\"";
            continue;
        }
        s.replace(at, e.from.size(), e.to);
    }
    return s;
}

Edit Commented(const std::string& piece) { return {piece, "<!-- " + piece + " -->"}; }

std::string Join(const std::vector<std::string>& lines) {
    std::string s;
    for (const std::string& l : lines) s += "\n  " + l;
    return s.empty() ? " (none)" : s;
}

TEST(ManifestCheck, TheGoodManifestPassesForBothArchitectures) {
    EXPECT_TRUE(CheckManifest(kGood, "x86").empty()) << Join(CheckManifest(kGood, "x86"));
    EXPECT_TRUE(CheckManifest(kGood, "amd64").empty()) << Join(CheckManifest(kGood, "amd64"));
}

TEST(ManifestCheck, TheProgramsOwnManifestPasses) {
    std::ifstream in(PIX_MANIFEST_PATH, std::ios::binary);
    ASSERT_TRUE(in) << "cannot open " << PIX_MANIFEST_PATH;
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_TRUE(CheckManifest(text, "x86").empty()) << Join(CheckManifest(text, "x86"));
    EXPECT_TRUE(CheckManifest(text, "amd64").empty()) << Join(CheckManifest(text, "amd64"));
}

struct Variant {
    const char* name;
    std::vector<Edit> edits;
    const char* problem;  // part of the one line expected; null: no problem
};

void PrintTo(const Variant& v, std::ostream* os) { *os << v.name; }

class ManifestVariant : public ::testing::TestWithParam<Variant> {};

TEST_P(ManifestVariant, IsJudgedRight) {
    const auto problems = CheckManifest(Edited(GetParam().edits), "x86");
    if (!GetParam().problem) {
        EXPECT_TRUE(problems.empty()) << Join(problems);
        return;
    }
    ASSERT_EQ(problems.size(), 1u) << Join(problems);
    EXPECT_NE(problems[0].find(GetParam().problem), std::string::npos) << problems[0];
}

const char kNoDpiAware[] = "no assembly/application/windowsSettings/dpiAware (namespace";
const char kNoDpiAwareness[] = "no assembly/application/windowsSettings/dpiAwareness (namespace";
const char kNoCommonControls[] = "no dependency on Microsoft.Windows.Common-Controls";
const char kNoExecutionLevel[] = "no assembly/trustInfo/security/requestedPrivileges/requestedExecutionLevel";

INSTANTIATE_TEST_SUITE_P(Rejected, ManifestVariant, ::testing::Values(
    // DPI awareness, old form.
    Variant{"DpiAwareMissing", {{kDpiAware, ""}}, kNoDpiAware},
    Variant{"DpiAwareInAComment", {Commented(kDpiAware)}, kNoDpiAware},
    Variant{"DpiAwareOnlySystem", {{">true/pm<", ">true<"}}, R"(dpiAware is "true", expected "true/pm")"},
    Variant{"DpiAwareWithoutItsNamespace", {{kDpiAware, "<dpiAware>true/pm</dpiAware>"}}, kNoDpiAware},
    Variant{"DpiAwareValueInAnotherElement",
            {{kDpiAware, R"(<gdiScaling xmlns="http://schemas.microsoft.com/SMI/2017/WindowsSettings">true/pm</gdiScaling>)"}},
            kNoDpiAware},
    Variant{"DpiAwareOutsideWindowsSettings", {{kDpiAware, ""}, {"<windowsSettings>", kDpiAware + "<windowsSettings>"}},
            kNoDpiAware},
    // DPI awareness, new form.
    Variant{"DpiAwarenessMissing", {{kDpiAwareness, ""}}, kNoDpiAwareness},
    Variant{"DpiAwarenessInAComment", {Commented(kDpiAwareness)}, kNoDpiAwareness},
    Variant{"DpiAwarenessVersionOne", {{">PerMonitorV2<", ">PerMonitor<"}},
            R"(dpiAwareness is "PerMonitor", expected "PerMonitorV2")"},
    Variant{"DpiAwarenessAsAnAttribute",
            {{kDpiAwareness, ""}, {"<windowsSettings>", R"(<windowsSettings dpiAwareness="PerMonitorV2">)"}},
            kNoDpiAwareness},
    Variant{"DpiAwarenessUnderTheWrongApplication", {{kDpiAwareness, ""}, {"<supportedOS", kDpiAwareness + "<supportedOS"}},
            kNoDpiAwareness},
    // Common controls.
    Variant{"CommonControlsMissing", {{kDependency, ""}}, kNoCommonControls},
    Variant{"CommonControlsInAComment", {Commented(kDependency)}, "(dependencies found: none)"},
    Variant{"CommonControlsVersionFive", {{R"(version="6.0.0.0")", R"(version="5.82.0.0")"}},
            R"(Common-Controls version is "5.82.0.0", expected "6.0.0.0")"},
    Variant{"CommonControlsMisnamed", {{"Common-Controls", "CommonControls"}},
            R"((dependencies found: "Microsoft.Windows.CommonControls"))"},
    Variant{"CommonControlsWithoutDependentAssembly", {{"<dependentAssembly>", ""}, {"</dependentAssembly>", ""}},
            kNoCommonControls},
    Variant{"CommonControlsAsTheProgramsIdentity",
            {{kDependency, ""}, {R"(name="PixGen")", R"(name="Microsoft.Windows.Common-Controls")"}}, kNoCommonControls},
    Variant{"CommonControlsWrongKey", {{"6595b64144ccf1df", "6595b64144ccf1de"}}, "publicKeyToken is \"6595b64144ccf1de\""},
    Variant{"CommonControlsNoKey", {{R"(publicKeyToken="6595b64144ccf1df")", ""}}, "publicKeyToken is absent"},
    Variant{"CommonControlsOtherProcessor", {{R"(processorArchitecture="*")", R"(processorArchitecture="amd64")"}},
            R"(processorArchitecture is "amd64", expected "*" or "x86")"},
    Variant{"CommonControlsNotWin32", {{R"(type="win32" name="Microsoft)", R"(type="win64" name="Microsoft)"}},
            R"(type is "win64")"},
    // Execution level.
    Variant{"ExecutionLevelMissing", {{kExecutionLevel, ""}}, kNoExecutionLevel},
    Variant{"ExecutionLevelInAComment", {Commented(kExecutionLevel)}, kNoExecutionLevel},
    Variant{"ExecutionLevelAdministrator", {{R"(level="asInvoker")", R"(level="requireAdministrator")"}},
            R"(level is "requireAdministrator", expected "asInvoker")"},
    Variant{"ExecutionLevelWithoutLevel", {{R"(level="asInvoker")", R"(Level="asInvoker")"}}, "level is absent"},
    Variant{"ExecutionLevelUiAccess", {{R"(uiAccess="false")", R"(uiAccess="true")"}}, R"(uiAccess is "true")"},
    Variant{"TrustInfoInTheAssemblyNamespace", {{R"(<trustInfo xmlns="urn:schemas-microsoft-com:asm.v3">)", "<trustInfo>"}},
            kNoExecutionLevel},
    // Supported systems.
    Variant{"Windows81Missing", {{kWindows81, ""}}, "no supportedOS Id {1f676c76-80e1-4239-95bb-83d0f6d0da78} (Windows 8.1)"},
    Variant{"Windows81InAComment", {Commented(kWindows81)}, "{1f676c76-80e1-4239-95bb-83d0f6d0da78} (Windows 8.1)"},
    Variant{"Windows81Mistyped", {{"{1f676c76-80e1", "{1f676c76-80e2"}}, "{1f676c76-80e2-4239-95bb-83d0f6d0da78}, {8e0f"},
    Variant{"Windows81AsAnotherAttribute", {{R"(<supportedOS Id="{1f67)", R"(<supportedOS Name="{1f67)"}}, "(Windows 8.1)"},
    Variant{"SupportedOsOutsideCompatibility",
            {{kWindows81, ""}, {"<windowsSettings>", kWindows81 + "<windowsSettings>"}}, "(Windows 8.1)"},
    // Structure.
    Variant{"RootInAnotherNamespace", {{"urn:schemas-microsoft-com:asm.v1", "urn:schemas-microsoft-com:asm.v2"}},
            "the root element is <assembly> in namespace \"urn:schemas-microsoft-com:asm.v2\""},
    Variant{"NotWellFormed", {{"</windowsSettings>", "</windowSettings>"}}, "not well-formed XML: end tag does not match"},
    Variant{"Empty", {{kGood, ""}}, "not well-formed XML: expected the root element"}),
    [](const auto& info) { return std::string(info.param.name); });

const std::string kApplication = R"(<application xmlns="urn:schemas-microsoft-com:asm.v3">
    <windowsSettings>
      <dpiAware xmlns="http://schemas.microsoft.com/SMI/2005/WindowsSettings">true/pm</dpiAware>
      <dpiAwareness xmlns="http://schemas.microsoft.com/SMI/2016/WindowsSettings">PerMonitorV2</dpiAwareness>
    </windowsSettings>
  </application>)";
const std::string kPrefixedApplication = R"(<asmv3:application xmlns:asmv3="urn:schemas-microsoft-com:asm.v3">
    <asmv3:windowsSettings xmlns:ws5="http://schemas.microsoft.com/SMI/2005/WindowsSettings"
                           xmlns:ws16="http://schemas.microsoft.com/SMI/2016/WindowsSettings">
      <ws5:dpiAware>true/pm</ws5:dpiAware>
      <ws16:dpiAwareness>PerMonitorV2</ws16:dpiAwareness>
    </asmv3:windowsSettings>
  </asmv3:application>)";

// Forms Windows accepts as the same manifest.
INSTANTIATE_TEST_SUITE_P(Accepted, ManifestVariant, ::testing::Values(
    Variant{"PrefixedNamespaces", {{kApplication, kPrefixedApplication}}, nullptr},
    Variant{"TrustInfoVersionTwo", {{"<trustInfo xmlns=\"urn:schemas-microsoft-com:asm.v3\">",
                                     "<trustInfo xmlns=\"urn:schemas-microsoft-com:asm.v2\">"}},
            nullptr},
    Variant{"UpperCaseIds", {{"{1f676c76-80e1-4239-95bb-83d0f6d0da78}", "{1F676C76-80E1-4239-95BB-83D0F6D0DA78}"}}, nullptr},
    Variant{"ByteOrderMark", {{"", "\xef\xbb\xbf"}}, nullptr},
    Variant{"ProcessorNamed", {{R"(processorArchitecture="*")", R"(processorArchitecture="x86")"}}, nullptr},
    Variant{"CharacterReference", {{R"(level="asInvoker")", R"(level="&#x61;sInvoker")"}}, nullptr},
    Variant{"ValueInCdata", {{">true/pm<", "><![CDATA[true/pm]]><"}}, nullptr},
    Variant{"ValueWithWhiteSpace", {{">PerMonitorV2<", ">\n   PerMonitorV2 \n<"}}, nullptr},
    Variant{"NoUiAccess", {{R"( uiAccess="false")", ""}}, nullptr}),
    [](const auto& info) { return std::string(info.param.name); });

// Each supported system is checked on its own.
TEST(ManifestCheck, EverySupportedSystemIsRequired) {
    const char* ids[] = {"e2011457-1546-43c5-a5fe-008deee3d3f0", "35138b9a-5d96-4fbd-8e2d-a2440225f93a",
                         "4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38", "1f676c76-80e1-4239-95bb-83d0f6d0da78",
                         "8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a"};
    for (const char* id : ids) {
        const std::string line = std::string(R"(<supportedOS Id="{)") + id + R"(}"/>)";
        const auto problems = CheckManifest(Edited({{line, ""}}), "x86");
        ASSERT_EQ(problems.size(), 1u) << id << Join(problems);
        EXPECT_NE(problems[0].find(id), std::string::npos) << problems[0];
    }
}

TEST(ManifestCheck, ProcessorArchitectureMustBeTheBuilds) {
    const std::string x86 = Edited({{R"(processorArchitecture="*")", R"(processorArchitecture="x86")"}});
    const auto problems = CheckManifest(x86, "amd64");
    ASSERT_EQ(problems.size(), 1u) << Join(problems);
    EXPECT_NE(problems[0].find(R"(processorArchitecture is "x86", expected "*" or "amd64")"), std::string::npos) << problems[0];
}

TEST(ManifestCheck, EveryWrongCopyOfASettingIsReported) {
    const std::string second = R"(<dpiAware xmlns="http://schemas.microsoft.com/SMI/2005/WindowsSettings">false</dpiAware>)";
    const auto problems = CheckManifest(Edited({{kDpiAware, kDpiAware + second}}), "x86");
    ASSERT_EQ(problems.size(), 1u) << Join(problems);
    EXPECT_NE(problems[0].find(R"(dpiAware is "false")"), std::string::npos) << problems[0];
}

// --- the XML reader underneath ----------------------------------------------

TEST(Xml, ResolvesNamespacesDecodesReferencesAndGathersText) {
    const xml::Element root = xml::Parse(
        "<?xml version='1.0'?><!-- first --><a:r xmlns:a='urn:a' xmlns='urn:d' k='1&amp;2&#65;&#x42;'>"
        "x<c a:q='v'/>y<![CDATA[<z>]]>&lt;<?pi data?></a:r><!-- last -->");
    EXPECT_EQ(root.ns, "urn:a");
    EXPECT_EQ(root.local, "r");
    ASSERT_NE(root.Find("k"), nullptr);
    EXPECT_EQ(*root.Find("k"), "1&2AB");
    EXPECT_EQ(root.text, "xy<z><");
    ASSERT_EQ(root.children.size(), 1u);
    const xml::Element& c = root.children[0];
    EXPECT_EQ(c.ns, "urn:d");
    ASSERT_EQ(c.attributes.size(), 1u);
    EXPECT_EQ(c.attributes[0].ns, "urn:a");
    EXPECT_EQ(c.attributes[0].local, "q");
    EXPECT_EQ(c.Find("q"), nullptr);  // a namespaced attribute is not the plain one
}

TEST(Xml, NormalisesWhiteSpaceInAttributeValues) {
    EXPECT_EQ(*xml::Parse("<r v='a\tb\nc'/>").Find("v"), "a b c");
}

struct Malformed {
    const char* name;
    const char* document;
    const char* error;
};

void PrintTo(const Malformed& m, std::ostream* os) { *os << m.name; }

class XmlMalformed : public ::testing::TestWithParam<Malformed> {};

TEST_P(XmlMalformed, IsRefused) {
    try {
        xml::Parse(GetParam().document);
        FAIL() << "accepted";
    } catch (const xml::ParseError& e) {
        EXPECT_NE(std::string(e.what()).find(GetParam().error), std::string::npos) << e.what();
    }
}

INSTANTIATE_TEST_SUITE_P(Xml, XmlMalformed, ::testing::Values(
    Malformed{"Empty", "", "expected the root element"},
    Malformed{"TextOnly", "hello", "expected the root element"},
    Malformed{"Unclosed", "<a><b></b>", "unterminated element <a>"},
    Malformed{"Mismatched", "<a><b></a></b>", "end tag does not match <b>"},
    Malformed{"TwoRoots", "<a/><b/>", "content after the root element"},
    Malformed{"UnterminatedComment", "<a><!-- x </a>", "unterminated comment"},
    Malformed{"DoubleHyphenInComment", "<a><!-- x -- y --></a>", "\"--\" inside a comment"},
    Malformed{"UnknownEntity", "<a>&nbsp;</a>", "unknown entity &nbsp;"},
    Malformed{"BareAmpersand", "<a>fish & chips</a>", "unterminated character reference"},
    Malformed{"NulReference", "<a>&#0;</a>", "invalid character"},
    Malformed{"HugeReference", "<a>&#x110000;</a>", "out of range"},
    Malformed{"DuplicateAttribute", "<a x='1' x='2'/>", "duplicate attribute x"},
    Malformed{"DuplicateAfterResolving", "<a xmlns:p='u' xmlns:q='u' p:x='1' q:x='2'/>", "duplicate attribute q:x"},
    Malformed{"UnquotedAttribute", "<a x=1/>", "expected a quoted attribute value"},
    Malformed{"AttributesNotSeparated", "<a x='1'y='2'/>", "expected white space"},
    Malformed{"LessThanInAttribute", "<a x='<'/>", "\"<\" in an attribute value"},
    Malformed{"UndeclaredPrefix", "<p:a/>", "undeclared namespace prefix \"p\""},
    Malformed{"UndeclaredAttributePrefix", "<a p:x='1'/>", "undeclared namespace prefix \"p\""},
    Malformed{"DocumentType", "<!DOCTYPE a [<!ENTITY e 'x'>]><a>&e;</a>", "document type declarations"},
    Malformed{"LateDeclaration", "<a><?xml version='1.0'?></a>", "XML declaration not at the start"},
    Malformed{"UnterminatedCdata", "<a><![CDATA[x</a>", "unterminated CDATA"},
    Malformed{"UnterminatedStartTag", "<a x='1'", "unterminated start tag <a>"},
    Malformed{"UnterminatedAttribute", "<a x='1/>", "unterminated attribute value"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Xml, DeepNestingIsRefusedNotOverflowed) {
    std::string deep;
    for (int i = 0; i < 100000; ++i) deep += "<a>";
    EXPECT_THROW(xml::Parse(deep), xml::ParseError);
}

TEST(Xml, ErrorsGiveTheByteOffset) {
    try {
        xml::Parse("<a>\n<b></c></a>");
        FAIL() << "accepted";
    } catch (const xml::ParseError& e) {
        EXPECT_EQ(e.Offset(), 9u) << e.what();
        EXPECT_NE(std::string(e.what()).find("at byte 9"), std::string::npos) << e.what();
    }
}

}  // namespace
}  // namespace pe
