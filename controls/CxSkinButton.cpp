#include "CxSkinButton.h"

#include <QMouseEvent>
#include <QPainter>

CxSkinButton::CxSkinButton(QWidget* parent) : QPushButton(parent) {
    setAttribute(Qt::WA_Hover);
    setFlat(true);
}

void CxSkinButton::SetBitmaps(const QPixmap& normal, const QPixmap& down, const QPixmap& over,
                              const QPixmap& disabled) {
    normalBitmap = normal;
    downBitmap = down;
    overBitmap = over;
    disabledBitmap = disabled;
}

const QPixmap& CxSkinButton::CurrentPicture() const {
    if (!isEnabled()) {
        return disabledBitmap;
    }
    if (isDown()) {
        return downBitmap;
    }
    if (normalBitmap.isNull()) {
        return normalBitmap;
    }
    return hovering && !overBitmap.isNull() ? overBitmap : normalBitmap;
}

void CxSkinButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QPixmap& picture = CurrentPicture();
    if (picture.isNull()) {
        painter.fillRect(rect(), palette().button());
    } else {
        // Top-left aligned and never scaled: a larger picture is cut.
        painter.drawPixmap(QPoint(0, 0), picture);
    }
    if (!text().isEmpty()) {
        QRect textRect = rect().adjusted(2, 0, -2, 0);
        if (isDown()) {
            textRect.translate(1, 1);
        }
        painter.setPen(palette().buttonText().color());
        painter.drawText(textRect, Qt::AlignCenter | Qt::TextSingleLine, text());
    }
}

void CxSkinButton::enterEvent(QEnterEvent* event) {
    hovering = true;
    update();
    QPushButton::enterEvent(event);
}

void CxSkinButton::leaveEvent(QEvent* event) {
    hovering = false;
    update();
    QPushButton::leaveEvent(event);
}

void CxSkinButton::mousePressEvent(QMouseEvent* event) {
    // The pushed look replaces the pointer-over look until the pointer moves
    // over the button again after the release.
    hovering = false;
    QPushButton::mousePressEvent(event);
}
