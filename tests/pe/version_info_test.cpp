#include "tests/pe/version_info.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "tests/pe/image_builder.h"
#include "tests/pe/pe_checks.h"

namespace pe {
namespace {

// VS_VERSIONINFO laid out by the rules of the format, independently of the
// reader: each node its length, value length, type, key, value, children,
// every part on a 4-byte boundary.
class Blob {
public:
    struct Node {
        std::u16string key;
        std::vector<std::uint8_t> value;
        bool text = false;
        std::size_t valueLength = 0;  // units: characters for text, bytes else
        std::vector<Node> children;
    };

    static Node Text(std::u16string key, std::u16string value) {
        Node node{std::move(key), {}, true, value.size() + 1, {}};
        for (char16_t c : value + u'\0') {
            node.value.push_back(static_cast<std::uint8_t>(c));
            node.value.push_back(static_cast<std::uint8_t>(c >> 8));
        }
        return node;
    }
    static Node Parent(std::u16string key, std::vector<Node> children) {
        return Node{std::move(key), {}, true, 0, std::move(children)};
    }

    static std::vector<std::uint8_t> Write(const Node& node) {
        std::vector<std::uint8_t> out;
        Put(out, node);
        return out;
    }

private:
    static void Pad(std::vector<std::uint8_t>& out) {
        while (out.size() % 4) out.push_back(0);
    }
    static void Put16(std::vector<std::uint8_t>& out, std::size_t at, std::size_t v) {
        out[at] = static_cast<std::uint8_t>(v);
        out[at + 1] = static_cast<std::uint8_t>(v >> 8);
    }
    static void Put(std::vector<std::uint8_t>& out, const Node& node) {
        Pad(out);
        const std::size_t start = out.size();
        out.resize(start + 6);
        Put16(out, start + 2, node.valueLength);
        Put16(out, start + 4, node.text ? 1 : 0);
        for (char16_t c : node.key + u'\0') {
            out.push_back(static_cast<std::uint8_t>(c));
            out.push_back(static_cast<std::uint8_t>(c >> 8));
        }
        Pad(out);
        out.insert(out.end(), node.value.begin(), node.value.end());
        for (const Node& child : node.children) Put(out, child);
        Put16(out, start, out.size() - start);
    }
};

std::vector<std::uint8_t> FixedInfo(std::uint16_t a, std::uint16_t b, std::uint16_t c, std::uint16_t d,
                                    std::uint32_t fileType) {
    std::vector<std::uint8_t> v(52, 0);
    const auto put = [&](std::size_t at, std::uint32_t x) {
        for (int i = 0; i < 4; ++i) v[at + i] = static_cast<std::uint8_t>(x >> (8 * i));
    };
    put(0, kFixedFileInfoSignature);
    put(4, 0x00010000);
    put(8, std::uint32_t{a} << 16 | b);
    put(12, std::uint32_t{c} << 16 | d);
    put(16, std::uint32_t{a} << 16 | b);
    put(20, std::uint32_t{c} << 16 | d);
    put(36, fileType);
    return v;
}

std::vector<std::uint8_t> Resource(const std::string& version, std::uint32_t fileType, const std::u16string& file,
                                   std::uint16_t major = 1, std::uint16_t minor = 0) {
    Blob::Node root{u"VS_VERSION_INFO", FixedInfo(major, minor, 0, 0, fileType), false, 52, {}};
    const std::u16string v(version.begin(), version.end());
    root.children = {
        Blob::Parent(u"StringFileInfo",
                     {Blob::Parent(u"040904B0", {Blob::Text(u"FileDescription", u"Um programa"),
                                                 Blob::Text(u"FileVersion", v), Blob::Text(u"OriginalFilename", file),
                                                 Blob::Text(u"ProductName", u"PixGen"),
                                                 Blob::Text(u"ProductVersion", v)})}),
        Blob::Node{u"VarFileInfo", {}, true, 0,
                   {Blob::Node{u"Translation", {0x09, 0x04, 0xB0, 0x04}, false, 4, {}}}},
    };
    return Blob::Write(root);
}

TEST(VersionInfo, ReadsTheFixedPartAndTheStrings) {
    const VersionInfo info = ParseVersionInfo(Resource("1.0", kFileTypeDll, u"Quelvano.dll", 1, 0));
    EXPECT_EQ(info.fileVersion[0], 1);
    EXPECT_EQ(info.fileVersion[1], 0);
    EXPECT_EQ(info.productVersion[0], 1);
    EXPECT_EQ(info.fileType, kFileTypeDll);
    EXPECT_EQ(info.table, "040904B0");
    EXPECT_EQ(info.String("OriginalFilename"), "Quelvano.dll");
    EXPECT_EQ(info.String("FileVersion"), "1.0");
    EXPECT_EQ(info.String("FileDescription"), "Um programa");
    EXPECT_EQ(info.String("Nothing"), "");
}

TEST(VersionInfo, RefusesWhatDoesNotAddUp) {
    const std::vector<std::uint8_t> good = Resource("1.0", kFileTypeApp, u"PixGen.exe");
    const struct {
        const char* name;
        std::vector<std::uint8_t> data;
    } cases[] = {
        {"cut in the middle", std::vector<std::uint8_t>(good.begin(), good.begin() + good.size() / 2)},
        {"empty", {}},
        {"a length beyond the data", [&] { auto d = good; d[0] = 0xFF; d[1] = 0xFF; return d; }()},
        {"another root", [&] { auto d = good; d[6] = 'X'; return d; }()},
        {"no fixed information's signature", [&] { auto d = good; d[40] ^= 0xFF; return d; }()},
    };
    for (const auto& c : cases) EXPECT_THROW(ParseVersionInfo(c.data), FormatError) << c.name;
}

// The check of a file of the download, on images that carry the resource.
TEST(VersionInfo, CheckNamesEachWrongPart) {
    const auto check = [](const std::vector<std::uint8_t>& resource, std::uint32_t type, const std::string& file) {
        test::ImagePlan plan;
        if (!resource.empty())
            plan.resources = {{kResourceTypeVersion, 1, u"", 0x409, std::string(resource.begin(), resource.end())}};
        return CheckVersion(PeFile::Parse(test::Build(plan).bytes), "1.0", type, file);
    };
    EXPECT_TRUE(check(Resource("1.0", kFileTypeApp, u"PixGen.exe"), kFileTypeApp, "PixGen.exe").empty());
    EXPECT_EQ(check({}, kFileTypeApp, "PixGen.exe"),
              std::vector<std::string>{"has no version resource (type 16, id 1)"});
    EXPECT_EQ(check(Resource("1.0", kFileTypeApp, u"PixGen.exe", 1, 2), kFileTypeApp, "PixGen.exe"),
              (std::vector<std::string>{"FILEVERSION is 1.2.0.0, expected 1.0.0.0",
                                        "PRODUCTVERSION is 1.2.0.0, expected 1.0.0.0"}));
    EXPECT_EQ(check(Resource("1.0", kFileTypeApp, u"PixGen.exe"), kFileTypeDll, "PixGen.exe"),
              std::vector<std::string>{"FILETYPE is 1, expected 2"});
    EXPECT_EQ(check(Resource("0.9", kFileTypeDll, u"Other.dll"), kFileTypeDll, "Quelvano.dll"),
              (std::vector<std::string>{"version string FileVersion is \"0.9\", expected \"1.0\"",
                                        "version string ProductVersion is \"0.9\", expected \"1.0\"",
                                        "version string OriginalFilename is \"Other.dll\", expected \"Quelvano.dll\""}));
}

}  // namespace
}  // namespace pe
