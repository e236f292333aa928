// The picture behind the main dialog's controls while an operation runs.
#pragma once

#include <QImage>

class QPainter;
class QRect;

// The spectrum, one pixel per band; a null image when it cannot be made
// (then the dialog keeps its plain background).
QImage LoadBackgroundPicture();

// Stretches the picture over the client rectangle; the bands stay sharp.
void DrawBackgroundPicture(QPainter& painter, const QRect& clientRect, const QImage& picture);
