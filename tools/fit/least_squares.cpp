// Weighted linear least squares with exact linear equality constraints, by the null-space
// method on column-scaled unknowns.
#include <cmath>

#include "tools/fit/fit.h"

namespace kaltra::fit {

bool constrainedLeastSquares(const Eigen::MatrixXd& a, const Eigen::VectorXd& y, const Eigen::VectorXd& w,
                             const Eigen::MatrixXd& c, const Eigen::VectorXd& d, double ridge, Eigen::VectorXd& x) {
    const Eigen::Index n = a.cols();
    Eigen::MatrixXd wa = w.asDiagonal() * a;
    const Eigen::VectorXd wy = w.asDiagonal() * y;

    // Every unknown scaled so that its weighted column has unit norm.
    Eigen::VectorXd scale(n);
    for (Eigen::Index j = 0; j < n; ++j) {
        const double norm = wa.col(j).norm();
        scale(j) = norm > 0 ? 1.0 / norm : 1.0;
    }
    wa = wa * scale.asDiagonal();
    const Eigen::MatrixXd cs = c * scale.asDiagonal();

    // x~ = xp + N z: xp meets the constraints, N spans their null space.
    Eigen::VectorXd xp = Eigen::VectorXd::Zero(n);
    Eigen::MatrixXd nullSpace = Eigen::MatrixXd::Identity(n, n);
    if (cs.rows() > 0) {
        Eigen::JacobiSVD<Eigen::MatrixXd> svd(cs, Eigen::ComputeFullU | Eigen::ComputeFullV);
        const Eigen::VectorXd sigma = svd.singularValues();
        const Eigen::Index m = cs.rows();
        if (sigma(m - 1) <= 1e-12 * sigma(0)) return false;
        const Eigen::MatrixXd v = svd.matrixV();
        xp = v.leftCols(m) * (sigma.cwiseInverse().asDiagonal() * (svd.matrixU().transpose() * d));
        nullSpace = v.rightCols(n - m);
    }

    const Eigen::Index free = nullSpace.cols();
    Eigen::MatrixXd reduced(wa.rows() + n, free);
    Eigen::VectorXd rhs(wa.rows() + n);
    reduced.topRows(wa.rows()) = wa * nullSpace;
    rhs.head(wa.rows()) = wy - wa * xp;
    const double r = std::sqrt(ridge);
    reduced.bottomRows(n) = r * nullSpace;
    rhs.tail(n) = -r * xp;

    const Eigen::VectorXd z = reduced.colPivHouseholderQr().solve(rhs);
    x = scale.asDiagonal() * (xp + nullSpace * z);
    return x.allFinite();
}

}  // namespace kaltra::fit
