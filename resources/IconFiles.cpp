// kestrelan-icons DIR: writes the program's icon as DIR/<N>x<N>/apps/org.kestrelan.Kestrelan.png,
// the desktop icon theme's layout, from the same drawing the windows show. Run by the build; not
// installed.

#include "resources/AppIcon.h"

#include <QDir>
#include <cstdio>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fputs("usage: kestrelan-icons DIR\n", stderr);
        return 2;
    }
    for (int size : {16, 24, 32, 48, 64, 128, 256}) {
        const QString folder = QString("%1/%2x%2/apps").arg(QString::fromLocal8Bit(argv[1])).arg(size);
        if (!QDir().mkpath(folder) || !kestrelan::applicationIconImage(size).save(folder + "/org.kestrelan.Kestrelan.png")) {
            std::fprintf(stderr, "kestrelan-icons: cannot write %s\n", qPrintable(folder));
            return 1;
        }
    }
    return 0;
}
