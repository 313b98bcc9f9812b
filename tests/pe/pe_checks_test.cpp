#include "tests/pe/pe_checks.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <iterator>

#include "tests/pe/image_builder.h"

namespace pe {
namespace {

using test::Build;
using test::ImagePlan;
using test::DllPlan;
using test::Thunk;

std::string ProgramManifest() {
    std::ifstream in(PIX_MANIFEST_PATH, std::ios::binary);
    EXPECT_TRUE(in) << "cannot open " << PIX_MANIFEST_PATH;
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// PixGen.exe as it must be, in the given build's format.
ImagePlan GoodProgram(Arch arch) {
    ImagePlan plan;
    plan.pe32plus = arch == Arch::X86_64;
    plan.machine = TraitsOf(arch).machine;
    plan.subsystem = kSubsystemWindowsGui;
    plan.imports = {{"KERNEL32.dll", {Thunk::Name("ExitProcess"), Thunk::Name("GetModuleHandleW")}},
                    {"msvcrt.dll", {Thunk::Name("malloc")}},
                    {"COMCTL32.dll", {Thunk::Ordinal(17)}},
                    {"USER32.dll", {Thunk::Name("SetProcessDPIAware"), Thunk::Name("CreateWindowExW")}},
                    {"Quelvano.dll", {Thunk::Name("NewPix")}}};
    plan.resources = {{kResourceTypeGroupIcon, 1, u"MAINICON", 0x409, "icon"},
                      {kResourceTypeManifest, 1, u"", 0x409, ProgramManifest()}};
    return plan;
}

ImagePlan GoodLibrary(Arch arch) {
    ImagePlan plan;
    plan.pe32plus = arch == Arch::X86_64;
    plan.machine = TraitsOf(arch).machine;
    plan.subsystem = kSubsystemWindowsCui;
    plan.dll = true;
    plan.imports = {{"KERNEL32.dll", {Thunk::Name("GetProcAddress")}}, {"msvcrt.dll", {Thunk::Name("free")}}};
    plan.exportDllName = "Quelvano.dll";
    plan.exports = {{"NewPix", ""}};
    return plan;
}

std::string Join(const std::vector<std::string>& lines) {
    std::string s;
    for (const std::string& l : lines) s += "\n  " + l;
    return s.empty() ? " (none)" : s;
}

std::vector<std::string> CheckProgram(const ImagePlan& plan, Arch arch) {
    return CheckPixGen(PeFile::Parse(Build(plan).bytes), arch);
}
std::vector<std::string> CheckLibrary(const ImagePlan& plan, Arch arch) {
    return CheckQuelvano(PeFile::Parse(Build(plan).bytes), arch);
}

DllPlan* FindImport(ImagePlan& plan, const std::string& dll) {
    for (DllPlan& i : plan.imports) {
        if (i.dll == dll) return &i;
    }
    ADD_FAILURE() << "no import of " << dll;
    return nullptr;
}

void SetNewPix(ImagePlan& plan, Thunk thunk) {
    if (DllPlan* q = FindImport(plan, "Quelvano.dll")) q->functions = {std::move(thunk)};
}

void RemoveImport(ImagePlan& plan, const std::string& dll) {
    plan.imports.erase(std::remove_if(plan.imports.begin(), plan.imports.end(),
                                      [&](const DllPlan& i) { return i.dll == dll; }),
                       plan.imports.end());
}

class ArchTest : public ::testing::TestWithParam<Arch> {};

std::string ArchName(const ::testing::TestParamInfo<Arch>& info) {
    return info.param == Arch::I686 ? "i686" : "x86_64";
}

TEST_P(ArchTest, TheRightProgramAndLibraryPass) {
    EXPECT_TRUE(CheckProgram(GoodProgram(GetParam()), GetParam()).empty())
        << Join(CheckProgram(GoodProgram(GetParam()), GetParam()));
    EXPECT_TRUE(CheckLibrary(GoodLibrary(GetParam()), GetParam()).empty())
        << Join(CheckLibrary(GoodLibrary(GetParam()), GetParam()));
}

// The other build's files fail, with the values found.
TEST_P(ArchTest, TheOtherArchitecturesFilesFail) {
    const Arch other = GetParam() == Arch::I686 ? Arch::X86_64 : Arch::I686;
    const std::string expected = GetParam() == Arch::I686 ? "machine is 0x8664, expected 0x14c for i686"
                                                          : "machine is 0x14c, expected 0x8664 for x86_64";
    for (const auto& problems : {CheckProgram(GoodProgram(other), GetParam()), CheckLibrary(GoodLibrary(other), GetParam())}) {
        ASSERT_GE(problems.size(), 1u);
        EXPECT_EQ(problems[0], expected) << Join(problems);
    }
}

INSTANTIATE_TEST_SUITE_P(Builds, ArchTest, ::testing::Values(Arch::I686, Arch::X86_64), ArchName);

// A change to the good program, and the problems it must bring: one line
// for each, containing the text given.
struct ProgramFault {
    const char* name;
    std::function<void(ImagePlan&)> change;
    std::vector<const char*> problems;
};

void PrintTo(const ProgramFault& f, std::ostream* os) { *os << f.name; }

class ProgramFaultTest : public ::testing::TestWithParam<std::tuple<ProgramFault, Arch>> {};

TEST_P(ProgramFaultTest, IsReported) {
    const auto& [fault, arch] = GetParam();
    ImagePlan plan = GoodProgram(arch);
    fault.change(plan);
    const auto problems = CheckProgram(plan, arch);
    ASSERT_EQ(problems.size(), fault.problems.size()) << Join(problems);
    for (std::size_t i = 0; i < problems.size(); ++i)
        EXPECT_NE(problems[i].find(fault.problems[i]), std::string::npos) << problems[i];
}

const ProgramFault kProgramFaults[] = {
    {"MachineArm64", [](ImagePlan& s) { s.machine = 0xaa64; }, {"machine is 0xaa64, expected"}},
    {"ConsoleSubsystem", [](ImagePlan& s) { s.subsystem = kSubsystemWindowsCui; }, {"subsystem is 3, expected 2 (Windows GUI)"}},
    {"MarkedAsDll", [](ImagePlan& s) { s.dll = true; }, {"is marked as a DLL"}},
    {"SubsystemVersionOfWindows8",
     [](ImagePlan& s) {
         s.majorSubsystemVersion = 6;
         s.minorSubsystemVersion = 2;
     },
     {"subsystem version is 6.2, newer than Windows Vista's 6.0"}},
    {"SystemVersionOfWindows10", [](ImagePlan& s) { s.majorOperatingSystemVersion = 10; },
     {"operating system version is 10.0, newer than Windows Vista's 6.0"}},
    {"NewPixByOrdinal", [](ImagePlan& s) { SetNewPix(s, Thunk::Ordinal(1)); },
     {"imports ordinal 1 from Quelvano.dll, which exports only \"NewPix\", by name",
      "does not import \"NewPix\" by name from Quelvano.dll"}},
    {"NewPixDecorated", [](ImagePlan& s) { SetNewPix(s, Thunk::Name("NewPix@44")); },
     {"imports \"NewPix@44\" from Quelvano.dll", "does not import \"NewPix\" by name from Quelvano.dll"}},
    {"NewPixFromAnotherDll",
     [](ImagePlan& s) {
         RemoveImport(s, "Quelvano.dll");
         s.imports.push_back({"Quelvano32.dll", {Thunk::Name("NewPix")}});
     },
     {"does not import \"NewPix\" by name from Quelvano.dll (imported DLLs: KERNEL32.dll, msvcrt.dll, COMCTL32.dll, "
      "USER32.dll, Quelvano32.dll)",
      "imports from Quelvano32.dll, which is not one of the allowed Windows DLLs"}},
    {"NewPixNotImported", [](ImagePlan& s) { RemoveImport(s, "Quelvano.dll"); },
     {"does not import \"NewPix\" by name from Quelvano.dll (imported DLLs: KERNEL32.dll, msvcrt.dll, COMCTL32.dll, USER32.dll)"}},
    {"QuelvanoDelayLoaded",
     [](ImagePlan& s) { s.delayImports.push_back({"quelvano.DLL", {Thunk::Name("NewPix")}}); },
     {"quelvano.DLL is delay-loaded; it must be an ordinary import"}},
    {"ImportDirectoryUnreadable",
     [](ImagePlan& s) { FindImport(s, "USER32.dll")->dll = std::string(5000, 'u'); },
     {"import directory cannot be read: imported DLL name at RVA"}},
    {"LibStdCxx", [](ImagePlan& s) { s.imports.push_back({"libstdc++-6.dll", {Thunk::Name("_ZSt4cout")}}); },
     {"imports from libstdc++-6.dll, a compiler runtime DLL: the C++ runtime must be linked statically"}},
    {"LibGcc", [](ImagePlan& s) { s.imports.push_back({"libgcc_s_dw2-1.dll", {Thunk::Name("__udivdi3")}}); },
     {"imports from libgcc_s_dw2-1.dll, a compiler runtime DLL"}},
    {"LibGccSeh", [](ImagePlan& s) { s.imports.push_back({"libgcc_s_seh-1.dll", {Thunk::Name("_Unwind_Resume")}}); },
     {"imports from libgcc_s_seh-1.dll, a compiler runtime DLL"}},
    {"WinPthread", [](ImagePlan& s) { s.imports.push_back({"libwinpthread-1.dll", {Thunk::Name("pthread_mutex_lock")}}); },
     {"imports from libwinpthread-1.dll, a compiler runtime DLL"}},
    {"DelayLoadedRuntime", [](ImagePlan& s) { s.delayImports.push_back({"libstdc++-6.dll", {Thunk::Name("_ZdlPv")}}); },
     {"imports from libstdc++-6.dll"}},
    {"UnknownDll", [](ImagePlan& s) { s.imports.push_back({"d2d1.dll", {Thunk::Name("D2D1CreateFactory")}}); },
     {"imports from d2d1.dll, which is not one of the allowed Windows DLLs"}},
    {"ApiSet", [](ImagePlan& s) { s.imports.push_back({"api-ms-win-core-synch-l1-2-0.dll", {Thunk::Name("WaitOnAddress")}}); },
     {"imports from api-ms-win-core-synch-l1-2-0.dll: an API set DLL, which Windows Vista lacks"}},
    {"ExtensionApiSet", [](ImagePlan& s) { s.imports.push_back({"ext-ms-win-ntuser-window-l1-1-0.dll", {Thunk::Ordinal(3)}}); },
     {"an API set DLL"}},
    {"Shcore", [](ImagePlan& s) { s.imports.push_back({"SHCORE.dll", {Thunk::Ordinal(3)}}); },
     {"imports from SHCORE.dll, which Windows Vista lacks (Windows 8.1 and later)"}},
    {"NewerFunctionDelayLoaded", [](ImagePlan& s) { s.delayImports.push_back({"UxTheme.dll", {Thunk::Name("OpenThemeDataForDpi")}}); },
     {"imports from UxTheme.dll, a Windows DLL that is not a KnownDLL",
      "imports OpenThemeDataForDpi from UxTheme.dll, which Windows Vista lacks (since Windows 10 1703)"}},
    {"PlantableUxTheme", [](ImagePlan& s) { s.imports.push_back({"UXTHEME.dll", {Thunk::Name("OpenThemeData")}}); },
     {"imports from UXTHEME.dll, a Windows DLL that is not a KnownDLL on every Windows: the loader looks for it in the "
      "program's folder first"}},
    {"PlantableVersion", [](ImagePlan& s) { s.imports.push_back({"VERSION.dll", {Thunk::Name("GetFileVersionInfoW")}}); },
     {"imports from VERSION.dll, a Windows DLL that is not a KnownDLL"}},
    {"PlantableDelayLoaded", [](ImagePlan& s) { s.delayImports.push_back({"dwmapi.dll", {Thunk::Name("DwmFlush")}}); },
     {"imports from dwmapi.dll, a Windows DLL that is not a KnownDLL"}},
    {"NoManifest", [](ImagePlan& s) { s.resources.pop_back(); }, {"has no manifest resource (type 24, id 1); manifest ids present: none"}},
    {"ManifestWithAnotherId", [](ImagePlan& s) { s.resources.back().id = 2; }, {"manifest ids present: 2"}},
    {"ManifestMissingAnItem",
     [](ImagePlan& s) {
         std::string& m = s.resources.back().data;
         m.replace(m.find("PerMonitorV2"), 12, "PerMonitor");
     },
     {R"(manifest: dpiAwareness is "PerMonitor", expected "PerMonitorV2")"}},
};

INSTANTIATE_TEST_SUITE_P(Program, ProgramFaultTest,
                         ::testing::Combine(::testing::ValuesIn(kProgramFaults), ::testing::Values(Arch::I686, Arch::X86_64)),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param).name) + "_" +
                                    (std::get<1>(info.param) == Arch::I686 ? "i686" : "x86_64");
                         });

