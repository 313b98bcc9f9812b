#include "tests/pe/xml.h"

#include "base/core/utf8.h"

#include <map>
#include <utility>

namespace pe::xml {
namespace {

constexpr int kMaxDepth = 256;
constexpr std::string_view kXmlNamespace = "http://www.w3.org/XML/1998/namespace";

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
bool IsNameStart(char c) {
    const auto u = static_cast<unsigned char>(c);
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c == ':' || u >= 0x80;
}
bool IsNameChar(char c) { return IsNameStart(c) || (c >= '0' && c <= '9') || c == '-' || c == '.'; }

using Scope = std::map<std::string, std::string>;  // prefix ("" = default) -> URI

struct RawAttribute {
    std::string qname;
    std::string value;
    std::size_t offset;
};

class Parser {
public:
    explicit Parser(std::string_view text) : s_(text) {}

    Element Document() {
        if (s_.substr(0, 3) == "\xef\xbb\xbf") pos_ = 3;
        if (Starts("<?xml") && pos_ + 5 < s_.size() && IsSpace(s_[pos_ + 5])) SkipProcessingInstruction(true);
        SkipMisc();
        if (AtEnd() || Peek() != '<') Fail("expected the root element");
        Element root = ParseElement(Scope{{"xml", std::string(kXmlNamespace)}}, 1);
        SkipMisc();
        if (!AtEnd()) Fail("content after the root element");
        return root;
    }

private:
    [[noreturn]] void Fail(const std::string& what) const { throw ParseError(what, pos_); }
    bool AtEnd() const { return pos_ >= s_.size(); }
    char Peek() const { return s_[pos_]; }
    bool Starts(std::string_view w) const { return s_.substr(pos_, w.size()) == w; }
    void Expect(std::string_view w) {
        if (!Starts(w)) Fail("expected \"" + std::string(w) + "\"");
        pos_ += w.size();
    }
    bool SkipSpace() {
        const std::size_t start = pos_;
        while (!AtEnd() && IsSpace(Peek())) ++pos_;
        return pos_ != start;
    }

    std::string Name() {
        if (AtEnd() || !IsNameStart(Peek())) Fail("expected a name");
        const std::size_t start = pos_;
        while (!AtEnd() && IsNameChar(Peek())) ++pos_;
        return std::string(s_.substr(start, pos_ - start));
    }

    void SkipComment() {
        Expect("<!--");
        const std::size_t end = s_.find("--", pos_);
        if (end == std::string_view::npos) Fail("unterminated comment");
        pos_ = end;
        if (!Starts("-->")) Fail("\"--\" inside a comment");
        pos_ += 3;
    }

    void SkipProcessingInstruction(bool declarationAllowed) {
        Expect("<?");
        const std::size_t at = pos_;
        const std::string target = Name();
        if (!declarationAllowed && target.size() == 3 && (target[0] | 0x20) == 'x' && (target[1] | 0x20) == 'm' &&
            (target[2] | 0x20) == 'l') {
            pos_ = at;
            Fail("XML declaration not at the start of the document");
        }
        const std::size_t end = s_.find("?>", pos_);
        if (end == std::string_view::npos) Fail("unterminated processing instruction");
        pos_ = end + 2;
    }

    // Comments, processing instructions and white space outside the root.
    void SkipMisc() {
        for (;;) {
            SkipSpace();
            if (Starts("<!--")) {
                SkipComment();
            } else if (Starts("<?")) {
                SkipProcessingInstruction(false);
            } else if (Starts("<!DOCTYPE")) {
                Fail("document type declarations are not accepted");
            } else {
                return;
            }
        }
    }

    void Reference(std::string& out) {
        Expect("&");
        const std::size_t end = s_.find(';', pos_);
        if (end == std::string_view::npos || end - pos_ > 12) Fail("unterminated character reference");
        const std::string_view ref = s_.substr(pos_, end - pos_);
        if (ref == "lt") out += '<';
        else if (ref == "gt") out += '>';
        else if (ref == "amp") out += '&';
        else if (ref == "quot") out += '"';
        else if (ref == "apos") out += '\'';
        else if (ref.size() > 1 && ref[0] == '#') {
            const bool hex = ref[1] == 'x';
            const std::string_view digits = ref.substr(hex ? 2 : 1);
            if (digits.empty()) Fail("empty character reference");
            unsigned long cp = 0;
            for (char c : digits) {
                int d;
                if (c >= '0' && c <= '9') d = c - '0';
                else if (hex && c >= 'a' && c <= 'f') d = c - 'a' + 10;
                else if (hex && c >= 'A' && c <= 'F') d = c - 'A' + 10;
                else Fail("bad digit in a character reference");
                cp = cp * (hex ? 16 : 10) + static_cast<unsigned long>(d);
                if (cp > 0x10ffff) Fail("character reference out of range");
            }
            if (cp == 0 || (cp >= 0xd800 && cp <= 0xdfff)) Fail("character reference to an invalid character");
            pix::utf8::Append(out, static_cast<char32_t>(cp));
        } else {
            Fail("unknown entity &" + std::string(ref) + ";");
        }
        pos_ = end + 1;
    }

