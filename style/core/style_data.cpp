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
            return std::string("table ") + table + ": missing key '" + keys[i] + "' (entry " + std::to_string(i + 1) +
                   " of " + std::to_string(N) + ")";
        if (entries[i].key != keys[i])
            return std::string("table ") + table + ": entry " + std::to_string(i + 1) + " is '" + entries[i].key +
                   "', expected '" + keys[i] + "'";
    }
    if (entries.size() > N)
        return std::string("table ") + table + ": extra key '" + entries[N].key + "' after " + std::to_string(N) +
               " entries";
    return {};
}

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

// --- the source form --------------------------------------------------------

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\r')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
    return s;
}

std::vector<std::string_view> SplitCommas(std::string_view s) {
    std::vector<std::string_view> parts;
    for (;;) {
        const std::size_t comma = s.find(',');
        parts.push_back(Trim(s.substr(0, comma)));
        if (comma == std::string_view::npos) return parts;
        s.remove_prefix(comma + 1);
    }
}

bool ParseInt(std::string_view s, int& value) {
    if (s.empty() || s.size() > 9) return false;
    bool negative = false;
    if (s.front() == '-') {
        negative = true;
        s.remove_prefix(1);
        if (s.empty()) return false;
    }
    int v = 0;
    for (char c : s) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + (c - '0');
    }
    value = negative ? -v : v;
    return true;
}

bool ParseColorParts(const std::vector<std::string_view>& parts, std::size_t first, Color& color) {
    int rgb[3];
    for (int i = 0; i < 3; ++i)
        if (first + i >= parts.size() || !ParseInt(parts[first + i], rgb[i]) || rgb[i] < 0 || rgb[i] > 255)
            return false;
    color = {static_cast<std::uint8_t>(rgb[0]), static_cast<std::uint8_t>(rgb[1]), static_cast<std::uint8_t>(rgb[2])};
    return true;
}

bool ParseColor(std::string_view value, Color& color) {
    const auto parts = SplitCommas(value);
    return parts.size() == 3 && ParseColorParts(parts, 0, color);
}

bool ParseTextStyle(std::string_view value, TextStyle& style) {
    const auto parts = SplitCommas(value);
    if (parts.size() < 6 || parts[0].empty()) return false;
    style.face = std::string(parts[0]);
    if (!ParseInt(parts[1], style.size) || style.size < 1 || style.size > 255) return false;
    if (!ParseInt(parts[2], style.charset) || style.charset < 0 || style.charset > 255) return false;
    if (!ParseColorParts(parts, 3, style.color)) return false;
    for (std::size_t i = 6; i < parts.size(); ++i) {
        if (parts[i] == "bold") style.bold = true;
        else if (parts[i] == "italic") style.italic = true;
        else if (parts[i] == "underline") style.underline = true;
        else if (parts[i] == "strikeout") style.strikeout = true;
        else return false;
    }
    return true;
}

bool ParseElement(std::string_view value, ElementValue& element) {
    if (value.find(',') != std::string_view::npos) {
        element.isColor = true;
        return ParseColor(value, element.color);
    }
    return ParseInt(value, element.number);
}

// --- the packed form --------------------------------------------------------

class Writer {
public:
    void U8(unsigned v) { bytes_.push_back(static_cast<std::uint8_t>(v)); }
    void U16(unsigned v) { U8(v & 0xFF); U8((v >> 8) & 0xFF); }
    void U32(std::uint32_t v) { U16(v & 0xFFFF); U16(v >> 16); }
    void Text(const std::string& s) {
        U16(static_cast<unsigned>(s.size()));
        bytes_.insert(bytes_.end(), s.begin(), s.end());
    }
    void Rgb(Color c) { U8(c.red); U8(c.green); U8(c.blue); }
    std::vector<std::uint8_t>& Bytes() { return bytes_; }

private:
    std::vector<std::uint8_t> bytes_;
};

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
        Fail("truncated: " + where_ + " runs past the end of the data at byte " + std::to_string(size_ + kHeaderSize));
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
        in.Where(std::string("entry ") + std::to_string(i + 1) + " of table " + table);
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
    if (flags & ~0xFu) in.Fail("text style with unknown flags " + std::to_string(flags));
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
        in.Fail("element value of unknown kind " + std::to_string(kind));
    }
    return e;
}

