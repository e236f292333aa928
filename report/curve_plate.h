// The plate of curves on paper: 8 x 12 small charts, each well on the heat
// map colour of its rate and drawn as the kinetic window draws it, with the
// row letters and column numbers around them.
#pragma once

#include <QRectF>
#include <vector>

#include "analysis/kinetics.h"

class QPainter;

void PaintCurvePlate(QPainter& painter, const QRectF& area,
                     const analysis::KineticAnalysis& analysis,
                     const std::vector<analysis::KineticRead>& reads);
