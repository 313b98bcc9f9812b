// A small reader of Windows PE images (PE32 and PE32+), written to check our
// own build outputs from Linux: headers, sections, the import, delay-import
// and export tables, and the resource tree.
//
// The file is untrusted input: every read is checked against the file and the
// section it lies in, and a fault in the image raises pe::FormatError naming
// what could not be read and where. Nothing reads past the bytes it was given.
#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace pe {

class FormatError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

constexpr std::uint16_t kMachineI386 = 0x014c;
constexpr std::uint16_t kMachineAmd64 = 0x8664;

constexpr std::uint16_t kMagicPe32 = 0x010b;
constexpr std::uint16_t kMagicPe32Plus = 0x020b;

constexpr std::uint16_t kSubsystemWindowsGui = 2;
constexpr std::uint16_t kSubsystemWindowsCui = 3;

constexpr std::uint16_t kFileExecutableImage = 0x0002;
constexpr std::uint16_t kFileDll = 0x2000;

constexpr std::uint32_t kDirectoryExport = 0;
constexpr std::uint32_t kDirectoryImport = 1;
constexpr std::uint32_t kDirectoryResource = 2;
constexpr std::uint32_t kDirectoryDelayImport = 13;
constexpr std::uint32_t kDirectoryCount = 16;

constexpr std::uint16_t kResourceTypeIcon = 3;
constexpr std::uint16_t kResourceTypeGroupIcon = 14;
constexpr std::uint16_t kResourceTypeManifest = 24;

struct Headers {
    std::uint16_t machine = 0;
    std::uint16_t numberOfSections = 0;
    std::uint16_t characteristics = 0;
    std::uint16_t magic = 0;
    std::uint64_t imageBase = 0;
    std::uint32_t sizeOfHeaders = 0;
    std::uint16_t majorOperatingSystemVersion = 0;
    std::uint16_t minorOperatingSystemVersion = 0;
    std::uint16_t majorSubsystemVersion = 0;
    std::uint16_t minorSubsystemVersion = 0;
    std::uint16_t subsystem = 0;
    std::uint16_t dllCharacteristics = 0;
};

struct Section {
    std::string name;
    std::uint32_t virtualAddress = 0;
    std::uint32_t virtualSize = 0;
    std::uint32_t rawSize = 0;
    std::uint32_t rawOffset = 0;
};

struct DataDirectory {
    std::uint32_t rva = 0;
    std::uint32_t size = 0;
    bool Present() const { return rva != 0; }
};

struct ImportedFunction {
    bool byOrdinal = false;
    std::uint16_t ordinal = 0;  // when byOrdinal
    std::uint16_t hint = 0;     // when by name
    std::string name;           // when by name
};

struct ImportedDll {
    std::string name;
    std::vector<ImportedFunction> functions;
};

struct ExportedFunction {
    std::string name;  // empty for an export by ordinal only
    std::uint32_t ordinal = 0;
    std::uint32_t rva = 0;
    std::string forwarder;  // "OTHER.Function" when the export is forwarded
};

struct Exports {
    std::string dllName;
    std::vector<ExportedFunction> functions;
};

// A resource type or name: a number, or a UTF-16 string.
struct ResourceId {
    std::uint16_t number = 0;
    std::u16string name;
    bool named = false;

    static ResourceId Number(std::uint16_t n) { return {n, {}, false}; }
    static ResourceId Name(std::u16string s) { return {0, std::move(s), true}; }
    bool Is(std::uint16_t n) const { return !named && number == n; }
    std::string Describe() const;
};

struct Resource {
    ResourceId type;
    ResourceId name;
    std::uint16_t language = 0;
    std::uint32_t codePage = 0;
    std::vector<std::uint8_t> data;
};

class PeFile {
public:
    // Reads the headers and the section table; the tables are read on demand.
    static PeFile Parse(std::vector<std::uint8_t> bytes);
    // Parse() of a file's contents; a file that cannot be read raises
    // std::runtime_error with the system's reason.
    static PeFile Load(const std::string& path);

    const Headers& GetHeaders() const { return headers_; }
    bool IsPe32Plus() const { return headers_.magic == kMagicPe32Plus; }
    const std::vector<Section>& Sections() const { return sections_; }
    // An absent directory (index beyond those present) reads as {0, 0}.
    DataDirectory Directory(std::uint32_t index) const;

    std::vector<ImportedDll> Imports() const;
    std::vector<ImportedDll> DelayImports() const;
    Exports ReadExports() const;  // empty when there is no export directory
    std::vector<Resource> Resources() const;
    std::vector<Resource> FindResources(std::uint16_t type, std::uint16_t name) const;

    // The file offset of `size` bytes at `rva`, all inside the file data of
    // one section (or of the headers); raises FormatError naming `what`.
    // Taking 64-bit RVAs lets callers add offsets without wrapping around.
    std::size_t OffsetOf(std::uint64_t rva, std::uint64_t size, const char* what) const;

private:
    explicit PeFile(std::vector<std::uint8_t> bytes) : bytes_(std::move(bytes)) {}
    void ParseHeaders();

    std::uint16_t U16At(std::uint64_t rva, const char* what) const;
    std::uint32_t U32At(std::uint64_t rva, const char* what) const;
    std::uint64_t U64At(std::uint64_t rva, const char* what) const;
    std::string CStringAt(std::uint64_t rva, const char* what) const;
    std::vector<ImportedFunction> ReadThunks(std::uint64_t rva, const std::string& dll) const;
    void ReadResourceLevel(std::uint32_t directoryOffset, int level, Resource& path,
                           std::vector<Resource>& out, std::size_t& visited) const;

    std::vector<std::uint8_t> bytes_;
    Headers headers_;
    std::vector<Section> sections_;
    std::vector<DataDirectory> directories_;
};

}  // namespace pe
