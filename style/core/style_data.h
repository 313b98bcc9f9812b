// The data of a house style: its recorded fields, its three keyed tables and
// the measures and colours of its elements; the readable source form that the
// build packs, and the packed form that the program carries.
//
// The packed form (all integers little-endian):
//
//   offset  size  field
//   0       8     signature "PIXSTYLE"
//   8       2     format version, 1
//   10      2     flags, 0 (the payload is stored as it is)
//   12      4     payload size in bytes
//   16      4     CRC-32 of the payload (the reflected 0xEDB88320 polynomial,
//                 initial value and final xor 0xFFFFFFFF)
//   20      n     payload
//
// The payload, in this order: six strings (name, version, author, e-mail,
// web address, description); then the tables Colors, SystemColors,
// TextStyles and Elements, each a 16-bit count followed by its entries, each
// entry its key string and its value. A string is a 16-bit byte count and
// that many UTF-8 bytes. A colour is three bytes: red, green, blue. A text
// style is its typeface string, the size in points (1 byte), the character
// set (1 byte), its colour and a flag byte (1 bold, 2 italic, 4 underline,
// 8 strikeout). An element value is a kind byte (0 number, 1 colour) and then
// a signed 32-bit number or a colour. The payload ends after the last entry.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/core/result.h"

namespace pix::style {

struct Color {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
};
constexpr bool operator==(Color a, Color b) noexcept {
    return a.red == b.red && a.green == b.green && a.blue == b.blue;
}
constexpr bool operator!=(Color a, Color b) noexcept { return !(a == b); }

struct TextStyle {
    std::string face;
    int size = 0;     // points
    int charset = 0;  // as the platform numbers character sets; 1 is the default one
    Color color;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strikeout = false;
};

// An element value: a measure in pixels at 96 DPI (or a count, a percentage)
// or a colour.
struct ElementValue {
    bool isColor = false;
    int number = 0;
    Color color;
};

template <class Value>
struct Entry {
    std::string key;
    Value value;
};

struct StyleData {
    std::string name;
    std::string version;
    std::string author;
    std::string email;
    std::string web;
    std::string description;
    std::vector<Entry<Color>> colors;        // in the order of kColorKeys
    std::vector<Entry<Color>> systemColors;  // in the order of kSystemColorKeys
    std::vector<Entry<TextStyle>> textStyles;  // in the order of kTextStyleKeys
    std::vector<Entry<ElementValue>> elements;  // any order, keys unique
};

// The fixed key orders of the three tables.
extern const std::array<const char*, 32> kColorKeys;
extern const std::array<const char*, 23> kSystemColorKeys;
extern const std::array<const char*, 93> kTextStyleKeys;

// What reading and packing both check: a name and a version, each table's
// keys in their order, unique element keys. Empty when the style is sound.
std::string CheckStyle(const StyleData& style);

// The readable source form (see style/windows10_corvanti.style). Errors name
// the line, or the key that is missing, extra or out of order.
Result<StyleData> ParseStyleSource(std::string_view text);

// The packed form. Packing checks what reading checks, so a packed style
// always reads back.
Result<std::vector<std::uint8_t>> PackStyle(const StyleData& style);

// The recorded fields only: the signature, the format, the checksum over the
// whole payload and the six strings. What the program checks for every style
// it carries before it lists it under its name.
Result<StyleData> ReadStyleInfo(const std::uint8_t* data, std::size_t size);
// The whole style, every table checked against its key order.
Result<StyleData> ReadStyle(const std::uint8_t* data, std::size_t size);

std::uint32_t Crc32(const std::uint8_t* data, std::size_t size) noexcept;

inline constexpr char kSignature[8] = {'P', 'I', 'X', 'S', 'T', 'Y', 'L', 'E'};
inline constexpr std::uint16_t kFormatVersion = 1;
inline constexpr std::size_t kHeaderSize = 20;

// The index of the first name equal to wanted by equal (the caller's rule
// of letter case), or -1.
template <class Equal>
int FindByName(const std::vector<std::u16string>& names, std::u16string_view wanted, Equal&& equal) {
    for (std::size_t i = 0; i < names.size(); ++i)
        if (equal(std::u16string_view(names[i]), wanted)) return static_cast<int>(i);
    return -1;
}

// Digits without the C library's formatting, which the program does not
// otherwise need; for the messages of the reader and of the source.
std::string Decimal(unsigned long long value);

}  // namespace pix::style
