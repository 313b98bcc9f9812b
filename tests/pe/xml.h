// Just enough XML for application manifests: elements, attributes, text,
// comments, CDATA, processing instructions, the predefined and numeric
// character references, and namespaces (prefixes resolved to their URIs).
// Anything else that is not well-formed raises xml::ParseError with the byte
// offset: Windows refuses a malformed manifest, so the check must too.
// Document type declarations are refused (a manifest has none).
#pragma once

#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace pe::xml {

class ParseError : public std::runtime_error {
public:
    ParseError(const std::string& message, std::size_t offset);
    std::size_t Offset() const { return offset_; }

private:
    std::size_t offset_;
};

struct Attribute {
    std::string ns;  // empty for an unprefixed attribute
    std::string local;
    std::string value;
};

struct Element {
    std::string ns;
    std::string local;
    std::vector<Attribute> attributes;  // namespace declarations are not listed
    std::vector<Element> children;
    std::string text;  // the element's own character data, CDATA included
    std::size_t offset = 0;

    // The unprefixed attribute `local`, or null.
    const std::string* Find(std::string_view local) const;
};

// The root element of a UTF-8 document (a byte order mark is skipped).
Element Parse(std::string_view document);

}  // namespace pe::xml
