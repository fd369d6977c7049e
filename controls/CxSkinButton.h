#pragma once

#include <QPixmap>
#include <QPushButton>

// A push button whose whole face is a picture, chosen by its state: normal,
// pushed, pointer over it, disabled. The caption is drawn over the picture.
class CxSkinButton : public QPushButton {
public:
    explicit CxSkinButton(QWidget* parent = nullptr);

    // Replaces the four pictures; a null picture leaves that look to the
    // button-face colour.
    void SetBitmaps(const QPixmap& normal, const QPixmap& down, const QPixmap& over, const QPixmap& disabled);
    bool IsHovering() const { return hovering; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    const QPixmap& CurrentPicture() const;

    bool hovering = false;
    QPixmap normalBitmap;
    QPixmap downBitmap;
    QPixmap overBitmap;
    QPixmap disabledBitmap;
};
