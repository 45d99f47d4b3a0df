#include "calibration/ResponseCurve.h"

#include "calibration/GslSupport.h"
#include "framework/NumberText.h"
#include "profile/DacCodes.h"
#include "profile/TessaronDoc.h"

#include <algorithm>
#include <cmath>
#include <gsl/gsl_errno.h>
#include <gsl/gsl_linalg.h>
#include <limits>
#include <mutex>
#include <numbers>

namespace calibration {

namespace gsl {

void UseReturnCodes() {
    static std::once_flag once;
    std::call_once(once, [] { gsl_set_error_handler_off(); });
}

} // namespace gsl

namespace {

constexpr int kMinCoefficients = 4;
constexpr int kMaxCoefficients = 32;
constexpr int kSplineOrder = 4; // cubic
constexpr double kBisquareTune = 4.685;
constexpr double kHuberTune = 1.345;
constexpr double kMadToSigma = 1.4826;
// The scatter assumed at least, radians: finer than any interferometer reads a phase step.
// Without it a curve that the spline follows almost exactly would call every reading that
// deviates by a hair an outlier.
constexpr double kMinScale = 0.002;
constexpr int kMaxRounds = 20;
// The fitted phase change must exceed the readings' scatter this many times.
constexpr double kMinSignal = 4.0;
// Largest step parameter used: exp(30) radians is far beyond any liquid crystal's stroke,
// and the bound keeps trial steps of the solver finite.
constexpr double kMaxStepParameter = 30.0;

// Steffen's monotone cubic through the phases at whole levels, at a level between two of
// them: between two levels it never leaves the range of their phases, so the curve stays
// monotone. Its slopes at a level depend on the neighbouring levels only, so the levels
// around the wanted one give exactly what the whole curve would.
double Steffen(const std::vector<double>& phases, int firstLevel, double level) {
    const auto below = static_cast<std::size_t>(level - firstLevel);
    const std::size_t from = below > 0 ? below - 1 : 0;
    const std::size_t to = std::min(phases.size() - 1, below + 2);
    double x[4];
    for (std::size_t i = from; i <= to; ++i) {
        x[i - from] = firstLevel + static_cast<double>(i);
    }
    const std::size_t size = to - from + 1;
    std::unique_ptr<gsl_interp, gsl::Deleter> interp(gsl_interp_alloc(gsl_interp_steffen, size));
    gsl_interp_init(interp.get(), x, phases.data() + from, size);
    return gsl_interp_eval(interp.get(), x, phases.data() + from, level, nullptr);
}

std::string Figure(double value) {
    return numtext::FormatGeneral(value, 4);
}

// Cubic B-splines with breakpoints at quantiles of the measured positions, evaluated once
// at every measured position (four non-zero values per point).
class SplineBasis {
public:
    SplineBasis(const std::vector<double>& t, int coefficients)
        : m_ws(gsl_bspline_alloc(kSplineOrder, static_cast<std::size_t>(coefficients - 2))),
          m_coefficients(coefficients), m_start(t.size()), m_values(t.size() * kSplineOrder) {
        const int nbreak = coefficients - 2;
        gsl::Vector breaks(gsl_vector_alloc(static_cast<std::size_t>(nbreak)));
        const double last = static_cast<double>(t.size() - 1);
        for (int j = 0; j < nbreak; ++j) {
            const double position = last * j / (nbreak - 1);
            const auto below = static_cast<std::size_t>(position);
            const double frac = position - static_cast<double>(below);
            const double value =
                below + 1 < t.size() ? t[below] + frac * (t[below + 1] - t[below]) : t.back();
            gsl_vector_set(breaks.get(), static_cast<std::size_t>(j), value);
        }
        gsl_bspline_knots(breaks.get(), m_ws.get());
        for (std::size_t i = 0; i < t.size(); ++i) {
            Evaluate(t[i], m_start[i], &m_values[i * kSplineOrder]);
        }
    }

    int Coefficients() const { return m_coefficients; }
    std::size_t Points() const { return m_start.size(); }
    std::size_t Start(std::size_t i) const { return m_start[i]; }
    const double* Row(std::size_t i) const { return &m_values[i * kSplineOrder]; }

