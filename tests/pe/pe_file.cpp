#include "tests/pe/pe_file.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>

namespace pe {
namespace {

// Limits that keep a hostile image from costing unbounded work: far above
// anything a real program has.
constexpr std::size_t kMaxNameLength = 4096;
constexpr std::size_t kMaxImportedFunctions = 200000;
constexpr std::size_t kMaxResourceEntries = 100000;

constexpr std::uint32_t kImportDescriptorSize = 20;
constexpr std::uint32_t kDelayDescriptorSize = 32;
constexpr std::uint32_t kExportDirectorySize = 40;
constexpr std::uint32_t kResourceDirectorySize = 16;
constexpr std::uint32_t kResourceEntrySize = 8;
constexpr std::uint32_t kResourceDataEntrySize = 16;
constexpr std::uint32_t kSectionHeaderSize = 40;
constexpr std::uint32_t kDelayAttributeRva = 1;

std::string Hex(std::uint64_t v) {
    char buffer[24];
    std::snprintf(buffer, sizeof buffer, "0x%llx", static_cast<unsigned long long>(v));
    return buffer;
}

// Little-endian reads from a byte range whose bounds the caller has checked.
std::uint16_t Le16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }
std::uint32_t Le32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
std::uint64_t Le64(const std::uint8_t* p) {
    return static_cast<std::uint64_t>(Le32(p)) | (static_cast<std::uint64_t>(Le32(p + 4)) << 32);
}

// The raw file, read by file offset.
class FileBytes {
public:
    explicit FileBytes(const std::vector<std::uint8_t>& bytes) : bytes_(bytes) {}

    const std::uint8_t* At(std::uint64_t offset, std::uint64_t size, const char* what) const {
        if (offset > bytes_.size() || size > bytes_.size() - offset)
            throw FormatError(std::string(what) + ": " + std::to_string(size) + " bytes at file offset " +
                              Hex(offset) + " lie beyond the end of the file (" +
                              std::to_string(bytes_.size()) + " bytes)");
        return bytes_.data() + offset;
    }
    std::uint16_t U16(std::uint64_t offset, const char* what) const { return Le16(At(offset, 2, what)); }
    std::uint32_t U32(std::uint64_t offset, const char* what) const { return Le32(At(offset, 4, what)); }
    std::uint64_t U64(std::uint64_t offset, const char* what) const { return Le64(At(offset, 8, what)); }

private:
    const std::vector<std::uint8_t>& bytes_;
};

bool AllZero(const std::uint8_t* p, std::size_t n) {
    return std::all_of(p, p + n, [](std::uint8_t b) { return b == 0; });
}

}  // namespace

std::string ResourceId::Describe() const {
    if (!named) return std::to_string(number);
    std::string s = "\"";
    for (char16_t c : name) s += (c >= 0x20 && c < 0x7f) ? static_cast<char>(c) : '?';
    return s + "\"";
}

PeFile PeFile::Parse(std::vector<std::uint8_t> bytes) {
    PeFile file(std::move(bytes));
    file.ParseHeaders();
    return file;
}

PeFile PeFile::Load(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot open " + path + ": " + std::strerror(errno));
    std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) throw std::runtime_error("cannot read " + path);
    return Parse(std::move(bytes));
}

