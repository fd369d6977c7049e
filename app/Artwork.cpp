#include "Artwork.h"

#include "ControlIds.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace {

constexpr QSize IndicatorSize(143, 33);
constexpr QSize ButtonSize(93, 33);
constexpr QSize BackgroundSize(600, 505);

const QColor Rim(196, 22, 28);

QPixmap RoundedBox(QSize size, const QColor& top, const QColor& bottom, const QColor& rim) {
    QPixmap pixmap(size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient fill(0, 0, 0, size.height());
    fill.setColorAt(0, top);
    fill.setColorAt(1, bottom);
    QPainterPath path;
    path.addRoundedRect(QRectF(1.5, 1.5, size.width() - 3, size.height() - 3), 8, 8);
    painter.fillPath(path, fill);
    painter.setPen(QPen(rim, 2));
    painter.drawPath(path);
    return pixmap;
}

QPixmap Button(const QString& word, bool lighter) {
    const QColor top = lighter ? QColor(240, 90, 90) : QColor(214, 40, 40);
    const QColor bottom = lighter ? QColor(206, 50, 50) : QColor(160, 18, 18);
    QPixmap pixmap = RoundedBox(ButtonSize, top, bottom, QColor(110, 8, 8));
    QPainter painter(&pixmap);
    QFont font(QStringLiteral("Liberation Sans"));
    font.setPixelSize(15);
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(pixmap.rect(), Qt::AlignCenter, word);
    return pixmap;
}

void WhiteField(QPainter& painter, const QRect& place) {
    painter.setPen(QPen(QColor(150, 150, 150), 1));
    painter.setBrush(Qt::white);
    painter.drawRoundedRect(place, 4, 4);
}

void Caption(QPainter& painter, const QPoint& at, const QString& text) {
    QFont font(QStringLiteral("Liberation Sans"));
    font.setPixelSize(14);
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(QColor(235, 235, 235));
    painter.drawText(at, text);
}

QPixmap Background() {
    QPixmap pixmap(BackgroundSize);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient fill(0, 0, 0, BackgroundSize.height());
    fill.setColorAt(0, QColor(38, 44, 52));
    fill.setColorAt(1, QColor(16, 18, 22));
    painter.fillRect(pixmap.rect(), fill);

    QFont title(QStringLiteral("Liberation Sans"));
    title.setPixelSize(30);
    title.setBold(true);
    painter.setFont(title);
    painter.setPen(QColor(255, 242, 0));
    painter.drawText(QRect(0, 24, BackgroundSize.width(), 44), Qt::AlignCenter, QStringLiteral("TARVO USB Zuda"));

    Caption(painter, QPoint(250, 116), QStringLiteral("Version"));
    WhiteField(painter, QRect(364, 98, 68, 26));
    Caption(painter, QPoint(47, 160), QStringLiteral("Program Card firmware update"));
    WhiteField(painter, QRect(206, 167, 228, 33));
    Caption(painter, QPoint(47, 235), QStringLiteral("ESC model selection"));
    WhiteField(painter, QRect(206, 242, 228, 33));
    Caption(painter, QPoint(47, 305), QStringLiteral("ESC firmware update"));
    WhiteField(painter, QRect(206, 312, 228, 33));
    WhiteField(painter, QRect(58, 360, 475, 60));

    QFont logo(QStringLiteral("Liberation Sans"));
    logo.setPixelSize(18);
    logo.setItalic(true);
    painter.setFont(logo);
    painter.setPen(QColor(196, 22, 28));
    painter.drawText(QRect(0, 450, BackgroundSize.width(), 40), Qt::AlignCenter, QStringLiteral("Zelvonar Zadere"));
    return pixmap;
}

} // namespace

QPixmap Artwork::Picture(int pictureId) {
    switch (pictureId) {
    case PictureId::Background:
        return Background();
    case PictureId::EscInactive:
    case PictureId::EscModelInitial:
    case PictureId::ProgramCardInactive:
        return RoundedBox(IndicatorSize, QColor(150, 152, 156), QColor(96, 98, 102), Rim);
    case PictureId::EscActive:
    case PictureId::ProgramCardActive:
    case PictureId::EscModelActive:
        return RoundedBox(IndicatorSize, QColor(255, 236, 90), QColor(238, 196, 20), Rim);
    case PictureId::EscSave:
    case PictureId::ProgramCardSave:
        return Button(QStringLiteral("SAVE"), false);
    case PictureId::ProgramCardSaveOver:
    case PictureId::EscSaveOver:
        return Button(QStringLiteral("SAVE"), true);
    case PictureId::SelectButton:
        return Button(QStringLiteral("SELECT"), false);
    case PictureId::SelectButtonOver:
        return Button(QStringLiteral("SELECT"), true);
    default:
        return {};
    }
}