// Both the wrong import and the missing right one are named.
TEST(ProgramCheck, AnImportByOrdinalFromQuelvanoIsNamed) {
    ImagePlan plan = GoodProgram(Arch::I686);
    FindImport(plan, "Quelvano.dll")->functions.push_back(Thunk::Ordinal(7));
    const auto problems = CheckProgram(plan, Arch::I686);
    ASSERT_EQ(problems.size(), 1u) << Join(problems);
    EXPECT_EQ(problems[0], "imports ordinal 7 from Quelvano.dll, which exports only \"NewPix\", by name");

    SetNewPix(plan, Thunk::Name("_NewPix@44"));
    const auto decorated = CheckProgram(plan, Arch::I686);
    ASSERT_EQ(decorated.size(), 2u) << Join(decorated);
    EXPECT_EQ(decorated[0], "imports \"_NewPix@44\" from Quelvano.dll, which exports only \"NewPix\", by name");
}

// Delay-loading NewPix leaves no ordinary import: both are said.
TEST(ProgramCheck, NewPixDelayLoadedIsTwoProblems) {
    ImagePlan plan = GoodProgram(Arch::X86_64);
    RemoveImport(plan, "Quelvano.dll");
    plan.delayImports.push_back({"Quelvano.dll", {Thunk::Name("NewPix")}});
    const auto problems = CheckProgram(plan, Arch::X86_64);
    ASSERT_EQ(problems.size(), 2u) << Join(problems);
    EXPECT_EQ(problems[0], "Quelvano.dll is delay-loaded; it must be an ordinary import");
    EXPECT_NE(problems[1].find("does not import \"NewPix\" by name"), std::string::npos) << problems[1];
}

