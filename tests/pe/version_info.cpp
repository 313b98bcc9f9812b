#include "tests/pe/version_info.h"

#include "base/core/utf8.h"

namespace pe {

namespace {

constexpr std::size_t kFixedFileInfoSize = 52;
constexpr int kMaxDepth = 4;

// One node of the version resource: wLength, wValueLength, wType, the key
// (UTF-16, zero-terminated), the value and the children, each part on a
// 4-byte boundary from the start of the resource.
struct Node {
    std::u16string key;
    std::size_t valueAt = 0, valueSize = 0;  // bytes
    bool text = false;
    std::vector<Node> children;
};

class Reader {
public:
    explicit Reader(const std::vector<std::uint8_t>& data) : data_(data) {}

    Node Read(std::size_t at, std::size_t end, int depth) const {
        if (depth > kMaxDepth) throw FormatError("version resource: nested too deep");
        const std::size_t length = U16(at, end, "node length");
        const std::size_t valueLength = U16(at + 2, end, "value length");
        const std::uint16_t type = U16(at + 4, end, "node type");
        if (length < 6 || at + length > end) throw FormatError("version resource: a node runs past its parent");
        const std::size_t nodeEnd = at + length;
        Node node;
        node.text = type == 1;
        std::size_t p = at + 6;
        for (;;) {
            const char16_t c = static_cast<char16_t>(U16(p, nodeEnd, "key"));
            p += 2;
            if (c == 0) break;
            node.key += c;
        }
        p = Aligned(p);
        // A text value counts UTF-16 units (its zero included), a binary one bytes.
        node.valueSize = node.text ? valueLength * 2 : valueLength;
        node.valueAt = p;
        if (p + node.valueSize > nodeEnd) throw FormatError("version resource: a value runs past its node");
        p = Aligned(p + node.valueSize);
        while (p < nodeEnd) {
            node.children.push_back(Read(p, nodeEnd, depth + 1));
            p = Aligned(p + U16(p, nodeEnd, "node length"));
        }
        return node;
    }

    std::string Text(const Node& node) const {
        std::u16string text;
        for (std::size_t i = 0; i + 2 <= node.valueSize; i += 2) {
            const char16_t c = static_cast<char16_t>(data_[node.valueAt + i] | data_[node.valueAt + i + 1] << 8);
            if (c == 0) break;
            text += c;
        }
        return pix::utf8::FromUtf16(text);
    }

    std::uint32_t U32(std::size_t at) const {
        return static_cast<std::uint32_t>(data_[at] | data_[at + 1] << 8 | data_[at + 2] << 16) |
               static_cast<std::uint32_t>(data_[at + 3]) << 24;
    }

private:
    static std::size_t Aligned(std::size_t at) { return (at + 3) & ~std::size_t{3}; }

    std::uint16_t U16(std::size_t at, std::size_t end, const char* what) const {
        if (at + 2 > end || at + 2 > data_.size())
            throw FormatError(std::string("version resource: the ") + what + " runs past its end");
        return static_cast<std::uint16_t>(data_[at] | data_[at + 1] << 8);
    }

    const std::vector<std::uint8_t>& data_;
};

}  // namespace

VersionInfo ParseVersionInfo(const std::vector<std::uint8_t>& data) {
    const Reader reader(data);
    const Node root = reader.Read(0, data.size(), 0);
    if (root.key != u"VS_VERSION_INFO") throw FormatError("version resource: the root is not VS_VERSION_INFO");
    if (root.valueSize < kFixedFileInfoSize || reader.U32(root.valueAt) != kFixedFileInfoSignature)
        throw FormatError("version resource: no fixed file information");
    VersionInfo info;
    const auto split = [&](std::size_t at, std::uint16_t (&version)[4]) {
        const std::uint32_t high = reader.U32(at), low = reader.U32(at + 4);
        version[0] = static_cast<std::uint16_t>(high >> 16);
        version[1] = static_cast<std::uint16_t>(high);
        version[2] = static_cast<std::uint16_t>(low >> 16);
        version[3] = static_cast<std::uint16_t>(low);
    };
    split(root.valueAt + 8, info.fileVersion);
    split(root.valueAt + 16, info.productVersion);
    info.fileType = reader.U32(root.valueAt + 36);
    for (const Node& child : root.children) {
        if (child.key != u"StringFileInfo" || child.children.empty()) continue;
        const Node& table = child.children.front();
        info.table = pix::utf8::FromUtf16(table.key);
        for (const Node& string : table.children) info.strings[pix::utf8::FromUtf16(string.key)] = reader.Text(string);
        break;
    }
    return info;
}

std::optional<VersionInfo> ReadVersionInfo(const PeFile& file) {
    const std::vector<Resource> found = file.FindResources(kResourceTypeVersion, 1);
    if (found.empty()) return std::nullopt;
    return ParseVersionInfo(found.front().data);
}

}  // namespace pe
