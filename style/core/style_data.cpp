#include "style/core/style_data.h"

#include <algorithm>
#include <cstring>
#include <set>

namespace pix::style {

const std::array<const char*, 32> kColorKeys = {
    "Border", "CategoryButtons", "CategoryPanelGroup", "ComboBox", "ComboBoxDisabled", "ButtonNormal",
    "ButtonHot", "ButtonPressed", "ButtonFocused", "ButtonDisabled", "Edit", "EditDisabled", "Grid",
    "GenericGradientBase", "GenericGradientEnd", "HintGradientBase", "ListBox", "ListBoxDisabled", "ListView",
    "Panel", "PanelDisabled", "TreeView", "Window", "Splitter", "CategoryButtonsGradientBase",
    "CategoryButtonsGradientEnd", "ToolBarGradientBase", "ToolBarGradientEnd", "GenericBackground",
    "HintGradientEnd", "FocusEffect", "AlternatingRowBackground"};

const std::array<const char*, 23> kSystemColorKeys = {
    "COLOR_ACTIVEBORDER", "COLOR_ACTIVECAPTION", "COLOR_BTNFACE", "COLOR_BTNHIGHLIGHT", "COLOR_BTNSHADOW",
    "COLOR_BTNTEXT", "COLOR_CAPTIONTEXT", "COLOR_GRAYTEXT", "COLOR_HIGHLIGHT", "COLOR_HIGHLIGHTTEXT",
    "COLOR_INACTIVEBORDER", "COLOR_INACTIVECAPTION", "COLOR_INACTIVECAPTIONTEXT", "COLOR_INFOBK",
    "COLOR_INFOTEXT", "COLOR_MENU", "COLOR_MENUTEXT", "COLOR_SCROLLBAR", "COLOR_3DDKSHADOW", "COLOR_3DLIGHT",
    "COLOR_WINDOW", "COLOR_WINDOWFRAME", "COLOR_WINDOWTEXT"};

const std::array<const char*, 93> kTextStyleKeys = {
    "CaptionTextNormal", "CaptionTextInactive", "SmCaptionTextNormal", "SmCaptionTextInactive",
    "StaticTextNormal", "StaticTextHot", "StaticTextFocused", "StaticTextDisabled", "PanelTextNormal",
    "PanelTextDisabled", "ButtonTextNormal", "ButtonTextPressed", "ButtonTextHot", "ButtonTextFocused",
    "ButtonTextDisabled", "CheckBoxTextNormal", "CheckBoxTextPressed", "CheckBoxTextHot", "CheckBoxTextFocused",
    "CheckBoxTextDisabled", "RadioButtonTextNormal", "RadioButtonTextPressed", "RadioButtonTextHot",
    "RadioButtonTextFocused", "RadioButtonTextDisabled", "GroupBoxTextNormal", "GroupBoxTextDisabled",
    "WindowTextNormal", "WindowTextDisabled", "EditBoxTextNormal", "EditBoxTextFocused", "EditBoxTextHot",
    "EditBoxTextDisabled", "EditBoxTextSelected", "MenuItemTextNormal", "MenuItemTextSelected",
    "MenuItemTextHot", "MenuItemTextDisabled", "ToolItemTextNormal", "ToolItemTextSelected", "ToolItemTextHot",
    "ToolItemTextDisabled", "HeaderSectionTextNormal", "HeaderSectionTextPressed", "HeaderSectionTextDraggedOut",
    "HeaderSectionTextDragging", "HeaderSectionTextHot", "HeaderSectionTextUnderDrag",
    "HeaderSectionTextDisabled", "StatusPanelTextNormal", "StatusPanelTextDisabled", "TabTextInactiveNormal",
    "TabTextInactiveHot", "TabTextInactiveDisabled", "TabTextActiveNormal", "TabTextActiveHot",
    "TabTextActiveDisabled", "ListItemTextNormal", "ListItemTextHot", "ListItemTextSelected",
    "ListItemTextFocused", "ListItemTextDisabled", "PopupMenuItemTextNormal", "PopupMenuItemTextSelected",
    "PopupMenuItemTextHot", "PopupMenuItemTextDisabled", "CatgeoryButtonsNormal", "CatgeoryButtonsHot",
    "CatgeoryButtonsSelected", "CatgeoryButtonsCategoryNormal", "CatgeoryButtonsCategorySelected",
    "CategoryPanelGroupHeaderNormal", "CategoryPanelGroupHeaderHot", "ComboBoxItemNormal", "ComboBoxItemFocused",
    "ComboBoxItemHot", "ComboBoxItemDisabled", "ComboBoxItemSelected", "GridItemNormal", "GridItemSelected",
    "GridItemFixedNormal", "GridItemFixedHot", "GridItemFixedPressed", "TreeItemTextNormal", "TreeItemTextHot",
    "TreeItemTextSelected", "TreeItemTextFocused", "TreeItemTextDisabled", "FMBoxTextNormal", "FMBoxTextPressed",
    "FMBoxTextHot", "FMBoxTextFocused", "FMBoxTextDisabled"};

namespace {

// --- checks shared by the source, the packer and the reader -----------------

template <class Value, std::size_t N>
std::string CheckKeyOrder(const char* table, const std::vector<Entry<Value>>& entries,
                          const std::array<const char*, N>& keys) {
    for (std::size_t i = 0; i < N; ++i) {
        if (i >= entries.size())
            return std::string("table ") + table + ": missing key '" + keys[i] + "' (entry " + Decimal(i + 1) +
                   " of " + Decimal(N) + ")";
        if (entries[i].key != keys[i])
            return std::string("table ") + table + ": entry " + Decimal(i + 1) + " is '" + entries[i].key +
                   "', expected '" + keys[i] + "'";
    }
    if (entries.size() > N)
        return std::string("table ") + table + ": extra key '" + entries[N].key + "' after " + Decimal(N) +
               " entries";
    return {};
}

}  // namespace

std::string CheckStyle(const StyleData& style) {
    if (style.name.empty()) return "the style has no name";
    if (style.version.empty()) return "the style has no version";
    std::string error = CheckKeyOrder("Colors", style.colors, kColorKeys);
    if (error.empty()) error = CheckKeyOrder("SystemColors", style.systemColors, kSystemColorKeys);
    if (error.empty()) error = CheckKeyOrder("TextStyles", style.textStyles, kTextStyleKeys);
    if (!error.empty()) return error;
    std::set<std::string> seen;
    for (const auto& e : style.elements) {
        if (e.key.empty()) return "table Elements: an entry has no key";
        if (!seen.insert(e.key).second) return "table Elements: key '" + e.key + "' appears twice";
    }
    return {};
}

namespace {

// --- the packed form --------------------------------------------------------

// Reads the payload; every read names where it was when the data ran out.
class Reader {
public:
    Reader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    void Where(std::string where) { where_ = std::move(where); }
    const std::string& Error() const { return error_; }
    bool Failed() const { return !error_.empty(); }
    bool AtEnd() const { return offset_ == size_; }
    std::size_t Offset() const { return offset_; }