void PeFile::ParseHeaders() {
    const FileBytes file(bytes_);
    const std::uint8_t* dos = file.At(0, 64, "DOS header");
    if (dos[0] != 'M' || dos[1] != 'Z') throw FormatError("no MZ signature: not a PE image");
    const std::uint64_t peOffset = file.U32(0x3c, "e_lfanew");
    const std::uint8_t* signature = file.At(peOffset, 4, "PE signature");
    if (std::memcmp(signature, "PE\0\0", 4) != 0)
        throw FormatError("no PE signature at file offset " + Hex(peOffset));

    const std::uint64_t coff = peOffset + 4;
    file.At(coff, 20, "COFF header");
    headers_.machine = file.U16(coff + 0, "machine");
    headers_.numberOfSections = file.U16(coff + 2, "number of sections");
    const std::uint16_t optionalSize = file.U16(coff + 16, "optional header size");
    headers_.characteristics = file.U16(coff + 18, "characteristics");

    // Every read of the optional header stays inside its declared size too.
    const std::uint64_t optional = coff + 20;
    const std::uint8_t* opt = file.At(optional, optionalSize, "optional header");
    const auto field = [&](std::uint32_t at, std::uint32_t size) {
        if (at + size > optionalSize)
            throw FormatError("optional header of " + std::to_string(optionalSize) +
                              " bytes is too small for its field at offset " + std::to_string(at));
        return opt + at;
    };
    headers_.magic = Le16(field(0, 2));
    if (headers_.magic != kMagicPe32 && headers_.magic != kMagicPe32Plus)
        throw FormatError("unknown optional header magic " + Hex(headers_.magic));
    const bool plus = headers_.magic == kMagicPe32Plus;
    headers_.imageBase = plus ? Le64(field(24, 8)) : Le32(field(28, 4));
    headers_.majorOperatingSystemVersion = Le16(field(40, 2));
    headers_.minorOperatingSystemVersion = Le16(field(42, 2));
    headers_.majorSubsystemVersion = Le16(field(48, 2));
    headers_.minorSubsystemVersion = Le16(field(50, 2));
    headers_.sizeOfHeaders = Le32(field(60, 4));
    headers_.subsystem = Le16(field(68, 2));
    headers_.dllCharacteristics = Le16(field(70, 2));
    const std::uint32_t countAt = plus ? 108 : 92;
    const std::uint32_t declared = Le32(field(countAt, 4));
    const std::uint32_t room = (optionalSize - (countAt + 4)) / 8;
    const std::uint32_t count = std::min({declared, kDirectoryCount, room});
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint8_t* d = field(countAt + 4 + i * 8, 8);
        directories_.push_back({Le32(d), Le32(d + 4)});
    }

    const std::uint64_t table = optional + optionalSize;
    file.At(table, std::uint64_t{headers_.numberOfSections} * kSectionHeaderSize, "section table");
    for (std::uint32_t i = 0; i < headers_.numberOfSections; ++i) {
        const std::uint8_t* h = file.At(table + i * kSectionHeaderSize, kSectionHeaderSize, "section header");
        Section s;
        s.name.assign(h, std::find(h, h + 8, std::uint8_t{0}));
        s.virtualSize = Le32(h + 8);
        s.virtualAddress = Le32(h + 12);
        s.rawSize = Le32(h + 16);
        s.rawOffset = Le32(h + 20);
        sections_.push_back(std::move(s));
    }
}

DataDirectory PeFile::Directory(std::uint32_t index) const {
    return index < directories_.size() ? directories_[index] : DataDirectory{};
}

std::size_t PeFile::OffsetOf(std::uint64_t rva, std::uint64_t size, const char* what) const {
    const FileBytes file(bytes_);
    if (rva > 0xffffffffu) throw FormatError(std::string(what) + ": RVA " + Hex(rva) + " lies beyond 4 GB");
    // The headers are mapped at RVA 0 as they lie in the file.
    if (rva < headers_.sizeOfHeaders && rva + size <= headers_.sizeOfHeaders) {
        file.At(rva, size, what);
        return rva;
    }
    for (const Section& s : sections_) {
        // Past the file data a section is zero-filled memory, which holds none
        // of the tables read here.
        const std::uint64_t mapped = s.virtualSize ? s.virtualSize : s.rawSize;
        const std::uint64_t inFile = std::min<std::uint64_t>(s.rawSize, mapped);
        if (rva < s.virtualAddress || rva - s.virtualAddress >= mapped) continue;
        const std::uint64_t at = rva - s.virtualAddress;
        if (at > inFile || size > inFile - at)
            throw FormatError(std::string(what) + ": " + std::to_string(size) + " bytes at RVA " + Hex(rva) +
                              " run past the file data of section " + s.name);
        file.At(std::uint64_t{s.rawOffset} + at, size, what);
        return static_cast<std::size_t>(s.rawOffset + at);  // checked just above
    }
    throw FormatError(std::string(what) + ": RVA " + Hex(rva) + " lies in no section");
}

std::uint16_t PeFile::U16At(std::uint64_t rva, const char* what) const { return Le16(&bytes_[OffsetOf(rva, 2, what)]); }
std::uint32_t PeFile::U32At(std::uint64_t rva, const char* what) const { return Le32(&bytes_[OffsetOf(rva, 4, what)]); }
std::uint64_t PeFile::U64At(std::uint64_t rva, const char* what) const { return Le64(&bytes_[OffsetOf(rva, 8, what)]); }

std::string PeFile::CStringAt(std::uint64_t rva, const char* what) const {
    std::string s;
    for (std::uint64_t i = 0;; ++i) {
        if (i == kMaxNameLength)
            throw FormatError(std::string(what) + " at RVA " + Hex(rva) + " is longer than " +
                              std::to_string(kMaxNameLength) + " bytes");
        const char c = static_cast<char>(bytes_[OffsetOf(rva + i, 1, what)]);
        if (c == '\0') return s;
        s += c;
    }
}

