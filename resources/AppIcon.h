#pragma once
// The program's icon, drawn rather than stored: a kestrel-red disc with a rising zigzag (the
// grid's buy low, sell high) over a white baseline.

#include <QIcon>

namespace kestrelan {

QIcon applicationIcon();

} // namespace kestrelan
