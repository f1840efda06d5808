#include "themes.h"

#include <QApplication>
#include <QPainter>
#include <QPalette>
#include <QProxyStyle>
#include <QStyleOption>
#include <QSettings>
#include <QStyle>
#include <QStyleFactory>
#include <QMdiSubWindow>
#include <QWidget>

namespace {

// The style the platform gave the program at start: the "Windows 7" entry returns to it.
QString& PlatformStyleName() {
    static QString name;
    return name;
}

QPalette LightPalette(const QColor& window, const QColor& base, const QColor& highlight, const QColor& button) {
    QPalette palette;
    palette.setColor(QPalette::Window, window);
    palette.setColor(QPalette::WindowText, QColor(0x1a, 0x20, 0x2c));
    palette.setColor(QPalette::Base, base);
    palette.setColor(QPalette::AlternateBase, window.lighter(104));
    palette.setColor(QPalette::Text, QColor(0x1a, 0x20, 0x2c));
    palette.setColor(QPalette::Button, button);
    palette.setColor(QPalette::ButtonText, QColor(0x1a, 0x20, 0x2c));
    palette.setColor(QPalette::Highlight, highlight);
    palette.setColor(QPalette::HighlightedText, Qt::white);
    palette.setColor(QPalette::ToolTipBase, QColor(0xff, 0xff, 0xe1));
    palette.setColor(QPalette::ToolTipText, Qt::black);
    palette.setColor(QPalette::Link, highlight.darker(120));
    palette.setColor(QPalette::Disabled, QPalette::Text, QColor(0x8a, 0x94, 0xa6));
    palette.setColor(QPalette::Disabled, QPalette::WindowText, QColor(0x8a, 0x94, 0xa6));
    palette.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(0x8a, 0x94, 0xa6));
    return palette;
}

QPalette DarkPalette() {
    QPalette palette;
    const QColor window(0x2d, 0x2f, 0x33), base(0x1e, 0x1f, 0x22), text(0xe6, 0xe8, 0xeb);
    palette.setColor(QPalette::Window, window);
    palette.setColor(QPalette::WindowText, text);
    palette.setColor(QPalette::Base, base);
    palette.setColor(QPalette::AlternateBase, window);
    palette.setColor(QPalette::Text, text);
    palette.setColor(QPalette::Button, QColor(0x3a, 0x3d, 0x42));
    palette.setColor(QPalette::ButtonText, text);
    // Grid lines and separators: a little lighter than the window (the light looks' defaults are darker).
    palette.setColor(QPalette::Midlight, QColor(0x46, 0x49, 0x4f));
    palette.setColor(QPalette::Mid, QColor(0x3a, 0x3d, 0x42));
    palette.setColor(QPalette::BrightText, Qt::red);
    palette.setColor(QPalette::Highlight, QColor(0x3d, 0x7e, 0xd6));
    palette.setColor(QPalette::HighlightedText, Qt::white);
    palette.setColor(QPalette::ToolTipBase, window);
    palette.setColor(QPalette::ToolTipText, text);
    palette.setColor(QPalette::Link, QColor(0x6c, 0xa6, 0xf0));
    palette.setColor(QPalette::PlaceholderText, QColor(0x8a, 0x8f, 0x98));
    palette.setColor(QPalette::Disabled, QPalette::Text, QColor(0x7a, 0x7f, 0x88));
    palette.setColor(QPalette::Disabled, QPalette::WindowText, QColor(0x7a, 0x7f, 0x88));
    palette.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(0x7a, 0x7f, 0x88));
    return palette;
}

// Fusion outlines a field a shade darker than the window. The dark look's pages and fields share its base
// colour, so that outline cannot be seen there and the fields seem missing: this draws it lighter.
class DarkFieldsStyle : public QProxyStyle {
public:
    DarkFieldsStyle() : QProxyStyle(QStyleFactory::create(QStringLiteral("Fusion"))) {}

    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget) const override {
        QProxyStyle::drawPrimitive(element, option, painter, widget);
        if (element == PE_FrameLineEdit) Outline(option, painter, Shape::Field);
        if (element == PE_IndicatorCheckBox) Outline(option, painter, Shape::Box);
        if (element == PE_IndicatorRadioButton) Outline(option, painter, Shape::Round);
    }
    void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option, QPainter* painter,
                            const QWidget* widget) const override {
        QProxyStyle::drawComplexControl(control, option, painter, widget);
        if (control == CC_SpinBox) Outline(option, painter, Shape::Field);
    }

