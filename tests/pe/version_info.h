// The version resource of a PE file (type 16, VS_VERSIONINFO): the fixed
// file information and the strings of its first string table, read as
// untrusted input like the rest of the file.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "tests/pe/pe_file.h"

namespace pe {

constexpr std::uint16_t kResourceTypeVersion = 16;
constexpr std::uint32_t kFixedFileInfoSignature = 0xFEEF04BD;
constexpr std::uint32_t kFileTypeApp = 1;  // VFT_APP
constexpr std::uint32_t kFileTypeDll = 2;  // VFT_DLL

struct VersionInfo {
    std::uint16_t fileVersion[4] = {};     // major, minor, build, revision
    std::uint16_t productVersion[4] = {};
    std::uint32_t fileType = 0;
    std::string table;                      // the string table's key, e.g. "040904B0"
    std::map<std::string, std::string> strings;  // UTF-8, as the table holds them

    std::string String(const std::string& name) const {
        const auto found = strings.find(name);
        return found == strings.end() ? std::string() : found->second;
    }
};

// The data of a VS_VERSIONINFO resource; FormatError when it does not add up.
VersionInfo ParseVersionInfo(const std::vector<std::uint8_t>& data);

// The version resource of id 1 (any language); none when the file has none.
std::optional<VersionInfo> ReadVersionInfo(const PeFile& file);

}  // namespace pe