    double ValueAt(std::size_t i, const std::vector<double>& c) const {
        double sum = 0.0;
        for (int a = 0; a < kSplineOrder; ++a) {
            sum += Row(i)[a] * c[m_start[i] + static_cast<std::size_t>(a)];
        }
        return sum;
    }

    // The spline with coefficients `c` at position t in [0, 1].
    double Value(double t, const std::vector<double>& c) {
        std::size_t start = 0;
        double row[kSplineOrder];
        Evaluate(t, start, row);
        double sum = 0.0;
        for (int a = 0; a < kSplineOrder; ++a) {
            sum += row[a] * c[start + static_cast<std::size_t>(a)];
        }
        return sum;
    }

private:
    void Evaluate(double t, std::size_t& start, double* row) {
        gsl_vector_view view = gsl_vector_view_array(row, kSplineOrder);
        std::size_t end = 0;
        gsl_bspline_eval_nonzero(std::clamp(t, 0.0, 1.0), &view.vector, &start, &end, m_ws.get());
    }

    gsl::BSpline m_ws;
    int m_coefficients;
    std::vector<std::size_t> m_start;
    std::vector<double> m_values;
};

// The weighted normal equations of a spline fit, factorised: G = L L' and z = L^-1 b, so that
// the weighted sum of squared residuals is |L' c - z|^2 plus a constant. A faint penalty on
// second differences of the coefficients keeps G regular where no reading falls under a
// B-spline (it joins the neighbours linearly there) and is negligible elsewhere.
class NormalEquations {
public:
    explicit NormalEquations(int p)
        : m_p(static_cast<std::size_t>(p)), m_factor(gsl_matrix_alloc(m_p, m_p)),
          m_rhs(gsl_vector_alloc(m_p)) {}

    bool Build(const SplineBasis& basis, const std::vector<double>& y,
               const std::vector<double>& w) {
        gsl_matrix* g = m_factor.get();
        gsl_matrix_set_zero(g);
        gsl_vector_set_zero(m_rhs.get());
        // Straight into the storage: this loop runs over every reading in every round.
        double* gData = g->data;
        double* bData = m_rhs->data;
        const std::size_t tda = g->tda;
        for (std::size_t i = 0; i < basis.Points(); ++i) {
            if (w[i] <= 0.0) {
                continue;
            }
            const std::size_t s = basis.Start(i);
            const double* row = basis.Row(i);
            for (int a = 0; a < kSplineOrder; ++a) {
                const double wa = w[i] * row[a];
                bData[(s + a) * m_rhs->stride] += wa * y[i];
                double* gRow = gData + (s + a) * tda + s;
                for (int b = 0; b < kSplineOrder; ++b) {
                    gRow[b] += wa * row[b];
                }
            }
        }
        double trace = 0.0;
        for (std::size_t j = 0; j < m_p; ++j) {
            trace += gsl_matrix_get(g, j, j);
        }
        const double lambda = 1e-6 * (trace > 0.0 ? trace / static_cast<double>(m_p) : 1.0);
        const double d[3] = {1.0, -2.0, 1.0};
        for (std::size_t j = 0; j + 2 < m_p; ++j) {
            for (std::size_t a = 0; a < 3; ++a) {
                for (std::size_t b = 0; b < 3; ++b) {
                    *gsl_matrix_ptr(g, j + a, j + b) += lambda * d[a] * d[b];
                }
            }
        }
        return gsl_linalg_cholesky_decomp1(g) == GSL_SUCCESS;
    }

    // The unconstrained solution G c = b.
    std::vector<double> Solve() const {
        gsl::Vector c(gsl_vector_alloc(m_p));
        gsl_linalg_cholesky_solve(m_factor.get(), m_rhs.get(), c.get());
        return std::vector<double>(c->data, c->data + m_p);
    }

    // z = L^-1 b for the residual form |L' c - z|.
    std::vector<double> Reduced() const {
        std::vector<double> z(m_rhs->data, m_rhs->data + m_p);
        for (std::size_t i = 0; i < m_p; ++i) {
            double sum = z[i];
            for (std::size_t j = 0; j < i; ++j) {
                sum -= gsl_matrix_get(m_factor.get(), i, j) * z[j];
            }
            z[i] = sum / gsl_matrix_get(m_factor.get(), i, i);
        }
        return z;
    }

