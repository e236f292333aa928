#include "resources/program_icon.h"

#include <QColor>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include "resources/rainbow_bands.h"

QImage DrawProgramIcon(int size) {
  QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.scale(size / 64.0, size / 64.0);  // drawn on a 64 x 64 grid

  // The plate: a light body with a cut corner, as real plates have for orientation.
  QPainterPath plate;
  plate.moveTo(10, 12);
  plate.lineTo(58, 12);
  plate.quadTo(62, 12, 62, 16);
  plate.lineTo(62, 50);
  plate.quadTo(62, 54, 58, 54);
  plate.lineTo(6, 54);
  plate.quadTo(2, 54, 2, 50);
  plate.lineTo(2, 20);
  plate.closeSubpath();
  painter.setPen(QPen(QColor(38, 50, 72), 2.5));
  painter.setBrush(QColor(236, 240, 245));
  painter.drawPath(plate);

  // Three rows of four wells; the columns run through the spectrum.
  constexpr int kWellRows = 3, kWellColumns = 4;
  painter.setPen(QPen(QColor(38, 50, 72), 1.2));
  for (int column = 0; column < kWellColumns; ++column) {
    const SpectrumColour c = SpectrumBandColour(column * (kSpectrumBands - 1) / (kWellColumns - 1));
    painter.setBrush(QColor(c.red, c.green, c.blue));
    for (int row = 0; row < kWellRows; ++row) {
      painter.drawEllipse(QPointF(14.5 + 12 * column, 22 + 11 * row), 4.6, 4.6);
    }
  }
  return image;
}

QIcon ProgramIcon() {
  static const QIcon icon(QPixmap::fromImage(DrawProgramIcon(64)));
  return icon;
}
