// The Levenberg-Marquardt run every nonlinear fit of the analysis shares:
// the standard curves and the growth curves stop on the same tolerances
// and count as converged on the same terms.
#pragma once

#include <Eigen/Core>
#include <cmath>
#include <unsupported/Eigen/LevenbergMarquardt>

namespace analysis {

struct LeastSquaresRun {
  bool converged = false;
  Eigen::VectorXd q;  // the parameters where the solver stopped
  double cost = 0;    // the sum of squared residuals there
  int iterations = 0;
};

inline bool LeastSquaresConverged(Eigen::LevenbergMarquardtSpace::Status status) {
  using namespace Eigen::LevenbergMarquardtSpace;
  switch (status) {
    case RelativeReductionTooSmall:
    case RelativeErrorTooSmall:
    case RelativeErrorAndReductionTooSmall:
    case CosinusTooSmall:
    case FtolTooSmall:
    case XtolTooSmall:
    case GtolTooSmall:
      return true;
    default:
      return false;
  }
}

// Any parameters will do.
struct NoBounds {
  bool operator()(const Eigen::VectorXd&) const { return true; }
};

// Functor: an Eigen::DenseFunctor<double> with operator() and df. The run
// gives up (not converged) at the first step whose parameters sensible
// rejects: a fit drifting off to where no answer can be saves the solver's
// thousands of steps along the way.
template <typename Functor, typename Sensible = NoBounds>
LeastSquaresRun SolveLeastSquares(const Functor& residuals, Eigen::VectorXd start,
                                  Sensible sensible = {}) {
  using namespace Eigen::LevenbergMarquardtSpace;
  Eigen::LevenbergMarquardt<Functor> solver(const_cast<Functor&>(residuals));
  solver.setXtol(1e-12);
  solver.setFtol(1e-12);
  solver.setMaxfev(2000);
  LeastSquaresRun run;
  // Eigen's own minimize(), step by step.
  Status status = solver.minimizeInit(start);
  if (status != ImproperInputParameters) {
    do {
      status = solver.minimizeOneStep(start);
    } while (status == Running && sensible(start));
  }
  run.q = start;
  run.iterations = static_cast<int>(solver.iterations());
  run.converged = status != Running && LeastSquaresConverged(status) && start.allFinite();
  if (run.converged) {
    Eigen::VectorXd r(residuals.values());
    residuals(start, r);
    run.cost = r.squaredNorm();
    run.converged = std::isfinite(run.cost);
  }
  return run;
}

}  // namespace analysis