    // L(j, i) for j >= i.
    double Lower(std::size_t j, std::size_t i) const {
        return gsl_matrix_get(m_factor.get(), j, i);
    }

private:
    std::size_t m_p;
    gsl::Matrix m_factor;
    gsl::Vector m_rhs;
};

// The scatter of the residuals: the median absolute residual scaled to a Gaussian's sigma,
// never below kMinScale.
double RobustScale(const std::vector<double>& residuals) {
    std::vector<double> a(residuals.size());
    std::transform(residuals.begin(), residuals.end(), a.begin(),
                   [](double r) { return std::fabs(r); });
    const auto mid = a.begin() + static_cast<std::ptrdiff_t>(a.size() / 2);
    std::nth_element(a.begin(), mid, a.end());
    return std::max(kMadToSigma * *mid, kMinScale);
}

double BisquareWeight(double residual, double scale) {
    const double u = residual / (kBisquareTune * scale);
    return std::fabs(u) < 1.0 ? (1.0 - u * u) * (1.0 - u * u) : 0.0;
}

double HuberWeight(double residual, double scale) {
    const double a = std::fabs(residual);
    return a <= kHuberTune * scale ? 1.0 : kHuberTune * scale / a;
}

struct RobustState {
    std::vector<double> residuals;
    std::vector<double> weights;
    double scale = 0.0;

    // New weights from `c`; returns the largest change of a weight. The first rounds use
    // Huber's weights, which cannot reject a reading outright while the fit is still pulled
    // by outliers; bisquare's after that.
    double Reweight(const SplineBasis& basis, const std::vector<double>& y,
                    const std::vector<double>& c, int round) {
        residuals.resize(y.size());
        for (std::size_t i = 0; i < y.size(); ++i) {
            residuals[i] = y[i] - basis.ValueAt(i, c);
        }
        scale = RobustScale(residuals);
        double change = 0.0;
        weights.resize(y.size(), 1.0);
        for (std::size_t i = 0; i < y.size(); ++i) {
            const double w =
                round < 2 ? HuberWeight(residuals[i], scale) : BisquareWeight(residuals[i], scale);
            change = std::max(change, std::fabs(w - weights[i]));
            weights[i] = w;
        }
        return round < 2 ? 1.0 : change;
    }
};

// The coordinate the spline is cubic in. A liquid crystal answers the level with a
// sigmoid-like curve: flat, steep, flat. In the coordinate of a logistic fitted to the
// readings such a curve is nearly straight, so a spline with a handful of coefficients
// follows it closely; readings in the flat parts crowd at the ends of that coordinate, which
// also steadies the curve at its ends. The plain level (identity) competes with it, so a
// curve of another shape loses nothing.
struct Warp {
    bool logistic = false;
    double midpoint = 0.5; // of the level range
    double width = 1.0;    // of the level range

    static double Logistic(double x) { return 1.0 / (1.0 + std::exp(-x)); }

    // Position t in [0, 1] of the level range -> [0, 1], strictly increasing.
    double operator()(double t) const {
        if (!logistic) {
            return t;
        }
        const double low = Logistic(-midpoint / width);
        const double high = Logistic((1.0 - midpoint) / width);
        return (Logistic((t - midpoint) / width) - low) / (high - low);
    }
};

// phase = a + b g((t - c) / w) with g the logistic and w = wMin + exp(omega): x = (a, b, c,
// omega). Only its c and w are used, as the warp.
struct LogisticProblem {
    const std::vector<double>* t;
    const std::vector<double>* y;
    double minWidth;

    double Width(const gsl_vector* x) const {
        return minWidth + std::exp(std::min(gsl_vector_get(x, 3), kMaxStepParameter));
    }

    static int Residuals(const gsl_vector* x, void* params, gsl_vector* f) {
        const auto* self = static_cast<const LogisticProblem*>(params);
        const double a = gsl_vector_get(x, 0), b = gsl_vector_get(x, 1), c = gsl_vector_get(x, 2);
        const double w = self->Width(x);
        for (std::size_t i = 0; i < self->t->size(); ++i) {
            gsl_vector_set(f, i, a + b * Warp::Logistic(((*self->t)[i] - c) / w) - (*self->y)[i]);
        }
        return GSL_SUCCESS;
    }

