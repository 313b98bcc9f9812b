// Builds small PE images in memory for the tests: headers, one section with
// the import, delay-import and export tables and the resource tree. No code:
// the images are for reading, never for running.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace pe::test {

struct Thunk {
    std::string name;
    std::uint16_t ordinal = 0;
    bool byOrdinal = false;

    static Thunk Name(std::string n) { return {std::move(n), 0, false}; }
    static Thunk Ordinal(std::uint16_t o) { return {{}, o, true}; }
};

struct DllPlan {
    std::string dll;
    std::vector<Thunk> functions;
};

struct ExportPlan {
    std::string name;       // empty: exported by ordinal only
    std::string forwarder;  // "OTHER.Function" for a forwarded export
};

struct ResourcePlan {
    std::uint16_t type = 0;
    std::uint16_t id = 0;
    std::u16string name;  // used in place of `id` when not empty
    std::uint16_t language = 0x409;
    std::string data;
};

struct ImagePlan {
    bool pe32plus = false;
    std::uint16_t machine = 0x014c;
    std::uint16_t subsystem = 2;
    bool dll = false;
    std::uint16_t majorSubsystemVersion = 4;
    std::uint16_t minorSubsystemVersion = 0;
    std::uint16_t majorOperatingSystemVersion = 4;
    std::uint16_t minorOperatingSystemVersion = 0;
    std::vector<DllPlan> imports;
    std::vector<DllPlan> delayImports;
    std::string exportDllName;  // no export directory when empty
    std::vector<ExportPlan> exports;  // ordinals from 1, in this order
    std::vector<ResourcePlan> resources;
};

struct Image {
    std::vector<std::uint8_t> bytes;
    bool pe32plus = false;
    std::uint32_t sectionRva = 0;
    std::uint32_t sectionOffset = 0;
    std::uint32_t importRva = 0;
    std::uint32_t delayImportRva = 0;
    std::uint32_t exportRva = 0;
    std::uint32_t resourceRva = 0;

    // File offsets of places the tests corrupt.
    std::size_t OffsetOfRva(std::uint32_t rva) const { return rva - sectionRva + sectionOffset; }
    static constexpr std::size_t kPeOffset = 0x40;
    static constexpr std::size_t kCoffOffset = kPeOffset + 4;
    static constexpr std::size_t kOptionalOffset = kCoffOffset + 20;
    std::size_t OptionalSize() const { return pe32plus ? 240 : 224; }
    std::size_t DirectoryOffset(std::uint32_t index) const { return kOptionalOffset + (pe32plus ? 112 : 96) + index * 8; }
    std::size_t SectionHeaderOffset() const { return kOptionalOffset + OptionalSize(); }

    void Put16(std::size_t at, std::uint16_t v);
    void Put32(std::size_t at, std::uint32_t v);
    std::uint32_t Get32(std::size_t at) const;
};

Image Build(const ImagePlan& plan);

}  // namespace pe::test
