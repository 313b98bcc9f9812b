// What the Windows build outputs must be, for the 32-bit product build and
// its 64-bit twin:
//  - PixGen.exe: the build's machine; a Windows GUI program that Vista loads;
//    NewPix imported by its plain name from Quelvano.dll at load time (never
//    delay-loaded, never by ordinal); no DLL but Windows' own and
//    Quelvano.dll (the C++ runtime is linked in); no function Vista lacks;
//    the embedded manifest (see manifest_check.h).
//  - Quelvano.dll: the build's machine, a DLL exporting plain NewPix.
// Each check returns one line per problem, with the values found.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "tests/pe/pe_file.h"

namespace pe {

enum class Arch { I686, X86_64 };

struct ArchTraits {
    const char* name;                   // "i686", "x86_64"
    std::uint16_t machine;              // COFF machine type
    std::uint16_t magic;                // optional header magic (PE32, PE32+)
    const char* manifestArchitecture;   // processorArchitecture in a manifest
};

const ArchTraits& TraitsOf(Arch arch);
bool ParseArch(std::string_view name, Arch& arch);

// A function that a DLL of Windows Vista does not export.
struct NewerFunction {
    const char* dll;
    const char* function;
    const char* since;  // the first Windows that has it
};
const std::vector<NewerFunction>& FunctionsVistaLacks();

// The Windows DLLs the program may import from: each present in Vista, and
// each mapped from the system's own copy whatever lies in the program's
// folder (the reasoning is with the list).
const std::vector<const char*>& AllowedSystemDlls();
// Windows DLLs that the loader would take from the program's folder first.
const std::vector<const char*>& PlantableSystemDlls();

std::vector<std::string> CheckPixGen(const PeFile& exe, Arch arch);

// The version resource of a file of the download: the project's version
// ("1.0", as project() gives it) in the fixed information (padded with
// zeros to four parts) and as FileVersion and ProductVersion, ProductName
// "PixGen", a FileDescription, the file's type (kFileTypeApp or
// kFileTypeDll) and its own name as OriginalFilename.
std::vector<std::string> CheckVersion(const PeFile& file, const std::string& version, std::uint32_t fileType,
                                      const std::string& fileName);
std::vector<std::string> CheckQuelvano(const PeFile& dll, Arch arch);

}  // namespace pe