    static int Jacobian(const gsl_vector* x, void* params, gsl_matrix* jac) {
        const auto* self = static_cast<const LogisticProblem*>(params);
        const double b = gsl_vector_get(x, 1), c = gsl_vector_get(x, 2);
        const double w = self->Width(x);
        const double dw = w - self->minWidth;
        for (std::size_t i = 0; i < self->t->size(); ++i) {
            const double u = ((*self->t)[i] - c) / w;
            const double g = Warp::Logistic(u);
            const double dg = g * (1.0 - g);
            gsl_matrix_set(jac, i, 0, 1.0);
            gsl_matrix_set(jac, i, 1, g);
            gsl_matrix_set(jac, i, 2, -b * dg / w);
            gsl_matrix_set(jac, i, 3, -b * dg * u / w * dw);
        }
        return GSL_SUCCESS;
    }
};

// A logistic through the readings, weighted with the robust weights of a first fit; its
// midpoint and width make the warp. Nothing when the solver gives no usable answer.
std::optional<Warp> FitLogisticWarp(const std::vector<double>& t, const std::vector<double>& y,
                                    const std::vector<double>& weights) {
    const std::size_t n = t.size();
    const double minWidth = 0.5 / static_cast<double>(n - 1);
    LogisticProblem problem{&t, &y, minWidth};
    // Start: the ends' phases, the midpoint where the readings first cross half-way.
    const double a = y.front(), b = y.back() - y.front();
    if (b == 0.0) {
        return std::nullopt;
    }
    double c = 0.5;
    for (std::size_t i = 1; i < n; ++i) {
        if ((y[i] - a) / b >= 0.5) {
            c = t[i];
            break;
        }
    }
    gsl::Vector x(gsl_vector_alloc(4));
    gsl_vector_set(x.get(), 0, a);
    gsl_vector_set(x.get(), 1, b);
    gsl_vector_set(x.get(), 2, c);
    gsl_vector_set(x.get(), 3, std::log(0.15));
    gsl_vector_const_view w = gsl_vector_const_view_array(weights.data(), n);

    gsl_multifit_nlinear_parameters parameters = gsl_multifit_nlinear_default_parameters();
    gsl::NonlinearFit solver(
        gsl_multifit_nlinear_alloc(gsl_multifit_nlinear_trust, &parameters, n, 4));
    gsl_multifit_nlinear_fdf fdf{};
    fdf.f = &LogisticProblem::Residuals;
    fdf.df = &LogisticProblem::Jacobian;
    fdf.n = n;
    fdf.p = 4;
    fdf.params = &problem;
    if (gsl_multifit_nlinear_winit(x.get(), &w.vector, &fdf, solver.get()) != GSL_SUCCESS) {
        return std::nullopt;
    }
    int info = 0;
    gsl_multifit_nlinear_driver(200, 1e-8, 1e-10, 1e-12, nullptr, nullptr, &info, solver.get());
    const gsl_vector* position = gsl_multifit_nlinear_position(solver.get());
    Warp warp{true, gsl_vector_get(position, 2), problem.Width(position)};
    if (!std::isfinite(warp.midpoint) || !std::isfinite(warp.width) || !std::isfinite(warp(0.0)) ||
        !std::isfinite(warp(1.0)) || !(warp(1.0) > warp(0.0))) {
        return std::nullopt;
    }
    return warp;
}

// An unconstrained robust spline fit with p coefficients, and its generalised
// Bayesian information criterion (lower is better).
struct CandidateFit {
    std::vector<double> coefficients;
    RobustState state;
    double score = std::numeric_limits<double>::infinity();
};

CandidateFit FitUnconstrained(const SplineBasis& basis, const std::vector<double>& y) {
    const int p = basis.Coefficients();
    CandidateFit fit;
    fit.state.weights.assign(y.size(), 1.0);
    NormalEquations equations(p);
    for (int round = 0; round < kMaxRounds; ++round) {
        if (!equations.Build(basis, y, fit.state.weights)) {
            return fit;
        }
        fit.coefficients = equations.Solve();
        // Coarser than the final fit's: the candidates only need comparing.
        if (fit.state.Reweight(basis, y, fit.coefficients, round) < 1e-3) {
            break;
        }
    }
    double weightSum = 0.0;
    double squares = 0.0;
    for (std::size_t i = 0; i < y.size(); ++i) {
        weightSum += fit.state.weights[i];
        squares += fit.state.weights[i] * fit.state.residuals[i] * fit.state.residuals[i];
    }
    if (weightSum > p + 1.0 && squares > 0.0) {
        fit.score = weightSum * std::log(squares / weightSum) + p * std::log(weightSum);
    }
    return fit;
}

// The monotone curve: c_0 = a, c_j = c_(j-1) + s exp(theta_j), fitted to the factorised
// normal equations, so each solver step costs O(p^3) however many readings there are.
struct MonotoneProblem {
    const NormalEquations* equations;
    std::vector<double> z;
    double direction;
    std::size_t p;

