#include "tests/pe/pe_file.h"

#include <gtest/gtest.h>

#include <functional>

#include "tests/pe/image_builder.h"

namespace pe {
namespace {

using test::Build;
using test::Image;
using test::ImagePlan;
using test::Thunk;

// An image with something in every table the reader knows.
ImagePlan FullPlan(bool plus) {
    ImagePlan plan;
    plan.pe32plus = plus;
    plan.machine = plus ? kMachineAmd64 : kMachineI386;
    plan.majorSubsystemVersion = 5;
    plan.minorSubsystemVersion = 2;
    plan.imports = {{"KERNEL32.dll", {Thunk::Name("ExitProcess"), Thunk::Name("Sleep")}},
                    {"Quelvano.dll", {Thunk::Name("NewPix")}},
                    {"COMCTL32.dll", {Thunk::Ordinal(17), Thunk::Name("InitCommonControlsEx")}}};
    plan.delayImports = {{"uxtheme.dll", {Thunk::Name("OpenThemeData"), Thunk::Ordinal(42)}}};
    plan.exportDllName = "Some.dll";
    plan.exports = {{"Alpha", ""}, {"", ""}, {"Forwarded", "OTHER.Target"}};
    plan.resources = {{24, 1, u"", 0x409, "<manifest/>"},
                      {24, 1, u"", 0x416, "<outro/>"},
                      {3, 7, u"", 0, std::string("\x01\x00\x02", 3)},
                      {14, 0, u"MAINICON", 0, "group"}};
    return plan;
}

// Everything the reader can be asked, so that each table is walked.
void ReadEverything(const PeFile& file) {
    file.Imports();
    file.DelayImports();
    file.ReadExports();
    file.Resources();
}

// The first DLL's import descriptor, and its first lookup entry.
std::size_t Descriptor(const Image& i) { return i.OffsetOfRva(i.importRva); }
std::size_t FirstThunk(const Image& i) { return i.OffsetOfRva(i.Get32(Descriptor(i))); }
std::size_t ExportDir(const Image& i) { return i.OffsetOfRva(i.exportRva); }
std::size_t ResourceRoot(const Image& i) { return i.OffsetOfRva(i.resourceRva); }
// The RVA just past the section's contents (the padding after is not mapped).
std::uint32_t SectionEnd(const Image& i) { return i.sectionRva + i.Get32(i.SectionHeaderOffset() + 8); }

class PeFileTest : public ::testing::TestWithParam<bool> {
protected:
    bool Plus() const { return GetParam(); }
};

INSTANTIATE_TEST_SUITE_P(Formats, PeFileTest, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Pe32Plus" : "Pe32"; });

TEST_P(PeFileTest, ReadsTheHeaders) {
    const PeFile file = PeFile::Parse(Build(FullPlan(Plus())).bytes);
    const Headers& h = file.GetHeaders();
    EXPECT_EQ(h.machine, Plus() ? kMachineAmd64 : kMachineI386);
    EXPECT_EQ(h.magic, Plus() ? kMagicPe32Plus : kMagicPe32);
    EXPECT_EQ(file.IsPe32Plus(), Plus());
    EXPECT_EQ(h.imageBase, 0x400000u);
    EXPECT_EQ(h.subsystem, kSubsystemWindowsGui);
    EXPECT_EQ(h.majorSubsystemVersion, 5);
    EXPECT_EQ(h.minorSubsystemVersion, 2);
    EXPECT_EQ(h.characteristics & kFileDll, 0);
    ASSERT_EQ(file.Sections().size(), 1u);
    EXPECT_EQ(file.Sections()[0].name, ".rdata");
    EXPECT_EQ(file.Sections()[0].virtualAddress, 0x1000u);
    EXPECT_FALSE(file.Directory(kDirectoryCount).Present());
}

TEST_P(PeFileTest, ReadsImportsByNameAndByOrdinal) {
    const auto imports = PeFile::Parse(Build(FullPlan(Plus())).bytes).Imports();
    ASSERT_EQ(imports.size(), 3u);
    EXPECT_EQ(imports[0].name, "KERNEL32.dll");
    ASSERT_EQ(imports[0].functions.size(), 2u);
    EXPECT_EQ(imports[0].functions[1].name, "Sleep");
    EXPECT_EQ(imports[0].functions[1].hint, 1);
    EXPECT_FALSE(imports[0].functions[1].byOrdinal);
    EXPECT_EQ(imports[1].name, "Quelvano.dll");
    ASSERT_EQ(imports[1].functions.size(), 1u);
    EXPECT_EQ(imports[1].functions[0].name, "NewPix");
    ASSERT_EQ(imports[2].functions.size(), 2u);
    EXPECT_TRUE(imports[2].functions[0].byOrdinal);
    EXPECT_EQ(imports[2].functions[0].ordinal, 17);
    EXPECT_EQ(imports[2].functions[0].name, "");
    EXPECT_EQ(imports[2].functions[1].name, "InitCommonControlsEx");
}

TEST_P(PeFileTest, ReadsDelayImportsApartFromImports) {
    const auto delayed = PeFile::Parse(Build(FullPlan(Plus())).bytes).DelayImports();
    ASSERT_EQ(delayed.size(), 1u);
    EXPECT_EQ(delayed[0].name, "uxtheme.dll");
    ASSERT_EQ(delayed[0].functions.size(), 2u);
    EXPECT_EQ(delayed[0].functions[0].name, "OpenThemeData");
    EXPECT_TRUE(delayed[0].functions[1].byOrdinal);
    EXPECT_EQ(delayed[0].functions[1].ordinal, 42);
}

TEST_P(PeFileTest, ReadsOldStyleDelayImportsHoldingAddresses) {
    Image image = Build(FullPlan(Plus()));
    const std::size_t d = image.OffsetOfRva(image.delayImportRva);
    image.Put32(d, 0);  // attributes: addresses, not RVAs
    image.Put32(d + 4, image.Get32(d + 4) + 0x400000);
    image.Put32(d + 16, image.Get32(d + 16) + 0x400000);
    const auto delayed = PeFile::Parse(image.bytes).DelayImports();
    ASSERT_EQ(delayed.size(), 1u);
    EXPECT_EQ(delayed[0].name, "uxtheme.dll");
    EXPECT_EQ(delayed[0].functions.size(), 2u);
}

TEST_P(PeFileTest, ReadsExportsNamedUnnamedAndForwarded) {
    const Exports exports = PeFile::Parse(Build(FullPlan(Plus())).bytes).ReadExports();
    EXPECT_EQ(exports.dllName, "Some.dll");
    ASSERT_EQ(exports.functions.size(), 3u);
    EXPECT_EQ(exports.functions[0].name, "Alpha");
    EXPECT_EQ(exports.functions[0].ordinal, 1u);
    EXPECT_EQ(exports.functions[0].forwarder, "");
    EXPECT_EQ(exports.functions[1].name, "Forwarded");
    EXPECT_EQ(exports.functions[1].ordinal, 3u);
    EXPECT_EQ(exports.functions[1].forwarder, "OTHER.Target");
    EXPECT_EQ(exports.functions[2].name, "");  // the unnamed one comes last
    EXPECT_EQ(exports.functions[2].ordinal, 2u);
}

TEST_P(PeFileTest, ReadsTheResourceTree) {
    const PeFile file = PeFile::Parse(Build(FullPlan(Plus())).bytes);
    const auto resources = file.Resources();
    ASSERT_EQ(resources.size(), 4u);
    const auto manifests = file.FindResources(kResourceTypeManifest, 1);
    ASSERT_EQ(manifests.size(), 2u);
    EXPECT_EQ(manifests[0].language, 0x409);
    EXPECT_EQ(std::string(manifests[0].data.begin(), manifests[0].data.end()), "<manifest/>");
    EXPECT_EQ(manifests[1].language, 0x416);
    EXPECT_EQ(std::string(manifests[1].data.begin(), manifests[1].data.end()), "<outro/>");
    const auto icons = file.FindResources(kResourceTypeIcon, 7);
    ASSERT_EQ(icons.size(), 1u);
    EXPECT_EQ(icons[0].data, (std::vector<std::uint8_t>{1, 0, 2}));
    bool foundNamed = false;
    for (const Resource& r : resources) {
        if (r.type.Is(kResourceTypeGroupIcon)) {
            EXPECT_TRUE(r.name.named);
            EXPECT_EQ(r.name.name, u"MAINICON");
            EXPECT_EQ(r.name.Describe(), "\"MAINICON\"");
            foundNamed = true;
        }
    }
    EXPECT_TRUE(foundNamed);
    EXPECT_TRUE(file.FindResources(kResourceTypeManifest, 2).empty());
}

TEST_P(PeFileTest, AbsentTablesReadAsEmpty) {
    ImagePlan plan;
    plan.pe32plus = Plus();
    const PeFile file = PeFile::Parse(Build(plan).bytes);
    EXPECT_TRUE(file.Imports().empty());
    EXPECT_TRUE(file.DelayImports().empty());
    EXPECT_TRUE(file.ReadExports().functions.empty());
    EXPECT_TRUE(file.Resources().empty());
}

// Cutting the image anywhere must give either a clean reading or a
// FormatError; the sanitizers catch any read outside the buffer.
TEST_P(PeFileTest, EveryTruncationFailsCleanly) {
    const Image image = Build(FullPlan(Plus()));
    const std::vector<std::uint8_t>& whole = image.bytes;
    // The last table byte is the end of the last resource's data; only the
    // padding after it may be lost.
    const std::size_t needed = image.OffsetOfRva(SectionEnd(image));
    for (std::size_t size = 0; size < whole.size(); ++size) {
        const std::vector<std::uint8_t> cut(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(size));
        bool read = true;
        try {
            ReadEverything(PeFile::Parse(cut));
        } catch (const FormatError&) {
            read = false;
        }
        EXPECT_EQ(read, size >= needed) << "truncated to " << size << " bytes of " << whole.size();
    }
}

// Each byte set to two hostile values in turn: still no read outside the
// buffer, no other exception, no hang.
TEST_P(PeFileTest, EveryCorruptedByteFailsCleanly) {
    const std::vector<std::uint8_t> whole = Build(FullPlan(Plus())).bytes;
    for (std::size_t at = 0; at < whole.size(); ++at) {
        for (std::uint8_t value : {std::uint8_t{0xff}, std::uint8_t{0x80}}) {
            std::vector<std::uint8_t> bad = whole;
            bad[at] = value;
            try {
                ReadEverything(PeFile::Parse(bad));
            } catch (const FormatError&) {
            }
        }
    }
}

struct Corruption {
    const char* name;
    std::function<void(Image&)> apply;
    std::function<void(const PeFile&)> read;
    const char* message;  // part of the FormatError's text
};

void PrintTo(const Corruption& c, std::ostream* os) { *os << c.name; }

class CorruptionTest : public ::testing::TestWithParam<Corruption> {};

const auto kHeadersOnly = [](const PeFile&) {};
const auto kImports = [](const PeFile& f) { f.Imports(); };
const auto kDelayImports = [](const PeFile& f) { f.DelayImports(); };
const auto kExports = [](const PeFile& f) { f.ReadExports(); };
const auto kResources = [](const PeFile& f) { f.Resources(); };

const Corruption kCorruptions[] = {
    {"NoMzSignature", [](Image& i) { i.bytes[0] = 'X'; }, kHeadersOnly, "no MZ signature"},
    {"PeOffsetBeyondFile", [](Image& i) { i.Put32(0x3c, 0xfffffff0u); }, kHeadersOnly, "PE signature"},
    {"NoPeSignature", [](Image& i) { i.bytes[Image::kPeOffset] = 'Q'; }, kHeadersOnly, "no PE signature"},
    {"UnknownMagic", [](Image& i) { i.Put16(Image::kOptionalOffset, 0x107); }, kHeadersOnly, "unknown optional header magic"},
    {"OptionalHeaderTooSmall", [](Image& i) { i.Put16(Image::kCoffOffset + 16, 40); }, kHeadersOnly, "too small"},
    {"OptionalHeaderBeyondFile", [](Image& i) { i.Put16(Image::kCoffOffset + 16, 0xffff); }, kHeadersOnly, "optional header"},
    {"SectionTableBeyondFile", [](Image& i) { i.Put16(Image::kCoffOffset + 2, 0xffff); }, kHeadersOnly, "section table"},
    {"ImportDirectoryInNoSection", [](Image& i) { i.Put32(i.DirectoryOffset(kDirectoryImport), 0x90000); }, kImports,
     "lies in no section"},
    {"ImportDirectoryAtFileEnd",
     [](Image& i) { i.Put32(i.DirectoryOffset(kDirectoryImport), SectionEnd(i) - 4); },
     kImports, "run past the file data"},
    {"SectionDataBeyondFile", [](Image& i) { i.Put32(i.SectionHeaderOffset() + 20, 0x7ffffff0u); }, kImports,
     "beyond the end of the file"},
    {"DllNameOutOfRange", [](Image& i) { i.Put32(Descriptor(i) + 12, 0x7fffff00u); }, kImports, "imported DLL name"},
    {"DllNameUnterminated",
     [](Image& i) {
         const std::uint32_t end = SectionEnd(i);
         for (std::uint32_t k = end - 8; k < end; ++k) i.bytes[i.OffsetOfRva(k)] = 'a';
         i.Put32(Descriptor(i) + 12, end - 8);
     },
     kImports, "imported DLL name: RVA"},
    {"NoLookupTable",
     [](Image& i) {
         i.Put32(Descriptor(i), 0);
         i.Put32(Descriptor(i) + 16, 0);
     },
     kImports, "no lookup table"},
    {"HintNameOutOfRange", [](Image& i) { i.Put32(FirstThunk(i), 0x7ffffff0u); }, kImports, "import hint"},
    {"DelayNameTableMissing", [](Image& i) { i.Put32(i.OffsetOfRva(i.delayImportRva) + 16, 0); }, kDelayImports,
     "has no name table"},
    {"DelayAddressBelowImageBase",
     [](Image& i) { i.Put32(i.OffsetOfRva(i.delayImportRva), 0); }, kDelayImports, "below the image base"},
    {"ExportCountHuge", [](Image& i) { i.Put32(ExportDir(i) + 20, 0x40000000u); }, kExports, "export address table"},
    {"ExportNameCountHuge", [](Image& i) { i.Put32(ExportDir(i) + 24, 0x40000000u); }, kExports, "export name table"},
    {"ExportOrdinalOutOfRange", [](Image& i) { i.Put32(ExportDir(i) + 20, 0); }, kExports, "refers to function"},
    {"ResourceEntryCountHuge", [](Image& i) { i.Put16(ResourceRoot(i) + 14, 0xffff); }, kResources,
     "resource directory entries"},
    {"ResourceDataEntryAtTypeLevel",
     [](Image& i) { i.Put32(ResourceRoot(i) + 20, i.Get32(ResourceRoot(i) + 20) & 0x7fffffffu); }, kResources,
     "a data entry at level 0"},
    // Every type entry leads back to the root: without the level rule this
    // would never end.
    {"ResourceDirectoryPointsToItself",
     [](Image& i) {
         for (std::size_t e = 0; e < 3; ++e) i.Put32(ResourceRoot(i) + 16 + e * 8 + 4, 0x80000000u);
     },
     kResources, "a subdirectory at level 2"},
    {"ResourceDataOutOfRange",
     [](Image& i) {
         // The data entries follow the directories; find the first by its code page.
         for (std::size_t k = ResourceRoot(i); k + 16 <= i.bytes.size(); k += 4) {
             if (i.Get32(k + 8) == 65001) {
                 i.Put32(k + 4, 0x10000000u);
                 return;
             }
         }
     },
     kResources, "resource data"},
};

INSTANTIATE_TEST_SUITE_P(Reader, CorruptionTest, ::testing::ValuesIn(kCorruptions),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_P(CorruptionTest, RaisesFormatError) {
    for (bool plus : {false, true}) {
        Image image = Build(FullPlan(plus));
        GetParam().apply(image);
        try {
            GetParam().read(PeFile::Parse(image.bytes));
            ADD_FAILURE() << "no FormatError (" << (plus ? "PE32+" : "PE32") << ")";
        } catch (const FormatError& e) {
            EXPECT_NE(std::string(e.what()).find(GetParam().message), std::string::npos)
                << "message: " << e.what() << " (" << (plus ? "PE32+" : "PE32") << ")";
        }
    }
}

TEST(PeFileLoad, MissingFileIsAnError) {
    try {
        PeFile::Load("/nonexistent/PixGen.exe");
        FAIL() << "no error";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find("/nonexistent/PixGen.exe"), std::string::npos) << e.what();
    }
}

TEST(PeFileParse, TooShortForADosHeader) {
    EXPECT_THROW(PeFile::Parse({}), FormatError);
    EXPECT_THROW(PeFile::Parse({'M', 'Z'}), FormatError);
}

}  // namespace
}  // namespace pe
