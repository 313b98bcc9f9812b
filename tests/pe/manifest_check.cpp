#include "tests/pe/manifest_check.h"

#include <algorithm>
#include <cctype>

#include "tests/pe/xml.h"

namespace pe {
namespace {

constexpr const char* kAsmV1 = "urn:schemas-microsoft-com:asm.v1";
constexpr const char* kAsmV2 = "urn:schemas-microsoft-com:asm.v2";
constexpr const char* kAsmV3 = "urn:schemas-microsoft-com:asm.v3";
constexpr const char* kCompatibility = "urn:schemas-microsoft-com:compatibility.v1";
constexpr const char* kSettings2005 = "http://schemas.microsoft.com/SMI/2005/WindowsSettings";
constexpr const char* kSettings2016 = "http://schemas.microsoft.com/SMI/2016/WindowsSettings";

// One element on the way down from <assembly>; trustInfo and its children
// are accepted by Windows in either of two namespaces.
struct Step {
    const char* local;
    const char* ns;
    const char* otherNs = nullptr;
};
using Path = std::vector<Step>;

const Path kDependencyIdentity = {{"dependency", kAsmV1}, {"dependentAssembly", kAsmV1}, {"assemblyIdentity", kAsmV1}};
const Path kExecutionLevel = {{"trustInfo", kAsmV3, kAsmV2},
                              {"security", kAsmV3, kAsmV2},
                              {"requestedPrivileges", kAsmV3, kAsmV2},
                              {"requestedExecutionLevel", kAsmV3, kAsmV2}};
const Path kSupportedOs = {{"compatibility", kCompatibility}, {"application", kCompatibility}, {"supportedOS", kCompatibility}};

struct TextSetting {
    Path path;
    const char* expected;
};

const TextSetting kTextSettings[] = {
    {{{"application", kAsmV3}, {"windowsSettings", kAsmV3}, {"dpiAware", kSettings2005}}, "true/pm"},
    {{{"application", kAsmV3}, {"windowsSettings", kAsmV3}, {"dpiAwareness", kSettings2016}}, "PerMonitorV2"},
};

struct SupportedOs {
    const char* windows;
    const char* id;
};

const SupportedOs kSupportedSystems[] = {
    {"Windows Vista", "{e2011457-1546-43c5-a5fe-008deee3d3f0}"},
    {"Windows 7", "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}"},
    {"Windows 8", "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}"},
    {"Windows 8.1", "{1f676c76-80e1-4239-95bb-83d0f6d0da78}"},
    {"Windows 10", "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"},
};

constexpr const char* kCommonControls = "Microsoft.Windows.Common-Controls";
constexpr const char* kCommonControlsVersion = "6.0.0.0";
constexpr const char* kCommonControlsKey = "6595b64144ccf1df";

bool SameIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

std::string Trim(const std::string& s) {
    const auto space = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    const auto first = std::find_if_not(s.begin(), s.end(), space);
    const auto last = std::find_if_not(s.rbegin(), s.rend(), space).base();
    return first < last ? std::string(first, last) : std::string();
}

std::string Quote(const std::string* s) { return s ? "\"" + *s + "\"" : std::string("absent"); }

bool Matches(const xml::Element& e, const Step& step) {
    return e.local == step.local && (e.ns == step.ns || (step.otherNs && e.ns == step.otherNs));
}

void Collect(const xml::Element& e, const Path& path, std::size_t depth, std::vector<const xml::Element*>& out) {
    if (depth == path.size()) {
        out.push_back(&e);
        return;
    }
    for (const xml::Element& child : e.children) {
        if (Matches(child, path[depth])) Collect(child, path, depth + 1, out);
    }
}

std::vector<const xml::Element*> FindAll(const xml::Element& root, const Path& path) {
    std::vector<const xml::Element*> found;
    Collect(root, path, 0, found);
    return found;
}

std::string Describe(const Path& path) {
    std::string s = "assembly";
    for (const Step& step : path) s += std::string("/") + step.local;
    return s + " (namespace " + path.back().ns + ")";
}

void CheckText(const xml::Element& root, const TextSetting& setting, std::vector<std::string>& problems) {
    const auto found = FindAll(root, setting.path);
    const char* name = setting.path.back().local;
    if (found.empty())
        problems.push_back(std::string("manifest: no ") + Describe(setting.path) + "; expected \"" + setting.expected + "\"");
    for (const xml::Element* e : found) {
        const std::string value = Trim(e->text);
        if (value != setting.expected)
            problems.push_back(std::string("manifest: ") + name + " is \"" + value + "\", expected \"" + setting.expected + "\"");
    }
}

void CheckCommonControls(const xml::Element& root, std::string_view architecture, std::vector<std::string>& problems) {
    std::vector<std::string> names;
    const xml::Element* identity = nullptr;
    for (const xml::Element* e : FindAll(root, kDependencyIdentity)) {
        const std::string* name = e->Find("name");
        names.push_back(Quote(name));
        if (name && SameIgnoringCase(*name, kCommonControls)) identity = e;
    }
    if (!identity) {
        std::string list;
        for (const std::string& n : names) list += (list.empty() ? "" : ", ") + n;
        problems.push_back(std::string("manifest: no dependency on ") + kCommonControls + " at " + Describe(kDependencyIdentity) +
                           " (dependencies found: " + (list.empty() ? "none" : list) + ")");
        return;
    }
    const std::string* version = identity->Find("version");
    if (!version || *version != kCommonControlsVersion)
        problems.push_back(std::string("manifest: ") + kCommonControls + " version is " + Quote(version) + ", expected \"" +
                           kCommonControlsVersion + "\"");
    const std::string* type = identity->Find("type");
    if (!type || !SameIgnoringCase(*type, "win32"))
        problems.push_back(std::string("manifest: ") + kCommonControls + " type is " + Quote(type) + ", expected \"win32\"");
    const std::string* key = identity->Find("publicKeyToken");
    if (!key || !SameIgnoringCase(*key, kCommonControlsKey))
        problems.push_back(std::string("manifest: ") + kCommonControls + " publicKeyToken is " + Quote(key) + ", expected \"" +
                           kCommonControlsKey + "\"");
    const std::string* processor = identity->Find("processorArchitecture");
    if (!processor || !(*processor == "*" || SameIgnoringCase(*processor, architecture)))
        problems.push_back(std::string("manifest: ") + kCommonControls + " processorArchitecture is " + Quote(processor) +
                           ", expected \"*\" or \"" + std::string(architecture) + "\"");
}

void CheckExecutionLevel(const xml::Element& root, std::vector<std::string>& problems) {
    const auto found = FindAll(root, kExecutionLevel);
    if (found.empty()) problems.push_back("manifest: no " + Describe(kExecutionLevel) + "; expected level \"asInvoker\"");
    for (const xml::Element* e : found) {
        const std::string* level = e->Find("level");
        if (!level || *level != "asInvoker")
            problems.push_back("manifest: requestedExecutionLevel level is " + Quote(level) + ", expected \"asInvoker\"");
        // UI access needs a signed program in a protected folder: not ours.
        const std::string* uiAccess = e->Find("uiAccess");
        if (uiAccess && *uiAccess != "false")
            problems.push_back("manifest: requestedExecutionLevel uiAccess is " + Quote(uiAccess) + ", expected \"false\"");
    }
}

void CheckSupportedOs(const xml::Element& root, std::vector<std::string>& problems) {
    std::vector<std::string> ids;
    for (const xml::Element* e : FindAll(root, kSupportedOs)) {
        if (const std::string* id = e->Find("Id")) ids.push_back(*id);
    }
    std::string list;
    for (const std::string& id : ids) list += (list.empty() ? "" : ", ") + id;
    for (const SupportedOs& os : kSupportedSystems) {
        const bool declared = std::any_of(ids.begin(), ids.end(), [&](const std::string& id) { return SameIgnoringCase(id, os.id); });
        if (!declared)
            problems.push_back(std::string("manifest: no supportedOS Id ") + os.id + " (" + os.windows + ") at " +
                               Describe(kSupportedOs) + " (found: " + (list.empty() ? "none" : list) + ")");
    }
}

}  // namespace

std::vector<std::string> CheckManifest(std::string_view manifest, std::string_view processorArchitecture) {
    std::vector<std::string> problems;
    xml::Element root;
    try {
        root = xml::Parse(manifest);
    } catch (const xml::ParseError& e) {
        problems.push_back(std::string("manifest is not well-formed XML: ") + e.what());
        return problems;
    }
    if (root.local != "assembly" || root.ns != kAsmV1) {
        problems.push_back("manifest: the root element is <" + root.local + "> in namespace \"" + root.ns +
                           "\", expected <assembly> in \"" + kAsmV1 + "\"");
        return problems;
    }
    for (const TextSetting& setting : kTextSettings) CheckText(root, setting, problems);
    CheckCommonControls(root, processorArchitecture, problems);
    CheckExecutionLevel(root, problems);
    CheckSupportedOs(root, problems);
    return problems;
}

}  // namespace pe