    static double Step(double theta) { return std::exp(std::min(theta, kMaxStepParameter)); }

    std::vector<double> Coefficients(const gsl_vector* x) const {
        std::vector<double> c(p);
        c[0] = gsl_vector_get(x, 0);
        for (std::size_t j = 1; j < p; ++j) {
            c[j] = c[j - 1] + direction * Step(gsl_vector_get(x, j));
        }
        return c;
    }

    static int Residuals(const gsl_vector* x, void* params, gsl_vector* f) {
        const auto* self = static_cast<const MonotoneProblem*>(params);
        const std::vector<double> c = self->Coefficients(x);
        for (std::size_t i = 0; i < self->p; ++i) {
            double sum = -self->z[i];
            for (std::size_t j = i; j < self->p; ++j) {
                sum += self->equations->Lower(j, i) * c[j];
            }
            gsl_vector_set(f, i, sum);
        }
        return GSL_SUCCESS;
    }

    static int Jacobian(const gsl_vector* x, void* params, gsl_matrix* jac) {
        const auto* self = static_cast<const MonotoneProblem*>(params);
        const std::size_t p = self->p;
        std::vector<double> tail(p + 1);
        for (std::size_t i = 0; i < p; ++i) {
            // tail[m] = sum of L(j, i) over j >= m (for m >= i).
            tail[p] = 0.0;
            for (std::size_t m = p; m-- > i;) {
                tail[m] = tail[m + 1] + self->equations->Lower(m, i);
            }
            gsl_matrix_set(jac, i, 0, tail[i]);
            for (std::size_t k = 1; k < p; ++k) {
                const double theta = gsl_vector_get(x, k);
                const double d = theta < kMaxStepParameter ? self->direction * Step(theta) : 0.0;
                gsl_matrix_set(jac, i, k, d * tail[std::max(i, k)]);
            }
        }
        return GSL_SUCCESS;
    }
};

// Fits the monotone coefficients, starting from `start` (an unconstrained fit) and its
// robust weights.
std::vector<double> FitMonotone(const SplineBasis& basis, const std::vector<double>& y,
                                const std::vector<double>& start, double direction,
                                RobustState& state) {
    const std::size_t p = start.size();
    const double change = std::fabs(start.back() - start.front());
    const double floor = 1e-6 * change + 1e-12;
    gsl::Vector x(gsl_vector_alloc(p));
    gsl_vector_set(x.get(), 0, start[0]);
    for (std::size_t j = 1; j < p; ++j) {
        gsl_vector_set(x.get(), j,
                       std::log(std::max(direction * (start[j] - start[j - 1]), floor)));
    }

    gsl_multifit_nlinear_parameters parameters = gsl_multifit_nlinear_default_parameters();
    gsl::NonlinearFit solver(
        gsl_multifit_nlinear_alloc(gsl_multifit_nlinear_trust, &parameters, p, p));
    NormalEquations equations(static_cast<int>(p));
    MonotoneProblem problem{&equations, {}, direction, p};
    gsl_multifit_nlinear_fdf fdf{};
    fdf.f = &MonotoneProblem::Residuals;
    fdf.df = &MonotoneProblem::Jacobian;
    fdf.n = p;
    fdf.p = p;
    fdf.params = &problem;

    std::vector<double> c = problem.Coefficients(x.get());
    for (int round = 2; round < kMaxRounds; ++round) {
        if (!equations.Build(basis, y, state.weights)) {
            break;
        }
        problem.z = equations.Reduced();
        gsl_multifit_nlinear_init(x.get(), &fdf, solver.get());
        int info = 0;
        gsl_multifit_nlinear_driver(200, 1e-10, 1e-12, 1e-14, nullptr, nullptr, &info,
                                    solver.get());
        // Whatever the solver's verdict, its position is a monotone curve at least as good
        // as the start; a position that is not finite is not taken.
        const gsl_vector* position = gsl_multifit_nlinear_position(solver.get());
        bool finite = true;
        for (std::size_t j = 0; j < p; ++j) {
            finite = finite && std::isfinite(gsl_vector_get(position, j));
        }
        if (finite) {
            gsl_vector_memcpy(x.get(), position);
        }
        c = problem.Coefficients(x.get());
        if (state.Reweight(basis, y, c, round) < 1e-4) {
            break;
        }
    }
    state.Reweight(basis, y, c, kMaxRounds);
    return c;
}

} // namespace

Result<ResponseCurve> ResponseCurve::Fit(const Measurement& measurement,
                                         const FitOptions& options) {
    auto points = Prepare(measurement, options.duplicateTolerance);
    if (!points) {
        return Refuse(points.Message());
    }
    return Fit(*points, options);
}

Result<ResponseCurve> ResponseCurve::Fit(const PreparedPoints& points, const FitOptions& options) {
    gsl::UseReturnCodes();
    const std::size_t n = points.levels.size();
    if (n < static_cast<std::size_t>(kMinLevels) || points.phases.size() != n) {
        return Refuse("Only " + std::to_string(n) +
                      " different levels were measured; a response curve needs at least " +
                      std::to_string(kMinLevels) + ".");
    }
    for (std::size_t i = 1; i < n; ++i) {
        if (points.levels[i] <= points.levels[i - 1]) {
            return Refuse("The levels to fit must ascend, each once (level " +
                          std::to_string(points.levels[i]) + " follows level " +
                          std::to_string(points.levels[i - 1]) + ").");
        }
    }
    const int first = points.levels.front();
    const int last = points.levels.back();
    const double span = static_cast<double>(last - first);
    std::vector<double> t(n);
    for (std::size_t i = 0; i < n; ++i) {
        t[i] = (points.levels[i] - first) / span;
    }
    const std::vector<double>& y = points.phases;

    // The number of coefficients: asked for, or chosen among the candidates below.
    const int most = std::clamp(static_cast<int>(n / 3), kMinCoefficients, kMaxCoefficients);
    int low = kMinCoefficients;
    int high = most;
    if (options.coefficients != 0) {
        const int limit = std::min(kMaxCoefficients, static_cast<int>(n));
        if (options.coefficients < kMinCoefficients || options.coefficients > limit) {
            return Refuse("A curve through " + std::to_string(n) + " levels takes " +
                          std::to_string(kMinCoefficients) + " to " + std::to_string(limit) +
                          " coefficients; " + std::to_string(options.coefficients) +
                          " were asked.");
        }
        low = high = options.coefficients;
    }
    // The fit with the best information criterion, in the plain level and in the logistic warp
    // (the candidates: 4 to 8 coefficients one by one, then in steps of a quarter).
    std::optional<SplineBasis> basis;
    CandidateFit best;
    Warp bestWarp;
    auto tryWarp = [&](const Warp& warp) {
        std::vector<double> u(n);
        std::transform(t.begin(), t.end(), u.begin(), warp);
        for (int p = low; p <= high; p += p < 8 ? 1 : p / 4) {
            SplineBasis candidate(u, p);
            CandidateFit fit = FitUnconstrained(candidate, y);
            if (!fit.coefficients.empty() && (!basis || fit.score < best.score)) {
                basis.emplace(std::move(candidate));
                best = std::move(fit);
                bestWarp = warp;
            }
        }
    };
    tryWarp(Warp{});
    if (!basis) {
        return Refuse("The measured levels give no curve to fit.");
    }
    if (const auto logistic = FitLogisticWarp(t, y, best.state.weights)) {
        tryWarp(*logistic);
    }

    const double change = best.coefficients.back() - best.coefficients.front();
    if (!(std::fabs(change) > kMinSignal * best.state.scale)) {
        return Refuse("The phase changes by only " + Figure(std::fabs(change)) +
                      " rad between levels " + std::to_string(first) + " and " +
                      std::to_string(last) + ", no more than the scatter of the readings (" +
                      Figure(best.state.scale) +
                      " rad) allows: the measurement shows no response.");
    }
    RobustState state = best.state;
    const std::vector<double> c =
        FitMonotone(*basis, y, best.coefficients, change > 0 ? 1.0 : -1.0, state);

    FitReport report;
    report.levels = points.levels;
    report.measured = y;
    report.coefficients = basis->Coefficients();
    report.scale = state.scale;
    double squares = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
        const double r = state.residuals[i];
        report.fitted.push_back(y[i] - r);
        report.residuals.push_back(r);
        const bool outlier = state.weights[i] == 0.0;
        report.outliers.push_back(outlier);
        report.outlierCount += outlier ? 1 : 0;
        squares += r * r;
        report.maxResidual = std::max(report.maxResidual, std::fabs(r));
    }
    report.rms = std::sqrt(squares / static_cast<double>(n));
    // Readings off by about a whole period are the mark of phases folded into one period.
    std::vector<int> periodOff;
    std::vector<int> off;
    for (std::size_t i = 0; i < n; ++i) {
        if (report.outliers[i]) {
            off.push_back(report.levels[i]);
            const double periods = std::round(report.residuals[i] / (2.0 * std::numbers::pi));
            if (periods != 0.0 &&
                std::fabs(report.residuals[i] - periods * 2.0 * std::numbers::pi) < 0.5) {
                periodOff.push_back(report.levels[i]);
            }
        }
    }
    const auto levelList = [](const std::vector<int>& levels) {
        std::string list;
        for (std::size_t i = 0; i < levels.size() && i < 6; ++i) {
            list += (i > 0 ? ", " : "") + (i == 5 ? std::string("...") : std::to_string(levels[i]));
        }
        return list;
    };
    if (!periodOff.empty()) {
        return Refuse(std::to_string(periodOff.size()) +
                      " readings lie a whole period (2 PI) off "
                      "the fitted curve (at levels " +
                      levelList(periodOff) +
                      "): the phases look folded into one period. Mark them as wrapped.");
    }
    if (report.outlierCount > options.outlierShare * static_cast<double>(n)) {
        return Refuse(std::to_string(report.outlierCount) + " of " + std::to_string(n) +
                      " readings lie more than " + Figure(kBisquareTune * report.scale) +
                      " rad off the fitted monotone curve (at levels " + levelList(off) +
                      "): the measurement does not follow one monotone curve. Are the phases "
                      "wrapped into one period without being marked so?");
    }
    if (report.scale > options.maxScatter) {
        return Refuse("The readings scatter by " + Figure(report.scale) +
                      " rad around the fitted monotone curve (at most " +
                      Figure(options.maxScatter) +
                      " rad is accepted): the measurement does not follow one monotone curve. "
                      "Are the phases wrapped into one period without being marked so, or given "
                      "in another unit?");
    }

