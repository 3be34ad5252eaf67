// kestrelan-manpage PROGRAM FILE: writes the manual page of kestrelan, kestrelan-cli or
// kestrelan-workbook (tools/ManPage.h). Run by the build; not installed.

#include "tools/ManPage.h"

#include <cstdio>
#include <fstream>

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fputs("usage: kestrelan-manpage kestrelan|kestrelan-cli|kestrelan-workbook FILE\n", stderr);
        return 2;
    }
    const auto page = kestrelan::programManPage(argv[1], "Kestrelan " KESTRELAN_VERSION);
    if (!page) {
        std::fprintf(stderr, "kestrelan-manpage: no manual page for %s\n", argv[1]);
        return 2;
    }
    std::ofstream out(argv[2], std::ios::binary);
    out << kestrelan::manPageText(*page);
    out.close();
    return out ? 0 : 1;
}
