#include "tests/pe/image_builder.h"

#include <map>
#include <tuple>

namespace pe::test {
namespace {

constexpr std::uint32_t kSectionRva = 0x1000;
constexpr std::uint32_t kFileAlignment = 0x200;
constexpr std::uint32_t kSectionAlignment = 0x1000;
constexpr std::uint32_t kHeadersSize = 0x200;
constexpr std::uint32_t kImageBase = 0x400000;

std::uint32_t AlignUp(std::uint32_t v, std::uint32_t a) { return (v + a - 1) / a * a; }

// A growing little-endian byte buffer.
struct Buffer {
    std::vector<std::uint8_t> b;

    std::size_t Size() const { return b.size(); }
    void Set16(std::size_t at, std::uint16_t v) {
        b[at] = static_cast<std::uint8_t>(v);
        b[at + 1] = static_cast<std::uint8_t>(v >> 8);
    }
    void Set32(std::size_t at, std::uint32_t v) {
        Set16(at, static_cast<std::uint16_t>(v));
        Set16(at + 2, static_cast<std::uint16_t>(v >> 16));
    }
    void Set64(std::size_t at, std::uint64_t v) {
        Set32(at, static_cast<std::uint32_t>(v));
        Set32(at + 4, static_cast<std::uint32_t>(v >> 32));
    }
    std::size_t Reserve(std::size_t n) {
        const std::size_t at = b.size();
        b.resize(at + n, 0);
        return at;
    }
    void Align(std::size_t a) { b.resize((b.size() + a - 1) / a * a, 0); }
    void Append16(std::uint16_t v) { Set16(Reserve(2), v); }
    std::size_t AppendString(const std::string& s) {
        const std::size_t at = Reserve(s.size() + 1);
        for (std::size_t i = 0; i < s.size(); ++i) b[at + i] = static_cast<std::uint8_t>(s[i]);
        return at;
    }
};

// The one section's contents, addressed by RVA.
struct SectionWriter {
    Buffer buf;
    std::uint32_t Rva(std::size_t at) const { return kSectionRva + static_cast<std::uint32_t>(at); }
    std::uint32_t Here() const { return Rva(buf.Size()); }
};

// Writes a lookup (or address) table of thunks; returns its RVA.
std::uint32_t WriteThunks(SectionWriter& s, const std::vector<Thunk>& functions,
                          const std::vector<std::uint32_t>& hintNames, bool plus) {
    s.buf.Align(8);
    const std::uint32_t table = s.Here();
    const std::size_t size = plus ? 8 : 4;
    for (std::size_t i = 0; i <= functions.size(); ++i) {
        const std::size_t at = s.buf.Reserve(size);
        if (i == functions.size()) break;
        const Thunk& f = functions[i];
        const std::uint64_t flag = plus ? (std::uint64_t{1} << 63) : (std::uint64_t{1} << 31);
        const std::uint64_t value = f.byOrdinal ? (flag | f.ordinal) : hintNames[i];
        if (plus) s.buf.Set64(at, value);
        else s.buf.Set32(at, static_cast<std::uint32_t>(value));
    }
    return table;
}

struct DllTables {
    std::uint32_t name, lookup, address;
};

DllTables WriteDllTables(SectionWriter& s, const DllPlan& dll, bool plus) {
    DllTables t{};
    t.name = s.Rva(s.buf.AppendString(dll.dll));
    std::vector<std::uint32_t> hintNames;
    for (std::size_t i = 0; i < dll.functions.size(); ++i) {
        s.buf.Align(2);
        hintNames.push_back(s.Here());
        if (!dll.functions[i].byOrdinal) {
            s.buf.Append16(static_cast<std::uint16_t>(i));
            s.buf.AppendString(dll.functions[i].name);
        }
    }
    t.lookup = WriteThunks(s, dll.functions, hintNames, plus);
    t.address = WriteThunks(s, dll.functions, hintNames, plus);
    return t;
}

std::uint32_t WriteImports(SectionWriter& s, const std::vector<DllPlan>& dlls, bool plus) {
    s.buf.Align(4);
    const std::size_t descriptors = s.buf.Reserve((dlls.size() + 1) * 20);
    for (std::size_t i = 0; i < dlls.size(); ++i) {
        const DllTables t = WriteDllTables(s, dlls[i], plus);
        const std::size_t d = descriptors + i * 20;
        s.buf.Set32(d + 0, t.lookup);
        s.buf.Set32(d + 12, t.name);
        s.buf.Set32(d + 16, t.address);
    }
    return s.Rva(descriptors);
}

std::uint32_t WriteDelayImports(SectionWriter& s, const std::vector<DllPlan>& dlls, bool plus) {
    s.buf.Align(4);
    const std::size_t descriptors = s.buf.Reserve((dlls.size() + 1) * 32);
    for (std::size_t i = 0; i < dlls.size(); ++i) {
        const DllTables t = WriteDllTables(s, dlls[i], plus);
        s.buf.Align(8);
        const std::uint32_t handle = s.Rva(s.buf.Reserve(8));
        const std::size_t d = descriptors + i * 32;
        s.buf.Set32(d + 0, 1);  // the fields are RVAs
        s.buf.Set32(d + 4, t.name);
        s.buf.Set32(d + 8, handle);
        s.buf.Set32(d + 12, t.address);
        s.buf.Set32(d + 16, t.lookup);
    }
    return s.Rva(descriptors);
}

std::uint32_t WriteExports(SectionWriter& s, const ImagePlan& plan, std::uint32_t& size) {
    s.buf.Align(4);
    const std::size_t dir = s.buf.Reserve(40);
    const std::uint32_t count = static_cast<std::uint32_t>(plan.exports.size());
    const std::size_t functions = s.buf.Reserve(count * 4);
    std::vector<std::pair<std::uint32_t, std::uint16_t>> names;  // name RVA, function index
    for (std::uint32_t i = 0; i < count; ++i) {
        const ExportPlan& e = plan.exports[i];
        if (!e.name.empty()) names.push_back({s.Rva(s.buf.AppendString(e.name)), static_cast<std::uint16_t>(i)});
        // Forwarders are strings inside the export directory; other exports
        // point at the section start, which stands for code here.
        s.buf.Set32(functions + i * 4, e.forwarder.empty() ? kSectionRva : s.Rva(s.buf.AppendString(e.forwarder)));
    }
    const std::uint32_t dllName = s.Rva(s.buf.AppendString(plan.exportDllName));
    s.buf.Align(4);
    const std::size_t nameTable = s.buf.Reserve(names.size() * 4);
    const std::size_t ordinalTable = s.buf.Reserve(names.size() * 2);
    for (std::size_t i = 0; i < names.size(); ++i) {
        s.buf.Set32(nameTable + i * 4, names[i].first);
        s.buf.Set16(ordinalTable + i * 2, names[i].second);
    }
    s.buf.Set32(dir + 12, dllName);
    s.buf.Set32(dir + 16, 1);  // ordinal base
    s.buf.Set32(dir + 20, count);
    s.buf.Set32(dir + 24, static_cast<std::uint32_t>(names.size()));
    s.buf.Set32(dir + 28, s.Rva(functions));
    s.buf.Set32(dir + 32, s.Rva(nameTable));
    s.buf.Set32(dir + 36, s.Rva(ordinalTable));
    size = static_cast<std::uint32_t>(s.buf.Size() - dir);
    return s.Rva(dir);
}

// The three-level tree: type, name, language; then the data entries, the
// names and the data.
std::uint32_t WriteResources(SectionWriter& s, const std::vector<ResourcePlan>& resources, std::uint32_t& size) {
    using NameKey = std::tuple<bool, std::u16string, std::uint16_t>;  // ids first, as Windows sorts them
    std::map<std::uint16_t, std::map<NameKey, std::vector<const ResourcePlan*>>> tree;
    for (const ResourcePlan& r : resources) tree[r.type][NameKey{!r.name.empty(), r.name, r.id}].push_back(&r);

    s.buf.Align(4);
    const std::size_t root = s.buf.Size();
    Buffer& b = s.buf;
    const auto directory = [&](std::size_t named, std::size_t ids) {
        const std::size_t at = b.Reserve(16 + (named + ids) * 8);
        b.Set16(at + 12, static_cast<std::uint16_t>(named));
        b.Set16(at + 14, static_cast<std::uint16_t>(ids));
        return at;
    };
    const auto entry = [&](std::size_t dir, std::size_t i, std::uint32_t name, std::uint32_t target) {
        b.Set32(dir + 16 + i * 8, name);
        b.Set32(dir + 16 + i * 8 + 4, target);
    };
    const auto offset = [&](std::size_t at) { return static_cast<std::uint32_t>(at - root); };

    struct Pending {
        std::size_t dataEntry;
        const ResourcePlan* plan;
    };
    std::vector<Pending> pending;
    std::vector<std::pair<std::size_t, std::u16string>> pendingNames;  // entry field, name
    const std::size_t rootDir = directory(0, tree.size());
    std::size_t ti = 0;
    for (const auto& [type, names] : tree) {
        std::size_t named = 0;
        for (const auto& n : names) named += std::get<0>(n.first) ? 1 : 0;
        const std::size_t typeDir = directory(named, names.size() - named);
        entry(rootDir, ti++, type, 0x80000000u | offset(typeDir));
        std::size_t ni = 0;
        for (const auto& [key, languages] : names) {
            const std::size_t nameDir = directory(0, languages.size());
            const bool isNamed = std::get<0>(key);
            entry(typeDir, ni, isNamed ? 0 : std::get<2>(key), 0x80000000u | offset(nameDir));
            if (isNamed) pendingNames.push_back({typeDir + 16 + ni * 8, std::get<1>(key)});
            ++ni;
            for (std::size_t li = 0; li < languages.size(); ++li) {
                const std::size_t dataEntry = b.Reserve(16);
                entry(nameDir, li, languages[li]->language, offset(dataEntry));
                pending.push_back({dataEntry, languages[li]});
            }
        }
    }
    for (const auto& [field, name] : pendingNames) {
        b.Align(2);
        const std::size_t at = b.Reserve(2 + name.size() * 2);
        b.Set16(at, static_cast<std::uint16_t>(name.size()));
        for (std::size_t i = 0; i < name.size(); ++i) b.Set16(at + 2 + i * 2, static_cast<std::uint16_t>(name[i]));
        b.Set32(field, 0x80000000u | offset(at));
    }
    for (const Pending& p : pending) {
        b.Align(4);
        const std::size_t at = b.Reserve(p.plan->data.size());
        for (std::size_t i = 0; i < p.plan->data.size(); ++i) b.b[at + i] = static_cast<std::uint8_t>(p.plan->data[i]);
        b.Set32(p.dataEntry, s.Rva(at));
        b.Set32(p.dataEntry + 4, static_cast<std::uint32_t>(p.plan->data.size()));
        b.Set32(p.dataEntry + 8, 65001);
    }
    size = static_cast<std::uint32_t>(b.Size() - root);
    return s.Rva(root);
}

}  // namespace

void Image::Put16(std::size_t at, std::uint16_t v) {
    bytes[at] = static_cast<std::uint8_t>(v);
    bytes[at + 1] = static_cast<std::uint8_t>(v >> 8);
}
void Image::Put32(std::size_t at, std::uint32_t v) {
    Put16(at, static_cast<std::uint16_t>(v));
    Put16(at + 2, static_cast<std::uint16_t>(v >> 16));
}
std::uint32_t Image::Get32(std::size_t at) const {
    return static_cast<std::uint32_t>(bytes[at]) | static_cast<std::uint32_t>(bytes[at + 1]) << 8 |
           static_cast<std::uint32_t>(bytes[at + 2]) << 16 | static_cast<std::uint32_t>(bytes[at + 3]) << 24;
}

Image Build(const ImagePlan& plan) {
    Image image;
    image.pe32plus = plan.pe32plus;
    image.sectionRva = kSectionRva;
    image.sectionOffset = kHeadersSize;

    SectionWriter s;
    std::uint32_t exportSize = 0, resourceSize = 0;
    if (!plan.imports.empty()) image.importRva = WriteImports(s, plan.imports, plan.pe32plus);
    if (!plan.delayImports.empty()) image.delayImportRva = WriteDelayImports(s, plan.delayImports, plan.pe32plus);
    if (!plan.exportDllName.empty()) image.exportRva = WriteExports(s, plan, exportSize);
    if (!plan.resources.empty()) image.resourceRva = WriteResources(s, plan.resources, resourceSize);
    if (s.buf.Size() == 0) s.buf.Reserve(16);
    const std::uint32_t virtualSize = static_cast<std::uint32_t>(s.buf.Size());
    s.buf.Align(kFileAlignment);

    Buffer h;
    h.Reserve(kHeadersSize);
    h.b[0] = 'M';
    h.b[1] = 'Z';
    h.Set32(0x3c, Image::kPeOffset);
    h.b[Image::kPeOffset] = 'P';
    h.b[Image::kPeOffset + 1] = 'E';
    const std::size_t coff = Image::kCoffOffset;
    h.Set16(coff + 0, plan.machine);
    h.Set16(coff + 2, 1);  // sections
    h.Set16(coff + 16, static_cast<std::uint16_t>(image.OptionalSize()));
    std::uint16_t characteristics = 0x0002 | (plan.pe32plus ? 0x0020 : 0x0100);  // executable; large-address / 32-bit
    if (plan.dll) characteristics |= 0x2000;
    h.Set16(coff + 18, characteristics);

    const std::size_t o = Image::kOptionalOffset;
    h.Set16(o + 0, plan.pe32plus ? 0x20b : 0x10b);
    if (plan.pe32plus) h.Set64(o + 24, kImageBase);
    else h.Set32(o + 28, kImageBase);
    h.Set32(o + 32, kSectionAlignment);
    h.Set32(o + 36, kFileAlignment);
    h.Set16(o + 40, plan.majorOperatingSystemVersion);
    h.Set16(o + 42, plan.minorOperatingSystemVersion);
    h.Set16(o + 48, plan.majorSubsystemVersion);
    h.Set16(o + 50, plan.minorSubsystemVersion);
    h.Set32(o + 56, kSectionRva + AlignUp(virtualSize, kSectionAlignment));
    h.Set32(o + 60, kHeadersSize);
    h.Set16(o + 68, plan.subsystem);
    const std::size_t count = plan.pe32plus ? o + 108 : o + 92;
    h.Set32(count, 16);
    const auto directory = [&](std::uint32_t index, std::uint32_t rva, std::uint32_t size) {
        h.Set32(image.DirectoryOffset(index), rva);
        h.Set32(image.DirectoryOffset(index) + 4, size);
    };
    directory(0, image.exportRva, exportSize);
    directory(1, image.importRva, image.importRva ? static_cast<std::uint32_t>((plan.imports.size() + 1) * 20) : 0);
    directory(2, image.resourceRva, resourceSize);
    directory(13, image.delayImportRva,
              image.delayImportRva ? static_cast<std::uint32_t>((plan.delayImports.size() + 1) * 32) : 0);

    const std::size_t section = image.SectionHeaderOffset();
    const char name[] = ".rdata";
    for (std::size_t i = 0; i + 1 < sizeof name; ++i) h.b[section + i] = static_cast<std::uint8_t>(name[i]);
    h.Set32(section + 8, virtualSize);
    h.Set32(section + 12, kSectionRva);
    h.Set32(section + 16, static_cast<std::uint32_t>(s.buf.Size()));
    h.Set32(section + 20, kHeadersSize);
    h.Set32(section + 36, 0x40000040u);  // initialised data, readable

    image.bytes = std::move(h.b);
    image.bytes.insert(image.bytes.end(), s.buf.b.begin(), s.buf.b.end());
    return image;
}

}  // namespace pe::test