    ResponseCurve curve;
    curve.m_firstLevel = first;
    curve.m_phases.resize(static_cast<std::size_t>(last - first) + 1);
    for (int level = first; level <= last; ++level) {
        curve.m_phases[static_cast<std::size_t>(level - first)] =
            basis->Value(bestWarp((level - first) / span), c);
    }
    curve.m_report = std::move(report);
    curve.m_origin = "fitted to " + std::to_string(n) + " measured levels (" +
                     std::to_string(first) + " to " + std::to_string(last) + ")";
    return curve;
}

Result<ResponseCurve> ResponseCurve::FromSamples(int firstLevel, std::vector<double> phases,
                                                 std::string origin) {
    gsl::UseReturnCodes();
    if (phases.size() < static_cast<std::size_t>(kMinLevels)) {
        return Refuse("A response curve needs at least " + std::to_string(kMinLevels) +
                      " levels; " + std::to_string(phases.size()) + " were given.");
    }
    const bool rising = phases.back() >= phases.front();
    // Rounding may reverse a step between nearly equal phases by a hair; such steps are
    // levelled, real reversals refused.
    const double slack = 1e-9 * (1.0 + std::fabs(phases.back() - phases.front()));
    for (std::size_t i = 0; i < phases.size(); ++i) {
        if (!std::isfinite(phases[i])) {
            return Refuse("The phase at level " + std::to_string(firstLevel + i) +
                          " is not a finite number.");
        }
        if (i == 0) {
            continue;
        }
        const double step = rising ? phases[i] - phases[i - 1] : phases[i - 1] - phases[i];
        if (step < -slack) {
            return Refuse("The curve is not monotone at level " + std::to_string(firstLevel + i) +
                          ".");
        }
        if (step < 0.0) {
            phases[i] = phases[i - 1];
        }
    }
    ResponseCurve curve;
    curve.m_firstLevel = firstLevel;
    curve.m_phases = std::move(phases);
    curve.m_origin = std::move(origin);
    return curve;
}

