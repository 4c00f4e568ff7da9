#include "cli/Cli.h"

#include <cstdio>
#include <cstring>

#ifdef _WIN32
#include <string>

// Windows hands out UTF-16 arguments; the tool works in UTF-8 throughout.
static std::string Utf8FromWide(const wchar_t* text) {
    std::string out;
    for (const wchar_t* p = text; *p; ++p) {
        uint32_t c = uint16_t(*p);
        if (c >= 0xD800 && c < 0xDC00 && p[1] >= 0xDC00 && p[1] < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (uint16_t(p[1]) - 0xDC00);
            ++p;
        }
        if (c < 0x80) {
            out += char(c);
        } else if (c < 0x800) {
            out += char(0xC0 | c >> 6);
            out += char(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += char(0xE0 | c >> 12);
            out += char(0x80 | (c >> 6 & 0x3F));
            out += char(0x80 | (c & 0x3F));
        } else {
            out += char(0xF0 | c >> 18);
            out += char(0x80 | (c >> 12 & 0x3F));
            out += char(0x80 | (c >> 6 & 0x3F));
            out += char(0x80 | (c & 0x3F));
        }
    }
    return out;
}

int wmain(int argc, wchar_t** argv) {
    zelko::cli::Args args;
    for (int i = 1; i < argc; ++i) args.push_back(Utf8FromWide(argv[i]));
    return zelko::cli::Run(args);
}
#else
int main(int argc, char** argv) {
    zelko::cli::Args args(argv + 1, argv + argc);
    return zelko::cli::Run(args);
}
#endif