TEST(ProgramCheck, EveryFunctionVistaLacksIsRefused) {
    for (const NewerFunction& f : FunctionsVistaLacks()) {
        ImagePlan plan = GoodProgram(Arch::I686);
        plan.imports.push_back({std::string(f.dll), {Thunk::Name(f.function)}});
        const auto problems = CheckProgram(plan, Arch::I686);
        const std::string expected = std::string("imports ") + f.function + " from " + f.dll +
                                     ", which Windows Vista lacks (since " + f.since + "): look it up at run time";
        EXPECT_NE(std::find(problems.begin(), problems.end(), expected), problems.end()) << expected << Join(problems);
    }
}

TEST(ProgramCheck, TheDenyListNamesEachFunctionOnce) {
    const auto& functions = FunctionsVistaLacks();
    for (std::size_t i = 0; i < functions.size(); ++i) {
        for (std::size_t j = i + 1; j < functions.size(); ++j)
            EXPECT_FALSE(std::string(functions[i].function) == functions[j].function) << functions[i].function;
    }
}

// Vista's own functions, some of them close relatives of refused ones.
TEST(ProgramCheck, FunctionsVistaHasAreAllowed) {
    const DllPlan vista[] = {
        {"USER32.dll", {Thunk::Name("SetProcessDPIAware"), Thunk::Name("IsProcessDPIAware"), Thunk::Name("LogicalToPhysicalPoint"),
                        Thunk::Name("ChangeWindowMessageFilter")}},
        {"UxTheme.dll", {Thunk::Name("BufferedPaintInit"), Thunk::Name("BeginBufferedPaint"), Thunk::Name("OpenThemeDataEx"),
                         Thunk::Name("GetThemeBitmap"), Thunk::Name("GetThemeTransitionDuration"), Thunk::Name("DrawThemeTextEx")}},
        {"KERNEL32.dll", {Thunk::Name("InitializeSRWLock"), Thunk::Name("AcquireSRWLockExclusive"), Thunk::Name("GetTickCount64")}},
        {"comctl32.dll", {Thunk::Name("TaskDialogIndirect"), Thunk::Name("LoadIconMetric")}},
        {"GDI32.dll", {Thunk::Name("CreateFontIndirectW")}},
        {"OLEAUT32.dll", {Thunk::Ordinal(2)}},
        {"ADVAPI32.dll", {Thunk::Name("RegOpenKeyExW")}},
        {"SHELL32.dll", {Thunk::Name("SHGetKnownFolderPath")}},
        {"COMDLG32.dll", {Thunk::Name("GetSaveFileNameW")}},
        {"OLE32.dll", {Thunk::Name("CoInitializeEx")}},
    };
    for (Arch arch : {Arch::I686, Arch::X86_64}) {
        ImagePlan plan = GoodProgram(arch);
        plan.imports.insert(plan.imports.end(), std::begin(vista), std::end(vista));
        // uxtheme.dll is refused for where the loader finds it, not for its functions.
        const auto problems = CheckProgram(plan, arch);
        ASSERT_EQ(problems.size(), 1u) << Join(problems);
        EXPECT_EQ(problems[0].find("imports from UxTheme.dll, a Windows DLL that is not a KnownDLL"), 0u) << problems[0];
    }
}

