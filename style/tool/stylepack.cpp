// The build's style packer: reads a style's readable source and writes the
// packed form that the program carries as a resource. It refuses a source
// that the program would refuse, naming the line or the key.
//
//   stylepack <source.style> <output.bin>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

#include "style/core/look.h"
#include "style/core/style_data.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: stylepack <source.style> <output.bin>\n");
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "stylepack: cannot read %s\n", argv[1]);
        return 1;
    }
    std::stringstream text;
    text << in.rdbuf();
    const auto parsed = pix::style::ParseStyleSource(text.str());
    if (!parsed.Ok()) {
        std::fprintf(stderr, "%s: %s\n", argv[1], parsed.error.c_str());
        return 1;
    }
    // Everything the drawing takes must be there, or the program would fail
    // at start-up instead of here.
    const auto look = pix::style::BuildLook(parsed.value);
    if (!look.Ok()) {
        std::fprintf(stderr, "%s: %s\n", argv[1], look.error.c_str());
        return 1;
    }
    const auto packed = pix::style::PackStyle(parsed.value);
    if (!packed.Ok()) {
        std::fprintf(stderr, "%s: %s\n", argv[1], packed.error.c_str());
        return 1;
    }
    const auto back = pix::style::ReadStyle(packed.value.data(), packed.value.size());
    if (!back.Ok()) {
        std::fprintf(stderr, "stylepack: the packed style does not read back: %s\n", back.error.c_str());
        return 1;
    }
    std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(packed.value.data()), static_cast<std::streamsize>(packed.value.size()));
    if (!out) {
        std::fprintf(stderr, "stylepack: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
