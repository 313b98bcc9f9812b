// pe_check: the static check of one build's Windows programs.
//
//   pe_check --arch i686|x86_64 --exe PixGen.exe --dll Quelvano.dll [--version 1.0]
//
// With --version, both files must also carry the version resource of that
// version (pe::CheckVersion).
// Prints one line per problem ("<file>: <problem>") and exits 1 if there is
// any; a file that is missing or cannot be read is a problem too. Exits 2 on
// a usage error.
#include <cstdio>
#include <exception>
#include <functional>
#include <string>
#include <vector>

#include "tests/pe/pe_checks.h"
#include "tests/pe/version_info.h"

namespace {

int Usage(const char* why) {
    std::fprintf(stderr,
                 "pe_check: %s\nusage: pe_check --arch i686|x86_64 --exe PixGen.exe --dll Quelvano.dll [--version V]\n",
                 why);
    return 2;
}

using Check = std::function<std::vector<std::string>(const pe::PeFile&)>;

// The problems of one file, each already printed.
int Report(const std::string& path, const Check& check) {
    std::vector<std::string> problems;
    try {
        problems = check(pe::PeFile::Load(path));
    } catch (const std::exception& e) {
        problems.push_back(std::string("cannot be checked: ") + e.what());
    }
    for (const std::string& p : problems) std::printf("%s: %s\n", path.c_str(), p.c_str());
    return static_cast<int>(problems.size());
}

}  // namespace

int main(int argc, char** argv) {
    std::string archName, exe, dll, version;
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        if (i + 1 == argc) return Usage(("no value after " + option).c_str());
        const std::string value = argv[++i];
        if (option == "--arch") archName = value;
        else if (option == "--exe") exe = value;
        else if (option == "--dll") dll = value;
        else if (option == "--version") version = value;
        else return Usage(("unknown option " + option).c_str());
    }
    pe::Arch arch;
    if (!pe::ParseArch(archName, arch)) return Usage(("unknown architecture \"" + archName + "\"").c_str());
    if (exe.empty() || dll.empty()) return Usage("both --exe and --dll are needed");

    int problems = Report(exe, [&](const pe::PeFile& file) { return pe::CheckPixGen(file, arch); }) +
                   Report(dll, [&](const pe::PeFile& file) { return pe::CheckQuelvano(file, arch); });
    if (!version.empty()) {
        for (const auto& [path, type] : {std::pair(exe, pe::kFileTypeApp), std::pair(dll, pe::kFileTypeDll)}) {
            const std::string name = path.substr(path.find_last_of("/\\") + 1);
            problems += Report(path, [&](const pe::PeFile& file) { return pe::CheckVersion(file, version, type, name); });
        }
    }
    if (problems != 0) {
        std::printf("pe_check %s: %d problem(s)\n", archName.c_str(), problems);
        return 1;
    }
    std::printf("pe_check %s: %s and %s pass\n", archName.c_str(), exe.c_str(), dll.c_str());
    return 0;
}