TEST(ProgramCheck, EachManifestLanguageIsChecked) {
    ImagePlan plan = GoodProgram(Arch::I686);
    test::ResourcePlan second = plan.resources.back();
    second.language = 0x416;
    second.data.replace(second.data.find("asInvoker"), 9, "highestAvailable");
    plan.resources.push_back(second);
    const auto problems = CheckProgram(plan, Arch::I686);
    ASSERT_EQ(problems.size(), 1u) << Join(problems);
    EXPECT_EQ(problems[0], "manifest: requestedExecutionLevel level is \"highestAvailable\", expected \"asInvoker\" (language 1046)");
}

// --- Quelvano.dll -------------------------------------------------------------

struct LibraryFault {
    const char* name;
    std::function<void(ImagePlan&)> change;
    const char* problem;
};

void PrintTo(const LibraryFault& f, std::ostream* os) { *os << f.name; }

class LibraryFaultTest : public ::testing::TestWithParam<std::tuple<LibraryFault, Arch>> {};

TEST_P(LibraryFaultTest, IsReported) {
    const auto& [fault, arch] = GetParam();
    ImagePlan plan = GoodLibrary(arch);
    fault.change(plan);
    const auto problems = CheckLibrary(plan, arch);
    ASSERT_EQ(problems.size(), 1u) << Join(problems);
    EXPECT_NE(problems[0].find(fault.problem), std::string::npos) << problems[0];
}