std::vector<ImportedFunction> PeFile::ReadThunks(std::uint64_t rva, const std::string& dll) const {
    const bool plus = IsPe32Plus();
    const std::uint32_t thunkSize = plus ? 8 : 4;
    const std::uint64_t ordinalFlag = plus ? (std::uint64_t{1} << 63) : (std::uint64_t{1} << 31);
    std::vector<ImportedFunction> functions;
    for (std::uint64_t at = rva;; at += thunkSize) {
        const std::uint64_t thunk = plus ? U64At(at, "import lookup entry") : U32At(at, "import lookup entry");
        if (thunk == 0) return functions;
        if (functions.size() == kMaxImportedFunctions)
            throw FormatError("import lookup table of " + dll + " has more than " +
                              std::to_string(kMaxImportedFunctions) + " entries");
        ImportedFunction f;
        if (thunk & ordinalFlag) {
            f.byOrdinal = true;
            f.ordinal = static_cast<std::uint16_t>(thunk & 0xffff);
        } else {
            if (thunk > 0x7fffffffu)
                throw FormatError("import lookup entry " + Hex(thunk) + " of " + dll + " has reserved bits set");
            f.hint = U16At(thunk, "import hint");
            f.name = CStringAt(thunk + 2, "import name");
        }
        functions.push_back(std::move(f));
    }
}

std::vector<ImportedDll> PeFile::Imports() const {
    std::vector<ImportedDll> dlls;
    const DataDirectory dir = Directory(kDirectoryImport);
    if (!dir.Present()) return dlls;
    for (std::uint64_t at = dir.rva;; at += kImportDescriptorSize) {
        const std::size_t offset = OffsetOf(at, kImportDescriptorSize, "import descriptor");
        const std::uint8_t* d = &bytes_[offset];
        if (AllZero(d, kImportDescriptorSize)) return dlls;
        const std::uint32_t lookup = Le32(d) ? Le32(d) : Le32(d + 16);  // else the address table
        ImportedDll dll;
        dll.name = CStringAt(Le32(d + 12), "imported DLL name");
        if (lookup == 0) throw FormatError("import descriptor of " + dll.name + " has no lookup table");
        dll.functions = ReadThunks(lookup, dll.name);
        dlls.push_back(std::move(dll));
    }
}

std::vector<ImportedDll> PeFile::DelayImports() const {
    std::vector<ImportedDll> dlls;
    const DataDirectory dir = Directory(kDirectoryDelayImport);
    if (!dir.Present()) return dlls;
    for (std::uint64_t at = dir.rva;; at += kDelayDescriptorSize) {
        const std::size_t offset = OffsetOf(at, kDelayDescriptorSize, "delay-import descriptor");
        const std::uint8_t* d = &bytes_[offset];
        if (AllZero(d, kDelayDescriptorSize) || Le32(d + 4) == 0) return dlls;
        // Old images hold addresses in place of RVAs, told by attribute bit 0.
        const bool rvas = (Le32(d) & kDelayAttributeRva) != 0;
        const auto toRva = [&](std::uint32_t value, const char* what) -> std::uint64_t {
            if (rvas) return value;
            if (value < headers_.imageBase)
                throw FormatError(std::string(what) + " address " + Hex(value) + " lies below the image base");
            return value - headers_.imageBase;
        };
        ImportedDll dll;
        dll.name = CStringAt(toRva(Le32(d + 4), "delay-imported DLL name"), "delay-imported DLL name");
        const std::uint32_t names = Le32(d + 16);
        if (names == 0) throw FormatError("delay-import descriptor of " + dll.name + " has no name table");
        dll.functions = ReadThunks(toRva(names, "delay-import name table"), dll.name);
        dlls.push_back(std::move(dll));
    }
}

Exports PeFile::ReadExports() const {
    Exports exports;
    const DataDirectory dir = Directory(kDirectoryExport);
    if (!dir.Present()) return exports;
    const std::uint8_t* d = &bytes_[OffsetOf(dir.rva, kExportDirectorySize, "export directory")];
    exports.dllName = CStringAt(Le32(d + 12), "exported DLL name");
    const std::uint32_t base = Le32(d + 16);
    const std::uint32_t functionCount = Le32(d + 20);
    const std::uint32_t nameCount = Le32(d + 24);
    const std::uint32_t functionsRva = Le32(d + 28);
    const std::uint32_t namesRva = Le32(d + 32);
    const std::uint32_t ordinalsRva = Le32(d + 36);
    // The whole tables are checked first, so a huge count fails at once.
    const std::uint8_t* functions = functionCount ? &bytes_[OffsetOf(functionsRva, std::uint64_t{functionCount} * 4, "export address table")] : nullptr;
    const std::uint8_t* names = nameCount ? &bytes_[OffsetOf(namesRva, std::uint64_t{nameCount} * 4, "export name table")] : nullptr;
    const std::uint8_t* ordinals = nameCount ? &bytes_[OffsetOf(ordinalsRva, std::uint64_t{nameCount} * 2, "export ordinal table")] : nullptr;

    std::vector<bool> named(functionCount, false);
    const auto describe = [&](std::uint32_t index, std::string name) {
        ExportedFunction f;
        f.name = std::move(name);
        f.ordinal = base + index;
        f.rva = Le32(functions + std::size_t{index} * 4);
        if (f.rva >= dir.rva && f.rva - dir.rva < dir.size) f.forwarder = CStringAt(f.rva, "export forwarder");
        return f;
    };
    for (std::uint32_t i = 0; i < nameCount; ++i) {
        const std::uint16_t index = Le16(ordinals + std::size_t{i} * 2);
        std::string name = CStringAt(Le32(names + std::size_t{i} * 4), "export name");
        if (index >= functionCount)
            throw FormatError("export " + name + " refers to function " + std::to_string(index) + " of " +
                              std::to_string(functionCount));
        named[index] = true;
        exports.functions.push_back(describe(index, std::move(name)));
    }
    for (std::uint32_t i = 0; i < functionCount; ++i) {
        if (!named[i] && Le32(functions + std::size_t{i} * 4) != 0) exports.functions.push_back(describe(i, {}));
    }
    return exports;
}

