#include "resources/AppIcon.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace kestrelan {

QImage applicationIconImage(int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal s = size / 64.0;
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(196, 48, 43));
    p.drawEllipse(QRectF(2 * s, 2 * s, 60 * s, 60 * s));
    QPen line(Qt::white, std::max(1.5, 5 * s), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p.setPen(line);
    QPainterPath zigzag;
    zigzag.moveTo(13 * s, 42 * s);
    zigzag.lineTo(24 * s, 30 * s);
    zigzag.lineTo(31 * s, 38 * s);
    zigzag.lineTo(42 * s, 24 * s);
    zigzag.lineTo(51 * s, 18 * s);
    p.setBrush(Qt::NoBrush);
    p.drawPath(zigzag);
    p.drawLine(QPointF(13 * s, 49 * s), QPointF(51 * s, 49 * s));
    return image;
}

QIcon applicationIcon()
{
    QIcon icon;
    for (int size : {16, 32, 48, 64, 128})
        icon.addPixmap(QPixmap::fromImage(applicationIconImage(size)));
    return icon;
}

} // namespace kestrelan