const LibraryFault kLibraryFaults[] = {
    {"NotADll", [](ImagePlan& s) { s.dll = false; }, "is not marked as a DLL"},
    {"MachineArm", [](ImagePlan& s) { s.machine = 0x1c4; }, "machine is 0x1c4, expected"},
    {"NoExports", [](ImagePlan& s) { s.exportDllName.clear(); }, "does not export \"NewPix\" by name (exports: none)"},
    {"DecoratedExport", [](ImagePlan& s) { s.exports = {{"NewPix@44", ""}}; },
     "does not export \"NewPix\" by name (exports: \"NewPix@44\")"},
    {"UnderscoreExport", [](ImagePlan& s) { s.exports = {{"_NewPix@44", ""}, {"Other", ""}}; },
     "(exports: \"_NewPix@44\", \"Other\")"},
    {"ExportByOrdinalOnly", [](ImagePlan& s) { s.exports = {{"", ""}}; }, "(exports: ordinal 1)"},
    {"ForwardedExport", [](ImagePlan& s) { s.exports = {{"NewPix", "REAL.NewPix"}}; }, "exports NewPix forwarded to REAL.NewPix"},
    {"SubsystemVersionOfWindows7",
     [](ImagePlan& s) {
         s.majorSubsystemVersion = 6;
         s.minorSubsystemVersion = 1;
     },
     "subsystem version is 6.1, newer than Windows Vista's 6.0"},
    {"LibStdCxx", [](ImagePlan& s) { s.imports.push_back({"libstdc++-6.dll", {Thunk::Name("_Znwj")}}); },
     "imports from libstdc++-6.dll, a compiler runtime DLL"},
    {"ImportsItself", [](ImagePlan& s) { s.imports.push_back({"Quelvano.dll", {Thunk::Name("NewPix")}}); },
     "imports from Quelvano.dll, which is not one of the allowed Windows DLLs"},
};

INSTANTIATE_TEST_SUITE_P(Library, LibraryFaultTest,
                         ::testing::Combine(::testing::ValuesIn(kLibraryFaults), ::testing::Values(Arch::I686, Arch::X86_64)),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param).name) + "_" +
                                    (std::get<1>(info.param) == Arch::I686 ? "i686" : "x86_64");
                         });

TEST(ArchNames, AreTheBuildsTriplets) {
    Arch arch;
    ASSERT_TRUE(ParseArch("i686", arch));
    EXPECT_EQ(arch, Arch::I686);
    ASSERT_TRUE(ParseArch("x86_64", arch));
    EXPECT_EQ(arch, Arch::X86_64);
    EXPECT_FALSE(ParseArch("x86", arch));
    EXPECT_FALSE(ParseArch("", arch));
}

}  // namespace
}  // namespace pe
