#pragma once
// The program's icon, drawn rather than stored: a kestrel-red disc with a rising zigzag (the
// grid's buy low, sell high) over a white baseline.

#include <QIcon>
#include <QImage>

namespace kestrelan {

/// The icon at every size the windows use.
QIcon applicationIcon();
/// The icon drawn at `size` x `size` pixels (the desktop's icon theme gets these as PNG files).
QImage applicationIconImage(int size);

} // namespace kestrelan