double ResponseCurve::Stroke() const {
    return std::fabs(m_phases.back() - m_phases.front());
}

std::optional<double> ResponseCurve::PhaseAt(double level) const {
    if (!(level >= FirstLevel() && level <= LastLevel())) {
        return std::nullopt;
    }
    const double offset = level - m_firstLevel;
    if (offset == std::floor(offset)) {
        return m_phases[static_cast<std::size_t>(offset)];
    }
    return Steffen(m_phases, m_firstLevel, level);
}

std::optional<double> ResponseCurve::RelativePhaseAt(double level) const {
    const auto phase = PhaseAt(level);
    if (!phase) {
        return std::nullopt;
    }
    const double zero = Rising() ? m_phases.front() : m_phases.back();
    return std::max(0.0, Rising() ? *phase - zero : zero - *phase);
}

Result<std::vector<std::uint16_t>> ResponseCurve::BuildTable(int digits, double maxPhase,
                                                             PhaseUnit unit) const {
    if (digits < limits::kMinDacDigits || digits > limits::kMaxDacDigits) {
        return Refuse("A correction table is made for 10 to 16 DAC digits; " +
                      std::to_string(digits) + " were asked.");
    }
    const std::uint32_t entries = daccodes::HalfRange(digits);
    if (LastLevel() >= static_cast<int>(entries) || FirstLevel() < 0) {
        return Refuse("The curve reaches level " + std::to_string(LastLevel()) +
                      ", beyond the DAC range 0 to " + std::to_string(entries - 1) + " of " +
                      std::to_string(digits) + " digits.");
    }
    const double maxRadians = ToRadians(maxPhase, unit);
    if (!(maxRadians > 0.0) || !std::isfinite(maxRadians)) {
        return Refuse("The maximum phase must be a number above 0; " + Figure(maxPhase) + " " +
                      std::string(UnitWords(unit)) + " was asked.");
    }
    if (maxRadians > Stroke() * (1.0 + 1e-12)) {
        return Refuse("The maximum phase of " + Figure(maxPhase) + " " +
                      std::string(UnitWords(unit)) + " is beyond the measured stroke of " +
                      FormatPhase(Stroke(), unit) + " (levels " + std::to_string(FirstLevel()) +
                      " to " + std::to_string(LastLevel()) + ").");
    }

    // Walk away from the zero level; the phase above the zero grows along the walk.
    const std::size_t count = m_phases.size();
    const bool rising = Rising();
    auto above = [&](std::size_t m) {
        return rising ? m_phases[m] - m_phases.front() : m_phases[count - 1 - m] - m_phases.back();
    };
    auto levelOf = [&](std::size_t m) {
        return static_cast<std::uint16_t>(rising ? m_firstLevel + m : LastLevel() - m);
    };
    std::vector<std::uint16_t> table(entries);
    std::size_t m = 0;
    for (std::uint32_t k = 0; k < entries; ++k) {
        const double target = maxRadians * k / (entries - 1.0);
        while (m + 1 < count && above(m) < target) {
            ++m;
        }
        // The nearer of the two levels around the target; a tie goes towards the zero.
        std::size_t pick = m;
        if (m > 0 && target - above(m - 1) <= above(m) - target) {
            pick = m - 1;
        }
        table[k] = levelOf(pick);
    }
    return table;
}

} // namespace calibration
