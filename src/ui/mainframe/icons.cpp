#include "icons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace {

// A rounded square in colour with a letter: distinct at 16 pixels, and legible in light and dark themes.
QIcon LetterIcon(const QColor& colour, const QString& letter, int size = 16) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(colour.darker(140));
    painter.setBrush(colour);
    painter.drawRoundedRect(QRectF(0.5, 0.5, size - 1.0, size - 1.0), 3, 3);
    QFont font = painter.font();
    font.setBold(true);
    font.setPixelSize(size * 11 / 16);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(QRect(0, 0, size, size), Qt::AlignCenter, letter);
    return QIcon(pixmap);
}

}  // namespace

QIcon TabIcon(int index) {
    static const struct {
        QColor colour;
        const char* letter;
    } kTabs[] = {
        {QColor(0x2b, 0x6c, 0xb0), "Q"}, {QColor(0x2f, 0x85, 0x5a), "O"}, {QColor(0x6b, 0x46, 0xc1), "R"},
        {QColor(0xc0, 0x56, 0x21), "H"}, {QColor(0xb7, 0x79, 0x1f), "F"}, {QColor(0xc5, 0x30, 0x30), "M"},
        {QColor(0x31, 0x82, 0xce), "P"}, {QColor(0x4a, 0x55, 0x68), "V"}, {QColor(0x00, 0x80, 0x80), "C"},
    };
    if (index < 0 || index >= static_cast<int>(std::size(kTabs))) return {};
    return LetterIcon(kTabs[index].colour, QString::fromLatin1(kTabs[index].letter));
}

QIcon ConnectIcon() { return LetterIcon(QColor(0x2f, 0x85, 0x5a), QStringLiteral("DB")); }
QIcon MacroIcon() { return LetterIcon(QColor(0xb7, 0x79, 0x1f), QStringLiteral("$"), 20); }
QIcon SaveAllIcon() { return LetterIcon(QColor(0x2b, 0x6c, 0xb0), QStringLiteral("S+"), 20); }
QIcon SettingsIcon() { return LetterIcon(QColor(0x4a, 0x55, 0x68), QStringLiteral("\u2699"), 20); }
QIcon LogIcon() { return LetterIcon(QColor(0x71, 0x80, 0x96), QStringLiteral("L"), 20); }
QIcon AppIcon() { return LetterIcon(QColor(0x2b, 0x6c, 0xb0), QStringLiteral("T"), 32); }

QIcon RunIcon() {
    QPixmap pixmap(20, 20);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath triangle;
    triangle.moveTo(5, 3);
    triangle.lineTo(17, 10);
    triangle.lineTo(5, 17);
    triangle.closeSubpath();
    painter.setPen(QColor(0x1f, 0x6f, 0x3f));
    painter.setBrush(QColor(0x38, 0xa1, 0x69));
    painter.drawPath(triangle);
    return QIcon(pixmap);
}
