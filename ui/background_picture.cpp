#include "ui/background_picture.h"

#include <QPainter>
#include <QRect>

#include "resources/rainbow_bands.h"

QImage LoadBackgroundPicture() {
  QImage picture(kSpectrumBands, 1, QImage::Format_RGB32);
  if (picture.isNull()) return picture;
  for (int band = 0; band < kSpectrumBands; ++band) {
    const SpectrumColour c = SpectrumBandColour(band);
    picture.setPixel(band, 0, qRgb(c.red, c.green, c.blue));
  }
  return picture;
}

void DrawBackgroundPicture(QPainter& painter, const QRect& clientRect, const QImage& picture) {
  painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
  painter.drawImage(clientRect, picture);
}