private:
    enum class Shape { Field, Box, Round };
    // Over Fusion's own outline, in its place; a field with the focus keeps Fusion's highlighted one.
    static void Outline(const QStyleOption* option, QPainter* painter, Shape shape) {
        if (shape == Shape::Field && (option->state & State_HasFocus)) return;
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing, true);
        painter->setPen(QColor(0x62, 0x67, 0x70));
        painter->setBrush(Qt::NoBrush);
        const QRectF rect = QRectF(option->rect).adjusted(0.5, 0.5, -0.5, -0.5);
        switch (shape) {
            case Shape::Field: painter->drawRoundedRect(rect, 2.0, 2.0); break;
            case Shape::Box: painter->drawRect(rect); break;
            case Shape::Round: painter->drawEllipse(rect); break;
        }
        painter->restore();
    }
};

}  // namespace

QString LookEntry(int look) {
    switch (look) {
        case 215: return QStringLiteral("Office 2007 (&Blue Style)");
        case 216: return QStringLiteral("Office 2007 (B&lack Style)");
        case 217: return QStringLiteral("Office 2007 (&Silver Style)");
        case 218: return QStringLiteral("Office 2007 (&Aqua Style)");
        case 219: return QStringLiteral("Win&dows 7");
        default: return {};
    }
}

namespace {

// Hands the application's palette to every window: widgets that resolved theirs under the old style (tab
// widgets in the multi-document area among them) otherwise keep the old colours.
void SpreadPalette() {
    const QPalette palette = QApplication::palette();
    for (QWidget* window : QApplication::topLevelWidgets()) {
        window->setPalette(palette);
        // The multi-document area gives its windows palettes of their own.
        for (QMdiSubWindow* child : window->findChildren<QMdiSubWindow*>()) child->setPalette(palette);
    }
}

int SelectLook(int look);

}  // namespace

int ApplyLook(int look) {
    look = SelectLook(look);
    SpreadPalette();
    return look;
}

namespace {

int SelectLook(int look) {
    if (look < kFirstLook || look > kLastLook) look = kDefaultLook;
    if (PlatformStyleName().isEmpty()) PlatformStyleName() = QApplication::style()->name();
    if (look == 219) {
        QApplication::setStyle(QStyleFactory::create(PlatformStyleName()));
        QApplication::setPalette(QApplication::style()->standardPalette());
        return look;
    }
    if (look == 216) {
        QApplication::setStyle(new DarkFieldsStyle);
    } else {
        QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    }
    switch (look) {
        case 215:  // blue
            QApplication::setPalette(LightPalette(QColor(0xdf, 0xe9, 0xf5), Qt::white, QColor(0x2b, 0x6c, 0xb0),
                                                  QColor(0xe8, 0xf0, 0xfa)));
            break;
        case 216:  // black: the dark theme
            QApplication::setPalette(DarkPalette());
            break;
        case 217:  // silver
            QApplication::setPalette(LightPalette(QColor(0xe4, 0xe6, 0xea), QColor(0xfb, 0xfb, 0xfc),
                                                  QColor(0x5a, 0x6b, 0x82), QColor(0xee, 0xef, 0xf2)));
            break;
        default:  // 218 aqua
            QApplication::setPalette(LightPalette(QColor(0xdc, 0xf0, 0xf2), Qt::white, QColor(0x00, 0x80, 0x8a),
                                                  QColor(0xe6, 0xf6, 0xf7)));
            break;
    }
    return look;
}

}  // namespace

int StoredLook() {
    const int look = QSettings().value(QStringLiteral("ApplicationLook"), kDefaultLook).toInt();
    return look >= kFirstLook && look <= kLastLook ? look : kDefaultLook;
}

void StoreLook(int look) { QSettings().setValue(QStringLiteral("ApplicationLook"), look); }
