#include "optics/Search.h"

#include <cmath>
#include <tuple>

namespace optics::detail {

double Maximise(const std::function<double(double)>& f, double lo, double hi, double tolerance) {
    const double golden = 0.5 * (3.0 - std::sqrt(5.0));
    double a = lo;
    double b = hi;
    // x: best so far, w: second best, v: the previous w; fx etc. are -f (minimised).
    double x = a + golden * (b - a);
    double w = x;
    double v = x;
    double fx = -f(x);
    double fw = fx;
    double fv = fx;
    double step = 0.0;     // the last step taken
    double previous = 0.0; // the step before it
    for (int iteration = 0; iteration < 100; ++iteration) {
        const double middle = 0.5 * (a + b);
        const double tol1 = tolerance + 1e-12 * std::fabs(x);
        const double tol2 = 2.0 * tol1;
        if (std::fabs(x - middle) <= tol2 - 0.5 * (b - a)) {
            break;
        }
        bool parabolic = false;
        if (std::fabs(previous) > tol1) {
            // A parabola through x, w and v.
            const double r = (x - w) * (fx - fv);
            double q = (x - v) * (fx - fw);
            double p = (x - v) * q - (x - w) * r;
            q = 2.0 * (q - r);
            if (q > 0.0) {
                p = -p;
            }
            q = std::fabs(q);
            if (std::fabs(p) < std::fabs(0.5 * q * previous) && p > q * (a - x) &&
                p < q * (b - x)) {
                previous = step;
                step = p / q;
                const double u = x + step;
                if (u - a < tol2 || b - u < tol2) {
                    step = x < middle ? tol1 : -tol1;
                }
                parabolic = true;
            }
        }
        if (!parabolic) {
            previous = (x < middle ? b : a) - x;
            step = golden * previous;
        }
        const double u = std::fabs(step) >= tol1 ? x + step : x + (step > 0.0 ? tol1 : -tol1);
        const double fu = -f(u);
        // u becomes the best point, or narrows the interval and ranks among the others.
        if (fu <= fx) {
            (u < x ? b : a) = x;
            std::tie(v, fv, w, fw, x, fx) = std::tuple(w, fw, x, fx, u, fu);
        } else {
            (u < x ? a : b) = u;
            if (fu <= fw || w == x) {
                std::tie(v, fv, w, fw) = std::tuple(w, fw, u, fu);
            } else if (fu <= fv || v == x || v == w) {
                std::tie(v, fv) = std::tuple(u, fu);
            }
        }
    }
    return x;
}

double Crossing(const std::function<double(double)>& f, double lo, double hi, double tolerance) {
    double a = lo;
    double b = hi;
    double fa = f(a);
    double fb = f(b);
    int side = 0; // which end stayed last time, for the Illinois halving
    for (int iteration = 0; iteration < 100 && std::fabs(b - a) > tolerance; ++iteration) {
        const double c = (a * fb - b * fa) / (fb - fa);
        const double fc = f(c);
        if (fc == 0.0) {
            return c;
        }
        if ((fc > 0.0) == (fb > 0.0)) {
            b = c;
            fb = fc;
            if (side == -1) {
                fa *= 0.5;
            }
            side = -1;
        } else {
            a = c;
            fa = fc;
            if (side == 1) {
                fb *= 0.5;
            }
            side = 1;
        }
    }
    return std::fabs(fa) < std::fabs(fb) ? a : b;
}

} // namespace optics::detail
