// One well's kinetic curve drawn large: the points, the steepest window,
// the tangent whose meeting with the first level gives the lag, the
// logistic fit in growth mode, and the well's numbers below.
#pragma once

#include <QDialog>
#include <vector>

#include "report/kinetic_curves.h"

class QLabel;
class WellCurveView;

class WellCurveDialog : public QDialog {
  Q_OBJECT

 public:
  explicit WellCurveDialog(QWidget* parent);
  void SetWell(int well, const analysis::KineticAnalysis& analysis,
               const std::vector<analysis::KineticRead>& reads);
  int Well() const { return well_; }
  // The numbers as shown, one "name: value" per line.
  QString NumbersText() const;

 private:
  int well_ = -1;
  WellCurveView* view_ = nullptr;
  QLabel* numbers_ = nullptr;
};