// The header and the checksum; on success the payload's bounds.
std::string CheckHeader(const std::uint8_t* data, std::size_t size, const std::uint8_t*& payload,
                        std::size_t& payloadSize) {
    if (size < sizeof kSignature || std::memcmp(data, kSignature, sizeof kSignature) != 0)
        return "not a style: the signature is missing";
    if (size < kHeaderSize) return "truncated: the header needs " + std::to_string(kHeaderSize) + " bytes";
    Reader header(data + sizeof kSignature, kHeaderSize - sizeof kSignature);
    const unsigned version = header.U16();
    const unsigned flags = header.U16();
    const std::uint32_t declared = header.U32();
    const std::uint32_t crc = header.U32();
    if (version != kFormatVersion) return "unsupported style format version " + std::to_string(version);
    if (flags != 0) return "unsupported style flags " + std::to_string(flags);
    if (declared != size - kHeaderSize)
        return "truncated: the payload should be " + std::to_string(declared) + " bytes, there are " +
               std::to_string(size - kHeaderSize);
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
            in.Fail("extra data after the last table at byte " + std::to_string(in.Offset() + kHeaderSize));
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

Result<StyleData> ParseStyleSource(std::string_view text) {
    Result<StyleData> result;
    StyleData& style = result.value;
    std::string section;
    int lineNumber = 0;
    const auto fail = [&](const std::string& what) {
        result.error = "line " + std::to_string(lineNumber) + ": " + what;
        return result;
    };
    while (!text.empty()) {
        ++lineNumber;
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (const std::size_t hash = line.find('#'); hash != std::string_view::npos && section != "Info")
            line = line.substr(0, hash);
        line = Trim(line);
        if (line.empty() || line.front() == '#') continue;
        if (line.front() == '[') {
            if (line.back() != ']') return fail("a section header must end in ']'");
            section = std::string(Trim(line.substr(1, line.size() - 2)));
            if (section != "Info" && section != "Colors" && section != "SystemColors" && section != "TextStyles" &&
                section != "Elements")
                return fail("unknown section [" + section + "]");
            continue;
        }
        const std::size_t equals = line.find('=');
        if (equals == std::string_view::npos) return fail("expected 'key = value'");
        const std::string key(Trim(line.substr(0, equals)));
        const std::string_view value = Trim(line.substr(equals + 1));
        if (key.empty()) return fail("a key is empty");
        if (section.empty()) return fail("'" + key + "' comes before any section");
        if (section == "Info") {
            std::string* field = key == "Name"          ? &style.name
                                 : key == "Version"     ? &style.version
                                 : key == "Author"      ? &style.author
                                 : key == "EMail"       ? &style.email
                                 : key == "Web"         ? &style.web
                                 : key == "Description" ? &style.description
                                                        : nullptr;
            if (!field) return fail("unknown key '" + key + "' in [Info]");
            *field = std::string(value);
        } else if (section == "Colors" || section == "SystemColors") {
            Color color;
            if (!ParseColor(value, color)) return fail("'" + key + "': expected a colour 'red, green, blue'");
            (section == "Colors" ? style.colors : style.systemColors).push_back({key, color});
        } else if (section == "TextStyles") {
            TextStyle t;
            if (!ParseTextStyle(value, t))
                return fail("'" + key + "': expected 'typeface, size, charset, red, green, blue[, flags]'");
            style.textStyles.push_back({key, t});
        } else {
            ElementValue e;
            if (!ParseElement(value, e)) return fail("'" + key + "': expected a number or 'red, green, blue'");
            style.elements.push_back({key, e});
        }
    }
    result.error = CheckStyle(style);
    return result;
}

Result<std::vector<std::uint8_t>> PackStyle(const StyleData& style) {
    Result<std::vector<std::uint8_t>> result;
    result.error = CheckStyle(style);
    if (!result.Ok()) return result;
    Writer payload;
    for (const std::string* s :
         {&style.name, &style.version, &style.author, &style.email, &style.web, &style.description})
        payload.Text(*s);
    for (const auto* table : {&style.colors, &style.systemColors}) {
        payload.U16(static_cast<unsigned>(table->size()));
        for (const auto& e : *table) {
            payload.Text(e.key);
            payload.Rgb(e.value);
        }
    }
    payload.U16(static_cast<unsigned>(style.textStyles.size()));
    for (const auto& e : style.textStyles) {
        payload.Text(e.key);
        payload.Text(e.value.face);
        payload.U8(static_cast<unsigned>(e.value.size));
        payload.U8(static_cast<unsigned>(e.value.charset));
        payload.Rgb(e.value.color);
        payload.U8((e.value.bold ? 1u : 0u) | (e.value.italic ? 2u : 0u) | (e.value.underline ? 4u : 0u) |
                   (e.value.strikeout ? 8u : 0u));
    }
    payload.U16(static_cast<unsigned>(style.elements.size()));
    for (const auto& e : style.elements) {
        payload.Text(e.key);
        payload.U8(e.value.isColor ? 1 : 0);
        if (e.value.isColor)
            payload.Rgb(e.value.color);
        else
            payload.U32(static_cast<std::uint32_t>(e.value.number));
    }
    const std::vector<std::uint8_t>& body = payload.Bytes();
    Writer out;
    for (char c : kSignature) out.U8(static_cast<unsigned char>(c));
    out.U16(kFormatVersion);
    out.U16(0);
    out.U32(static_cast<std::uint32_t>(body.size()));
    out.U32(Crc32(body.data(), body.size()));
    out.Bytes().insert(out.Bytes().end(), body.begin(), body.end());
    result.value = std::move(out.Bytes());
    return result;
}

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

std::u16string Utf16FromUtf8(std::string_view text) {
    std::u16string out;
    std::size_t i = 0;
    while (i < text.size()) {
        const auto b = static_cast<unsigned char>(text[i]);
        const int extra = b < 0x80 ? 0 : (b >> 5) == 6 ? 1 : (b >> 4) == 14 ? 2 : (b >> 3) == 30 ? 3 : -1;
        char32_t c = extra == 0 ? b : extra == 1 ? (b & 0x1F) : extra == 2 ? (b & 0x0F) : (b & 0x07);
        bool ok = extra >= 0 && i + static_cast<std::size_t>(extra) < text.size() + (extra == 0 ? 1 : 0);
        for (int k = 1; ok && k <= extra; ++k) {
            const auto cont = static_cast<unsigned char>(text[i + static_cast<std::size_t>(k)]);
            if ((cont >> 6) != 2) ok = false;
            c = (c << 6) | (cont & 0x3F);
        }
        if (ok && (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))) ok = false;
        if (!ok) {
            out.push_back(u'\uFFFD');
            ++i;
            continue;
        }
        if (c >= 0x10000) {
            c -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(c));
        }
        i += static_cast<std::size_t>(extra) + 1;
    }
    return out;
}

}  // namespace pix::style