std::vector<Resource> PeFile::Resources() const {
    std::vector<Resource> out;
    if (!Directory(kDirectoryResource).Present()) return out;
    Resource path;
    std::size_t visited = 0;
    ReadResourceLevel(0, 0, path, out, visited);
    return out;
}

// Levels: 0 type, 1 name, 2 language, then the data entry. Offsets are from
// the start of the resource directory; the data itself is found by RVA.
void PeFile::ReadResourceLevel(std::uint32_t directoryOffset, int level, Resource& path,
                               std::vector<Resource>& out, std::size_t& visited) const {
    const std::uint64_t root = Directory(kDirectoryResource).rva;
    const std::uint64_t dirRva = root + directoryOffset;
    const std::uint8_t* dir = &bytes_[OffsetOf(dirRva, kResourceDirectorySize, "resource directory")];
    const std::uint32_t count = std::uint32_t{Le16(dir + 12)} + Le16(dir + 14);
    const std::uint8_t* entries = &bytes_[OffsetOf(dirRva + kResourceDirectorySize,
                                                    std::uint64_t{count} * kResourceEntrySize, "resource directory entries")];
    for (std::uint32_t i = 0; i < count; ++i) {
        if (++visited > kMaxResourceEntries)
            throw FormatError("resource tree has more than " + std::to_string(kMaxResourceEntries) + " entries");
        const std::uint32_t nameField = Le32(entries + std::size_t{i} * kResourceEntrySize);
        const std::uint32_t dataField = Le32(entries + std::size_t{i} * kResourceEntrySize + 4);
        ResourceId id;
        if (nameField & 0x80000000u) {
            const std::uint64_t at = root + (nameField & 0x7fffffffu);
            const std::uint16_t length = U16At(at, "resource name length");
            const std::uint8_t* chars = &bytes_[OffsetOf(at + 2, std::uint64_t{length} * 2, "resource name")];
            std::u16string name;
            for (std::uint16_t k = 0; k < length; ++k) name += static_cast<char16_t>(Le16(chars + std::size_t{k} * 2));
            id = ResourceId::Name(std::move(name));
        } else {
            id = ResourceId::Number(static_cast<std::uint16_t>(nameField));
        }
        const bool subdirectory = (dataField & 0x80000000u) != 0;
        if (subdirectory != (level < 2))
            throw FormatError("resource tree: " + std::string(subdirectory ? "a subdirectory" : "a data entry") +
                              " at level " + std::to_string(level));
        if (level == 0) path.type = id;
        if (level == 1) path.name = id;
        if (subdirectory) {
            ReadResourceLevel(dataField & 0x7fffffffu, level + 1, path, out, visited);
            continue;
        }
        if (id.named) throw FormatError("resource tree: a named language entry");
        path.language = id.number;
        const std::uint8_t* entry = &bytes_[OffsetOf(root + dataField, kResourceDataEntrySize,
                                                      "resource data entry")];
        const std::uint32_t dataRva = Le32(entry);
        const std::uint32_t size = Le32(entry + 4);
        path.codePage = Le32(entry + 8);
        const std::size_t dataOffset = size ? OffsetOf(dataRva, size, "resource data") : 0;
        path.data.assign(bytes_.begin() + static_cast<std::ptrdiff_t>(dataOffset),
                         bytes_.begin() + static_cast<std::ptrdiff_t>(dataOffset + size));
        out.push_back(path);
    }
}

std::vector<Resource> PeFile::FindResources(std::uint16_t type, std::uint16_t name) const {
    std::vector<Resource> found;
    for (Resource& r : Resources()) {
        if (r.type.Is(type) && r.name.Is(name)) found.push_back(std::move(r));
    }
    return found;
}

}  // namespace pe
