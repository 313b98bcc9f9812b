// The PE reader under AddressSanitizer: any bytes give either the tables or a
// FormatError, never a read outside the bytes, a crash or another exception.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "tests/pe/pe_checks.h"
#include "tests/pe/pe_file.h"
#include "tests/pe/version_info.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    try {
        const pe::PeFile file = pe::PeFile::Parse(std::vector<std::uint8_t>(data, data + size));
        const auto read = [&](auto&& table) {
            try {
                table();
            } catch (const pe::FormatError&) {
            }
        };
        read([&] { file.Imports(); });
        read([&] { file.DelayImports(); });
        read([&] { file.ReadExports(); });
        read([&] { file.Resources(); });
        read([&] { pe::CheckPixGen(file, pe::Arch::I686); });
        read([&] { pe::CheckQuelvano(file, pe::Arch::X86_64); });
        read([&] { pe::ReadVersionInfo(file); });
        read([&] { pe::CheckVersion(file, "1.0", pe::kFileTypeApp, "PixGen.exe"); });
    } catch (const pe::FormatError&) {
    }
    return 0;
}
