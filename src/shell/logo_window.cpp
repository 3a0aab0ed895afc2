#include "shell/logo_window.h"

#include <QFont>
#include <QPainter>

namespace varnoke {

QPixmap varnokeLogo(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(QColor(0, 128, 128));
    painter.setPen(Qt::NoPen);
    const int margin = size / 16;
    painter.drawRoundedRect(margin, margin, size - 2 * margin, size - 2 * margin, size / 5.0,
                            size / 5.0);
    painter.setPen(Qt::white);
    QFont font("Arial");
    font.setPointSizeF(size * 0.43);
    font.setBold(true);
    painter.setFont(font);
    painter.drawText(pixmap.rect(), Qt::AlignCenter, "V");
    return pixmap;
}

} // namespace varnoke
