// The readable source form of a style and the packing of it: what the build's
// packer and the tests use. The program itself only reads packed styles.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "style/core/style_data.h"

namespace pix::style {

namespace {

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

}  // namespace

Result<StyleData> ParseStyleSource(std::string_view text) {
    Result<StyleData> result;
    StyleData& style = result.value;
    std::string section;
    int lineNumber = 0;
    const auto fail = [&](const std::string& what) {
        result.error = "line " + Decimal(lineNumber) + ": " + what;
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

}  // namespace pix::style
