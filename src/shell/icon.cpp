#include "shell/icon.h"

#include <QFont>
#include <QPainter>
#include <QRadialGradient>

namespace morvane {

QPixmap ProgramPixmap(int size) {
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    QRadialGradient g(size * 0.35, size * 0.3, size * 0.7);
    g.setColorAt(0, QColor(0xFF, 0xF0, 0x90));
    g.setColorAt(1, QColor(0xC8, 0x90, 0x10));
    p.setBrush(g);
    p.setPen(QPen(QColor(0x80, 0x50, 0x00), size / 16.0));
    p.drawEllipse(QRectF(1, 1, size - 2, size - 2));
    QFont f;
    f.setBold(true);
    f.setPixelSize(size * 3 / 4);
    p.setFont(f);
    p.setPen(QColor(0xD0, 0x00, 0x00));
    p.drawText(QRect(0, 0, size, size), Qt::AlignCenter, QStringLiteral("7"));
    return pm;
}

QIcon ProgramIcon() {
    QIcon icon;
    for (int s : {16, 32, 48, 64}) icon.addPixmap(ProgramPixmap(s));
    return icon;
}

}  // namespace morvane
