#include "tests/pe/pe_checks.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "tests/pe/manifest_check.h"
#include "tests/pe/version_info.h"

namespace pe {
namespace {

constexpr const char* kQuelvano = "Quelvano.dll";
constexpr const char* kNewPix = "NewPix";
constexpr std::uint16_t kManifestId = 1;  // the manifest the loader reads for a program

// Vista is Windows 6.0: a program or DLL asking for a newer system or
// subsystem version does not load there.
constexpr std::uint32_t kVistaVersion = 0x00060000;

const ArchTraits kI686 = {"i686", kMachineI386, kMagicPe32, "x86"};
const ArchTraits kX86_64 = {"x86_64", kMachineAmd64, kMagicPe32Plus, "amd64"};

std::string Hex(std::uint64_t v) {
    char buffer[24];
    std::snprintf(buffer, sizeof buffer, "0x%llx", static_cast<unsigned long long>(v));
    return buffer;
}

bool SameIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

bool StartsIgnoringCase(std::string_view s, std::string_view prefix) {
    return s.size() >= prefix.size() && SameIgnoringCase(s.substr(0, prefix.size()), prefix);
}

std::string Join(const std::vector<std::string>& items) {
    std::string s;
    for (const std::string& item : items) s += (s.empty() ? "" : ", ") + item;
    return s.empty() ? "none" : s;
}

std::string Describe(const ImportedFunction& f) {
    return f.byOrdinal ? "ordinal " + std::to_string(f.ordinal) : "\"" + f.name + "\"";
}

void CheckMachine(const PeFile& file, const ArchTraits& arch, std::vector<std::string>& problems) {
    const Headers& h = file.GetHeaders();
    if (h.machine != arch.machine)
        problems.push_back("machine is " + Hex(h.machine) + ", expected " + Hex(arch.machine) + " for " + arch.name);
    if (h.magic != arch.magic)
        problems.push_back("optional header magic is " + Hex(h.magic) + ", expected " + Hex(arch.magic) + " for " + arch.name);
}

void CheckLoadsOnVista(const PeFile& file, std::vector<std::string>& problems) {
    const Headers& h = file.GetHeaders();
    const auto check = [&](const char* what, std::uint16_t major, std::uint16_t minor) {
        if ((std::uint32_t{major} << 16 | minor) > kVistaVersion)
            problems.push_back(std::string(what) + " version is " + std::to_string(major) + "." + std::to_string(minor) +
                               ", newer than Windows Vista's 6.0");
    };
    check("operating system", h.majorOperatingSystemVersion, h.minorOperatingSystemVersion);
    check("subsystem", h.majorSubsystemVersion, h.minorSubsystemVersion);
}

// Why the program must not import from `dll`, or empty when it may.
std::string DllProblem(const std::string& dll, bool quelvanoAllowed) {
    if (quelvanoAllowed && SameIgnoringCase(dll, kQuelvano)) return {};
    const auto& allowed = AllowedSystemDlls();
    if (std::any_of(allowed.begin(), allowed.end(), [&](const char* a) { return SameIgnoringCase(dll, a); })) return {};
    if (StartsIgnoringCase(dll, "api-ms-win-") || StartsIgnoringCase(dll, "ext-ms-win-"))
        return "imports from " + dll + ": an API set DLL, which Windows Vista lacks (Windows 8 and later)";
    if (SameIgnoringCase(dll, "shcore.dll")) return "imports from " + dll + ", which Windows Vista lacks (Windows 8.1 and later)";
    const auto& plantable = PlantableSystemDlls();
    if (std::any_of(plantable.begin(), plantable.end(), [&](const char* p) { return SameIgnoringCase(dll, p); }))
        return "imports from " + dll + ", a Windows DLL that is not a KnownDLL on every Windows: the loader looks for it "
               "in the program's folder first, where a planted copy could wait; load it at run time from the system folder";
    if (StartsIgnoringCase(dll, "libstdc++") || StartsIgnoringCase(dll, "libgcc") || StartsIgnoringCase(dll, "libwinpthread"))
        return "imports from " + dll + ", a compiler runtime DLL: the C++ runtime must be linked statically";
    return "imports from " + dll + ", which is not one of the allowed Windows DLLs";
}

void CheckDlls(const std::vector<ImportedDll>& dlls, bool quelvanoAllowed, std::vector<std::string>& problems) {
    for (const ImportedDll& dll : dlls) {
        std::string problem = DllProblem(dll.name, quelvanoAllowed);
        if (!problem.empty()) problems.push_back(std::move(problem));
    }
}

void CheckVistaFunctions(const std::vector<ImportedDll>& dlls, std::vector<std::string>& problems) {
    for (const ImportedDll& dll : dlls) {
        for (const ImportedFunction& f : dll.functions) {
            if (f.byOrdinal) continue;
            for (const NewerFunction& newer : FunctionsVistaLacks()) {
                if (f.name == newer.function && SameIgnoringCase(dll.name, newer.dll))
                    problems.push_back("imports " + f.name + " from " + dll.name + ", which Windows Vista lacks (since " +
                                       newer.since + "): look it up at run time");
            }
        }
    }
}

void CheckNewPixImport(const std::vector<ImportedDll>& imports, const std::vector<ImportedDll>& delayed,
                       std::vector<std::string>& problems) {
    for (const ImportedDll& dll : delayed) {
        if (SameIgnoringCase(dll.name, kQuelvano))
            problems.push_back(dll.name + " is delay-loaded; it must be an ordinary import");
    }
    std::vector<std::string> names;
    bool found = false;
    for (const ImportedDll& dll : imports) {
        names.push_back(dll.name);
        if (!SameIgnoringCase(dll.name, kQuelvano)) continue;
        for (const ImportedFunction& f : dll.functions) {
            if (!f.byOrdinal && f.name == kNewPix) {
                found = true;
                continue;
            }
            problems.push_back("imports " + Describe(f) + " from " + dll.name + ", which exports only \"NewPix\", by name");
        }
    }
    if (!found)
        problems.push_back(std::string("does not import \"NewPix\" by name from ") + kQuelvano + " (imported DLLs: " +
                           Join(names) + ")");
}

void CheckManifestResource(const PeFile& exe, const ArchTraits& arch, std::vector<std::string>& problems) {
    std::vector<Resource> manifests;
    std::vector<std::string> present;
    try {
        for (Resource& r : exe.Resources()) {
            if (!r.type.Is(kResourceTypeManifest)) continue;
            present.push_back(r.name.Describe());
            if (r.name.Is(kManifestId)) manifests.push_back(std::move(r));
        }
    } catch (const FormatError& e) {
        problems.push_back(std::string("resources cannot be read: ") + e.what());
        return;
    }
    if (manifests.empty())
        problems.push_back("has no manifest resource (type 24, id 1); manifest ids present: " + Join(present));
    for (const Resource& m : manifests) {
        const std::string_view text(reinterpret_cast<const char*>(m.data.data()), m.data.size());
        for (const std::string& p : CheckManifest(text, arch.manifestArchitecture))
            problems.push_back(manifests.size() > 1 ? p + " (language " + std::to_string(m.language) + ")" : p);
    }
}

}  // namespace

const ArchTraits& TraitsOf(Arch arch) { return arch == Arch::I686 ? kI686 : kX86_64; }

bool ParseArch(std::string_view name, Arch& arch) {
    if (name == kI686.name) arch = Arch::I686;
    else if (name == kX86_64.name) arch = Arch::X86_64;
    else return false;
    return true;
}

const std::vector<NewerFunction>& FunctionsVistaLacks() {
    static const std::vector<NewerFunction> functions = {
        // Per-monitor DPI, first form (Windows 8.1).
        {"user32.dll", "LogicalToPhysicalPointForPerMonitorDPI", "Windows 8.1"},
        {"user32.dll", "PhysicalToLogicalPointForPerMonitorDPI", "Windows 8.1"},
        {"shcore.dll", "GetDpiForMonitor", "Windows 8.1"},
        {"shcore.dll", "SetProcessDpiAwareness", "Windows 8.1"},
        {"shcore.dll", "GetProcessDpiAwareness", "Windows 8.1"},
        {"shcore.dll", "GetScaleFactorForMonitor", "Windows 8.1"},
        // DPI awareness contexts and the per-DPI metrics (Windows 10).
        {"user32.dll", "SetThreadDpiAwarenessContext", "Windows 10 1607"},
        {"user32.dll", "GetThreadDpiAwarenessContext", "Windows 10 1607"},
        {"user32.dll", "GetWindowDpiAwarenessContext", "Windows 10 1607"},
        {"user32.dll", "GetAwarenessFromDpiAwarenessContext", "Windows 10 1607"},
        {"user32.dll", "AreDpiAwarenessContextsEqual", "Windows 10 1607"},
        {"user32.dll", "IsValidDpiAwarenessContext", "Windows 10 1607"},
        {"user32.dll", "GetDpiForWindow", "Windows 10 1607"},
        {"user32.dll", "GetDpiForSystem", "Windows 10 1607"},
        {"user32.dll", "GetSystemMetricsForDpi", "Windows 10 1607"},
        {"user32.dll", "AdjustWindowRectExForDpi", "Windows 10 1607"},
        {"user32.dll", "SystemParametersInfoForDpi", "Windows 10 1607"},
        {"user32.dll", "EnableNonClientDpiScaling", "Windows 10 1607"},
        {"user32.dll", "SetProcessDpiAwarenessContext", "Windows 10 1703"},
        {"user32.dll", "SetDialogDpiChangeBehavior", "Windows 10 1703"},
        {"user32.dll", "GetDialogDpiChangeBehavior", "Windows 10 1703"},
        {"user32.dll", "SetDialogControlDpiChangeBehavior", "Windows 10 1703"},
        {"user32.dll", "GetDialogControlDpiChangeBehavior", "Windows 10 1703"},
        {"user32.dll", "GetDpiFromDpiAwarenessContext", "Windows 10 1803"},
        {"user32.dll", "GetSystemDpiForProcess", "Windows 10 1803"},
        {"user32.dll", "SetThreadDpiHostingBehavior", "Windows 10 1803"},
        {"user32.dll", "GetThreadDpiHostingBehavior", "Windows 10 1803"},
        {"user32.dll", "GetWindowDpiHostingBehavior", "Windows 10 1803"},
        // Themes: the animation timing calls and per-DPI theme data. (Buffered
        // painting, OpenThemeDataEx, GetThemeBitmap, GetThemeTransitionDuration
        // and DrawThemeTextEx are Vista's own.)
        {"uxtheme.dll", "GetThemeAnimationProperty", "Windows 8"},
        {"uxtheme.dll", "GetThemeAnimationTransform", "Windows 8"},
        {"uxtheme.dll", "GetThemeTimingFunction", "Windows 8"},
        {"uxtheme.dll", "OpenThemeDataForDpi", "Windows 10 1703"},
        // Other window-manager calls a desktop program might reach for.
        {"user32.dll", "ChangeWindowMessageFilterEx", "Windows 7"},  // ChangeWindowMessageFilter is Vista's
        {"user32.dll", "SetWindowDisplayAffinity", "Windows 7"},
        {"user32.dll", "GetWindowDisplayAffinity", "Windows 7"},
        {"user32.dll", "RegisterTouchWindow", "Windows 7"},
        {"user32.dll", "GetGestureInfo", "Windows 7"},
        {"user32.dll", "GetDisplayConfigBufferSizes", "Windows 7"},
        {"user32.dll", "QueryDisplayConfig", "Windows 7"},
        {"user32.dll", "EnableMouseInPointer", "Windows 8"},
        {"user32.dll", "GetPointerType", "Windows 8"},
        {"shell32.dll", "SetCurrentProcessExplicitAppUserModelID", "Windows 7"},
        {"shell32.dll", "SHGetPropertyStoreForWindow", "Windows 7"},
        // Kernel calls a newer runtime library might pull in. (The SRW locks
        // themselves, GetTickCount64 and the locale-name calls are Vista's.)
        {"kernel32.dll", "TryAcquireSRWLockExclusive", "Windows 7"},
        {"kernel32.dll", "TryAcquireSRWLockShared", "Windows 7"},
        {"kernel32.dll", "GetCurrentProcessorNumberEx", "Windows 7"},
        {"kernel32.dll", "GetLogicalProcessorInformationEx", "Windows 7"},
        {"kernel32.dll", "ResolveLocaleName", "Windows 7"},
        {"kernel32.dll", "GetSystemTimePreciseAsFileTime", "Windows 8"},
        {"kernel32.dll", "CreateFile2", "Windows 8"},
        {"kernel32.dll", "SetDefaultDllDirectories", "Windows 8"},
        {"kernel32.dll", "AddDllDirectory", "Windows 8"},
        {"kernel32.dll", "RemoveDllDirectory", "Windows 8"},
        {"kernel32.dll", "SetThreadDescription", "Windows 10 1607"},
        {"kernel32.dll", "GetThreadDescription", "Windows 10 1607"},
    };
    return functions;
}

const std::vector<const char*>& AllowedSystemDlls() {
    // A DLL imported by name is looked for in the program's folder before the
    // system folder, unless Windows maps it from its own copy whatever the
    // search order says. Two kinds are mapped so:
    //  - KnownDLLs (HKLM\System\CurrentControlSet\Control\Session
    //    Manager\KnownDLLs): these, the list shared by Vista, 7, 8, 8.1 and
    //    10, come from the system's section objects, never from a folder.
    //    Lists differ between versions; only names every one of them holds
    //    are here (DLLs that some version lacks, such as lpk, usp10, urlmon or
    //    wininet, are left out).
    //  - comctl32.dll: never a KnownDLL, since versions 5 and 6 live side by
    //    side; the embedded manifest (checked by CheckManifest) depends on
    //    Microsoft.Windows.Common-Controls 6.0, so the loader binds it through
    //    the activation context to the copy in the system's assembly store,
    //    before any folder is searched. (A PixGen.exe.local folder could
    //    redirect it, but Windows honours that for a program with a manifest
    //    only where an administrator set DevOverrideEnable.)
    // Everything else, uxtheme.dll and version.dll among them, would be taken
    // from a planted copy beside the program: load those at run time from the
    // system folder instead. Quelvano.dll is the one DLL meant to come from
    // the program's folder.
    static const std::vector<const char*> dlls = {
        "kernel32.dll", "user32.dll", "gdi32.dll",   "advapi32.dll", "comdlg32.dll", "ole32.dll",  "oleaut32.dll",
        "shell32.dll",  "shlwapi.dll", "imm32.dll", "msvcrt.dll",   "psapi.dll",    "rpcrt4.dll", "ws2_32.dll",
        "comctl32.dll",
    };
    return dlls;
}

const std::vector<const char*>& PlantableSystemDlls() {
    static const std::vector<const char*> dlls = {
        "uxtheme.dll", "version.dll", "winmm.dll",   "dwmapi.dll",  "msimg32.dll",  "winspool.drv", "dbghelp.dll",
        "propsys.dll", "wtsapi32.dll", "winhttp.dll", "iphlpapi.dll", "secur32.dll", "crypt32.dll",  "userenv.dll",
        "netapi32.dll", "mpr.dll",     "oledlg.dll",  "hhctrl.ocx",  "wininet.dll",  "urlmon.dll",   "usp10.dll",
        "lpk.dll",     "gdiplus.dll",  "d3d9.dll",    "opengl32.dll",
    };
    return dlls;
}

std::vector<std::string> CheckPixGen(const PeFile& exe, Arch arch) {
    const ArchTraits& traits = TraitsOf(arch);
    std::vector<std::string> problems;
    CheckMachine(exe, traits, problems);
    const Headers& h = exe.GetHeaders();
    if (h.subsystem != kSubsystemWindowsGui)
        problems.push_back("subsystem is " + std::to_string(h.subsystem) + ", expected " +
                           std::to_string(kSubsystemWindowsGui) + " (Windows GUI)");
    if (h.characteristics & kFileDll) problems.push_back("is marked as a DLL (characteristics " + Hex(h.characteristics) + ")");
    CheckLoadsOnVista(exe, problems);

    std::vector<ImportedDll> imports, delayed;
    bool readable = true;
    try {
        imports = exe.Imports();
    } catch (const FormatError& e) {
        problems.push_back(std::string("import directory cannot be read: ") + e.what());
        readable = false;
    }
    try {
        delayed = exe.DelayImports();
    } catch (const FormatError& e) {
        problems.push_back(std::string("delay-import directory cannot be read: ") + e.what());
        readable = false;
    }
    if (readable) CheckNewPixImport(imports, delayed, problems);
    CheckDlls(imports, true, problems);
    CheckDlls(delayed, true, problems);
    CheckVistaFunctions(imports, problems);
    CheckVistaFunctions(delayed, problems);

    CheckManifestResource(exe, traits, problems);
    return problems;
}

std::vector<std::string> CheckQuelvano(const PeFile& dll, Arch arch) {
    const ArchTraits& traits = TraitsOf(arch);
    std::vector<std::string> problems;
    CheckMachine(dll, traits, problems);
    const Headers& h = dll.GetHeaders();
    if (!(h.characteristics & kFileDll)) problems.push_back("is not marked as a DLL (characteristics " + Hex(h.characteristics) + ")");
    CheckLoadsOnVista(dll, problems);

    try {
        const Exports exports = dll.ReadExports();
        std::vector<std::string> names;
        bool found = false;
        for (const ExportedFunction& f : exports.functions) {
            names.push_back(f.name.empty() ? "ordinal " + std::to_string(f.ordinal) : "\"" + f.name + "\"");
            if (f.name != kNewPix) continue;
            found = true;
            if (!f.forwarder.empty()) problems.push_back("exports NewPix forwarded to " + f.forwarder);
        }
        if (!found) problems.push_back("does not export \"NewPix\" by name (exports: " + Join(names) + ")");
    } catch (const FormatError& e) {
        problems.push_back(std::string("export directory cannot be read: ") + e.what());
    }

    // It is loaded beside PixGen.exe, where no runtime DLL is to be found.
    try {
        CheckDlls(dll.Imports(), false, problems);
        CheckDlls(dll.DelayImports(), false, problems);
    } catch (const FormatError& e) {
        problems.push_back(std::string("imports cannot be read: ") + e.what());
    }
    return problems;
}

std::vector<std::string> CheckVersion(const PeFile& file, const std::string& version, std::uint32_t fileType,
                                      const std::string& fileName) {
    std::vector<std::string> problems;
    std::optional<VersionInfo> info;
    try {
        info = ReadVersionInfo(file);
    } catch (const FormatError& e) {
        problems.push_back(std::string("version resource cannot be read: ") + e.what());
        return problems;
    }
    if (!info) {
        problems.push_back("has no version resource (type 16, id 1)");
        return problems;
    }
    // "1.0" is 1.0.0.0 in the fixed information.
    std::uint16_t parts[4] = {};
    std::size_t count = 0, at = 0;
    while (count < 4 && at <= version.size()) {
        const std::size_t dot = std::min(version.find('.', at), version.size());
        parts[count++] = static_cast<std::uint16_t>(std::stoul(version.substr(at, dot - at)));
        at = dot + 1;
    }
    const auto show = [](const std::uint16_t (&v)[4]) {
        return std::to_string(v[0]) + "." + std::to_string(v[1]) + "." + std::to_string(v[2]) + "." + std::to_string(v[3]);
    };
    if (!std::equal(std::begin(parts), std::end(parts), std::begin(info->fileVersion)))
        problems.push_back("FILEVERSION is " + show(info->fileVersion) + ", expected " + show(parts));
    if (!std::equal(std::begin(parts), std::end(parts), std::begin(info->productVersion)))
        problems.push_back("PRODUCTVERSION is " + show(info->productVersion) + ", expected " + show(parts));
    if (info->fileType != fileType)
        problems.push_back("FILETYPE is " + std::to_string(info->fileType) + ", expected " + std::to_string(fileType));
    const struct {
        const char* name;
        std::string expected;  // empty: any text but none
    } strings[] = {{"FileVersion", version}, {"ProductVersion", version}, {"ProductName", "PixGen"},
                   {"OriginalFilename", fileName}, {"FileDescription", ""}};
    for (const auto& s : strings) {
        const std::string value = info->String(s.name);
        if (s.expected.empty() ? value.empty() : value != s.expected)
            problems.push_back(std::string("version string ") + s.name + " is \"" + value + "\", expected " +
                               (s.expected.empty() ? std::string("a text") : "\"" + s.expected + "\""));
    }
    return problems;
}

}  // namespace pe