    std::string AttributeValue() {
        if (AtEnd() || (Peek() != '"' && Peek() != '\'')) Fail("expected a quoted attribute value");
        const char quote = s_[pos_++];
        std::string value;
        for (;;) {
            if (AtEnd()) Fail("unterminated attribute value");
            const char c = Peek();
            if (c == quote) break;
            if (c == '<') Fail("\"<\" in an attribute value");
            if (c == '&') {
                Reference(value);
                continue;
            }
            value += IsSpace(c) ? ' ' : c;  // attribute value normalisation
            ++pos_;
        }
        ++pos_;
        return value;
    }

    static std::pair<std::string, std::string> Split(const std::string& qname) {
        const std::size_t colon = qname.find(':');
        if (colon == std::string::npos) return {"", qname};
        return {qname.substr(0, colon), qname.substr(colon + 1)};
    }

    std::string Resolve(const Scope& scope, const std::string& prefix, std::size_t at) {
        const auto it = scope.find(prefix);
        if (it == scope.end()) {
            if (prefix.empty()) return {};
            pos_ = at;
            Fail("undeclared namespace prefix \"" + prefix + "\"");
        }
        return it->second;
    }

    Element ParseElement(Scope scope, int depth) {
        if (depth > kMaxDepth) Fail("elements nested too deeply");
        Element element;
        element.offset = pos_;
        Expect("<");
        const std::string qname = Name();

        std::vector<RawAttribute> raw;
        bool empty = false;
        for (;;) {
            const bool spaced = SkipSpace();
            if (AtEnd()) Fail("unterminated start tag <" + qname + ">");
            if (Starts("/>")) {
                pos_ += 2;
                empty = true;
                break;
            }
            if (Peek() == '>') {
                ++pos_;
                break;
            }
            if (!spaced) Fail("expected white space before an attribute");
            RawAttribute a;
            a.offset = pos_;
            a.qname = Name();
            SkipSpace();
            Expect("=");
            SkipSpace();
            a.value = AttributeValue();
            for (const RawAttribute& b : raw) {
                if (b.qname == a.qname) {
                    pos_ = a.offset;
                    Fail("duplicate attribute " + a.qname);
                }
            }
            raw.push_back(std::move(a));
        }

        for (const RawAttribute& a : raw) {
            if (a.qname == "xmlns") scope[""] = a.value;
            else if (a.qname.rfind("xmlns:", 0) == 0) {
                if (a.value.empty()) {
                    pos_ = a.offset;
                    Fail("empty namespace for prefix " + a.qname.substr(6));
                }
                scope[a.qname.substr(6)] = a.value;
            }
        }
        const auto [prefix, local] = Split(qname);
        element.ns = Resolve(scope, prefix, element.offset);
        element.local = local;
        for (const RawAttribute& a : raw) {
            if (a.qname == "xmlns" || a.qname.rfind("xmlns:", 0) == 0) continue;
            const auto [attributePrefix, attributeLocal] = Split(a.qname);
            Attribute attribute{attributePrefix.empty() ? std::string() : Resolve(scope, attributePrefix, a.offset),
                                attributeLocal, a.value};
            for (const Attribute& b : element.attributes) {
                if (b.ns == attribute.ns && b.local == attribute.local) {
                    pos_ = a.offset;
                    Fail("duplicate attribute " + a.qname);
                }
            }
            element.attributes.push_back(std::move(attribute));
        }
        if (empty) return element;

        for (;;) {
            if (AtEnd()) Fail("unterminated element <" + qname + ">");
            if (Starts("</")) {
                pos_ += 2;
                const std::size_t at = pos_;
                if (Name() != qname) {
                    pos_ = at;
                    Fail("end tag does not match <" + qname + ">");
                }
                SkipSpace();
                Expect(">");
                return element;
            }
            if (Starts("<!--")) {
                SkipComment();
            } else if (Starts("<![CDATA[")) {
                pos_ += 9;
                const std::size_t end = s_.find("]]>", pos_);
                if (end == std::string_view::npos) Fail("unterminated CDATA section");
                element.text += s_.substr(pos_, end - pos_);
                pos_ = end + 3;
            } else if (Starts("<?")) {
                SkipProcessingInstruction(false);
            } else if (Starts("<!")) {
                Fail("markup declaration inside an element");
            } else if (Peek() == '<') {
                element.children.push_back(ParseElement(scope, depth + 1));
            } else if (Peek() == '&') {
                Reference(element.text);
            } else {
                if (Starts("]]>")) Fail("\"]]>\" in character data");
                element.text += s_[pos_++];
            }
        }
    }

    std::string_view s_;
    std::size_t pos_ = 0;
};

}  // namespace

ParseError::ParseError(const std::string& message, std::size_t offset)
    : std::runtime_error(message + " at byte " + std::to_string(offset)), offset_(offset) {}

const std::string* Element::Find(std::string_view name) const {
    for (const Attribute& a : attributes) {
        if (a.ns.empty() && a.local == name) return &a.value;
    }
    return nullptr;
}

Element Parse(std::string_view document) { return Parser(document).Document(); }

}  // namespace pe::xml
