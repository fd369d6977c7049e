#pragma once

#include <QPixmap>

// The window's pictures, drawn in code so that every one of them can be
// reviewed and changed like any other source.
namespace Artwork {
// The picture with the given id, at its fixed size; a null pixmap for an
// unknown id.
QPixmap Picture(int pictureId);
} // namespace Artwork