    unsigned U8() {
        if (!Need(1)) return 0;
        return data_[offset_++];
    }
    unsigned U16() { const unsigned lo = U8(); return lo | (U8() << 8); }
    std::uint32_t U32() { const std::uint32_t lo = U16(); return lo | (static_cast<std::uint32_t>(U16()) << 16); }
    std::string Text() {
        const unsigned n = U16();
        if (!Need(n)) return {};
        std::string s(reinterpret_cast<const char*>(data_ + offset_), n);
        offset_ += n;
        return s;
    }
    Color Rgb() {
        Color c;
        c.red = static_cast<std::uint8_t>(U8());
        c.green = static_cast<std::uint8_t>(U8());
        c.blue = static_cast<std::uint8_t>(U8());
        return c;
    }
    void Fail(std::string error) {
        if (error_.empty()) error_ = std::move(error);
    }

private:
    bool Need(std::size_t n) {
        if (Failed()) return false;
        if (size_ - offset_ >= n) return true;
        Fail("truncated: " + where_ + " runs past the end of the data at byte " + Decimal(size_ + kHeaderSize));
        return false;
    }

    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t offset_ = 0;
    std::string where_;
    std::string error_;
};

template <class Value, class ReadValue>
void ReadTable(Reader& in, const char* table, std::vector<Entry<Value>>& entries, ReadValue readValue) {
    in.Where(std::string("the count of table ") + table);
    const unsigned count = in.U16();
    for (unsigned i = 0; i < count && !in.Failed(); ++i) {
        in.Where(std::string("entry ") + Decimal(i + 1) + " of table " + table);
        Entry<Value> entry;
        entry.key = in.Text();
        entry.value = readValue(in);
        if (!in.Failed()) entries.push_back(std::move(entry));
    }
}

TextStyle ReadTextStyle(Reader& in) {
    TextStyle t;
    t.face = in.Text();
    t.size = static_cast<int>(in.U8());
    t.charset = static_cast<int>(in.U8());
    t.color = in.Rgb();
    const unsigned flags = in.U8();
    t.bold = flags & 1;
    t.italic = flags & 2;
    t.underline = flags & 4;
    t.strikeout = flags & 8;
    if (flags & ~0xFu) in.Fail("text style with unknown flags " + Decimal(flags));
    return t;
}

ElementValue ReadElement(Reader& in) {
    ElementValue e;
    const unsigned kind = in.U8();
    if (kind == 1) {
        e.isColor = true;
        e.color = in.Rgb();
    } else if (kind == 0) {
        e.number = static_cast<int>(static_cast<std::int32_t>(in.U32()));
    } else if (!in.Failed()) {
        in.Fail("element value of unknown kind " + Decimal(kind));
    }
    return e;
}

// The header and the checksum; on success the payload's bounds.
std::string CheckHeader(const std::uint8_t* data, std::size_t size, const std::uint8_t*& payload,
                        std::size_t& payloadSize) {
    if (size < sizeof kSignature || std::memcmp(data, kSignature, sizeof kSignature) != 0)
        return "not a style: the signature is missing";
    if (size < kHeaderSize) return "truncated: the header needs " + Decimal(kHeaderSize) + " bytes";
    Reader header(data + sizeof kSignature, kHeaderSize - sizeof kSignature);
    const unsigned version = header.U16();
    const unsigned flags = header.U16();
    const std::uint32_t declared = header.U32();
    const std::uint32_t crc = header.U32();
    if (version != kFormatVersion) return "unsupported style format version " + Decimal(version);
    if (flags != 0) return "unsupported style flags " + Decimal(flags);
    if (declared != size - kHeaderSize)
        return "truncated: the payload should be " + Decimal(declared) + " bytes, there are " +
               Decimal(size - kHeaderSize);
    payload = data + kHeaderSize;
    payloadSize = size - kHeaderSize;
    if (Crc32(payload, payloadSize) != crc) return "the checksum does not match: the data is damaged";
    return {};
}

void ReadInfo(Reader& in, StyleData& style) {
    std::string* const fields[] = {&style.name, &style.version, &style.author,
                                   &style.email, &style.web,     &style.description};
    const char* const names[] = {"the name", "the version", "the author", "the e-mail", "the web address",
                                 "the description"};
    for (int i = 0; i < 6; ++i) {
        in.Where(names[i]);
        *fields[i] = in.Text();
    }
}

Result<StyleData> Read(const std::uint8_t* data, std::size_t size, bool whole) {
    Result<StyleData> result;
    const std::uint8_t* payload = nullptr;
    std::size_t payloadSize = 0;
    result.error = CheckHeader(data, size, payload, payloadSize);
    if (!result.Ok()) return result;
    Reader in(payload, payloadSize);
    StyleData& style = result.value;
    ReadInfo(in, style);
    if (whole) {
        ReadTable(in, "Colors", style.colors, [](Reader& r) { return r.Rgb(); });
        ReadTable(in, "SystemColors", style.systemColors, [](Reader& r) { return r.Rgb(); });
        ReadTable(in, "TextStyles", style.textStyles, ReadTextStyle);
        ReadTable(in, "Elements", style.elements, ReadElement);
        if (!in.Failed() && !in.AtEnd())
            in.Fail("extra data after the last table at byte " + Decimal(in.Offset() + kHeaderSize));
    }
    if (in.Failed()) {
        result.error = in.Error();
        return result;
    }
    if (whole) {
        result.error = CheckStyle(style);
    } else {
        if (style.name.empty()) result.error = "the style has no name";
        else if (style.version.empty()) result.error = "the style has no version";
    }
    return result;
}

}  // namespace

// --- public -------------------------------------------------------------------

Result<StyleData> ReadStyleInfo(const std::uint8_t* data, std::size_t size) { return Read(data, size, false); }

Result<StyleData> ReadStyle(const std::uint8_t* data, std::size_t size) { return Read(data, size, true); }

std::uint32_t Crc32(const std::uint8_t* data, std::size_t size) noexcept {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (std::size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return crc ^ 0xFFFFFFFFu;
}

std::string Decimal(unsigned long long value) {
    std::string digits;
    do {
        digits.insert(digits.begin(), static_cast<char>('0' + value % 10));
        value /= 10;
    } while (value != 0);
    return digits;
}

}  // namespace pix::style
