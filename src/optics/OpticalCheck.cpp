#include "optics/OpticalCheck.h"

#include "optics/SampledRow.h"
#include "optics/Search.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <complex>
#include <numbers>

namespace optics {

namespace {

using detail::SampledRow;

constexpr double kPi = std::numbers::pi;
constexpr int kMaxElements = 4096;
constexpr int kMinDacDigits = 2;
constexpr int kMaxDacDigits = 16;
// Beyond this many radians a double no longer resolves a phase to a small part of a period
// (its spacing there is about 1e-4 rad).
constexpr double kMaxDesignPhase = 1e12;
// Samples per element: at least this many, more while the field turns by more than PI/8
// between samples, as long as the row stays within kMaxSamples.
constexpr int kMinSamplesPerElement = 16;
constexpr std::size_t kMaxSamples = std::size_t{1} << 17;
// The transform is at least this many times longer than the row (zero padding): four points
// per half width of the spot's central lobe.
constexpr std::size_t kPadding = 4;
// Spectra up to this length stay allocated for the thread's next check.
constexpr std::size_t kKeptLength = std::size_t{1} << 16;
// The designed spot's neighbourhood: where the design's own pattern exceeds this share of its
// peak, widened by kWindowMargin lobe half widths on each side.
constexpr double kWindowThreshold = 0.01;
constexpr int kWindowMargin = 2;
// The search for the focus climbs from the designed plane at most this many steps of half a
// focal depth.
constexpr int kFocusSteps = 24;

std::string Number(double value) {
    char text[32];
    const auto [end, ec] = std::to_chars(text, text + sizeof text, value);
    return ec == std::errc() ? std::string(text, end) : std::string("?");
}

std::string Number(long long value) {
    return std::to_string(value);
}

// The reason the input cannot be checked, or an empty string.
std::string CheckGeometry(const CheckInput& in) {
    if (in.design != Design::Lens && in.design != Design::Polynomial && in.design != Design::None) {
        return "Unknown kind of design: only a lens, a polynomial profile or a code pattern "
               "can be checked.";
    }
    if (in.elements < 2) {
        return "The optical check needs at least two elements (the element pitch is the "
               "aperture divided by the element count minus one); there are " +
               Number(static_cast<long long>(in.elements)) + ".";
    }
    if (in.elements > kMaxElements) {
        return "The optical check handles at most " + Number(static_cast<long long>(kMaxElements)) +
               " elements; there are " + Number(static_cast<long long>(in.elements)) + ".";
    }
    if (!std::isfinite(in.aperture) || in.aperture <= 0.0) {
        return "The aperture must be a positive length in metres (it sets the element pitch); "
               "it is " +
               Number(in.aperture) + ".";
    }
    if (!std::isfinite(in.waveLength) || in.waveLength <= 0.0) {
        return "The wave length must be a positive length in metres; it is " +
               Number(in.waveLength) + ".";
    }
    if (in.design == Design::Lens && (!std::isfinite(in.diopters) || in.diopters == 0.0)) {
        return "A lens needs a finite optical power other than 0 (it has no focus otherwise); "
               "it is " +
               Number(in.diopters) + " diopters.";
    }
    if (in.design == Design::Polynomial) {
        for (std::size_t j = 0; j < in.coefficients.size(); ++j) {
            if (!std::isfinite(in.coefficients[j])) {
                return "The polynomial coefficient a" + Number(static_cast<long long>(j)) +
                       " is not a number.";
            }
        }
    }
    if (in.dacDigits < kMinDacDigits || in.dacDigits > kMaxDacDigits) {
        return "The DAC digits must lie between " + Number(static_cast<long long>(kMinDacDigits)) +
               " and " + Number(static_cast<long long>(kMaxDacDigits)) + "; they are " +
               Number(static_cast<long long>(in.dacDigits)) + ".";
    }
    return {};
}

// The levels the codes carry (code - S of the first half, checked against the mirrored
// second half), or the reason they are no Send's codes.
std::string ReadLevels(const CheckInput& in, std::uint32_t halfRange,
                       std::vector<std::uint32_t>& levels) {
    const auto n = static_cast<std::size_t>(in.elements);
    if (in.codes.size() != 2 * n) {
        return "The profile has " + Number(static_cast<long long>(n)) +
               " elements, so a send carries " + Number(static_cast<long long>(2 * n)) +
               " codes; there are " + Number(static_cast<long long>(in.codes.size())) + ".";
    }
    levels.resize(n);
    for (std::size_t i = 0; i < n; ++i) {
        const std::uint32_t code = in.codes[i];
        if (code < halfRange || code >= 2 * halfRange) {
            return "Code " + Number(static_cast<long long>(code)) + " of element " +
                   Number(static_cast<long long>(i)) + " is not in the upper half of the DAC (" +
                   Number(static_cast<long long>(halfRange)) + " to " +
                   Number(static_cast<long long>(2 * halfRange - 1)) + ").";
        }
        levels[i] = code - halfRange;
        if (in.codes[n + i] != halfRange - 1 - levels[i]) {
            return "Code " + Number(static_cast<long long>(in.codes[n + i])) + " at position " +
                   Number(static_cast<long long>(n + i)) + " does not mirror the code of element " +
                   Number(static_cast<long long>(i)) + " (it should be " +
                   Number(static_cast<long long>(halfRange - 1 - levels[i])) + ").";
        }
    }
    return {};
}

// The phase of every level through the response, or the reason there is none.
std::string RealisedPhases(const CheckInput& in, std::uint32_t halfRange,
                           const std::vector<std::uint32_t>& levels, std::vector<double>& phase) {
    const LevelResponse& response = in.response;
    if (!response.table.empty() && response.function) {
        return "Give the level response either as a table or as a function, not both.";
    }
    if (!response.table.empty() && response.table.size() != halfRange) {
        return "The response table must hold one phase for each of the " +
               Number(static_cast<long long>(halfRange)) + " DAC levels; it holds " +
               Number(static_cast<long long>(response.table.size())) + ".";
    }
    const bool linear = response.table.empty() && !response.function;
    if (linear && (!std::isfinite(in.maxPhase) || in.maxPhase <= 0.0)) {
        return "The maximum phase must be a positive number of parts of PI; it is " +
               Number(in.maxPhase) + ".";
    }
    phase.resize(levels.size());
    for (std::size_t i = 0; i < levels.size(); ++i) {
        const std::uint32_t level = levels[i];
        double value = 0.0;
        if (linear) {
            value = level * in.maxPhase * kPi / (halfRange - 1.0);
        } else if (response.function) {
            value = response.function(level);
        } else {
            value = response.table[level];
        }
        if (!std::isfinite(value)) {
            return "The level response gives no phase for level " +
                   Number(static_cast<long long>(level)) + " (element " +
                   Number(static_cast<long long>(i)) + ").";
        }
        phase[i] = value;
    }
    return {};
}

// The design phase (radians, not folded) at a distance x (m) from the centre of the row.
class DesignPhase {
public:
    DesignPhase(const CheckInput& in, double pitch)
        : m_design(in.design), m_lens(kPi * in.diopters / in.waveLength), m_a(in.coefficients),
          m_scale(in.design == Design::Polynomial && !in.useAperture ? 1.0 / pitch : 1.0) {}

    double operator()(double x) const {
        if (m_design == Design::Lens) {
            return m_lens * x * x;
        }
        const double u = x * m_scale; // element steps or metres, as the generation has it
        return ((m_a[2] * u * u + m_a[3] * u * u * u) + m_a[1] * u + m_a[0]);
    }

    // The largest change of the phase over one pitch anywhere on the row [-w/2, w/2].
    double MaxChangePerPitch(double halfWidth, double pitch) const {
        if (m_design == Design::Lens) {
            return std::fabs(2.0 * m_lens * halfWidth) * pitch;
        }
        // The slope a1 + 2 a2 u + 3 a3 u^2 is largest in size at an end or at its vertex.
        const double end = halfWidth * m_scale;
        auto slope = [&](double u) {
            return std::fabs(m_a[1] + 2.0 * m_a[2] * u + 3.0 * m_a[3] * u * u);
        };
        double largest = std::max(slope(-end), slope(end));
        if (m_a[3] != 0.0) {
            const double vertex = -m_a[2] / (3.0 * m_a[3]);
            if (std::fabs(vertex) < end) {
                largest = std::max(largest, slope(vertex));
            }
        }
        return largest * m_scale * pitch;
    }

private:
    Design m_design;
    double m_lens;
    std::array<double, 4> m_a;
    double m_scale;
};

// Per element: the error against the design modulo one period, after the best constant.
void PhaseErrors(const ElementCurve& row, CheckFigures& figures, std::vector<double>& errorWaves) {
    std::complex<double> sum;
    for (std::size_t i = 0; i < row.phase.size(); ++i) {
        sum += std::polar(1.0, row.phase[i] - row.design[i]);
    }
    // The circular mean: the offset that best lines the realised phasors up with the design's
    // (it maximises their overlap); for small errors it is also the least-squares constant.
    const double offset = std::abs(sum) > 0.0 ? std::arg(sum) : 0.0;
    double squares = 0.0;
    double peak = 0.0;
    errorWaves.resize(row.phase.size());
    for (std::size_t i = 0; i < row.phase.size(); ++i) {
        const double error = std::remainder(row.phase[i] - row.design[i] - offset, 2.0 * kPi);
        errorWaves[i] = error / (2.0 * kPi);
        squares += error * error;
        peak = std::max(peak, std::fabs(error));
    }
    figures.offsetRad = offset;
    figures.rmsErrorWaves = std::sqrt(squares / row.phase.size()) / (2.0 * kPi);
    figures.peakErrorWaves = peak / (2.0 * kPi);
}

// Where a design turns by more than half a period between neighbouring elements the row
// cannot follow it (the stripes alias it into other orders).
void WarnAboutAliasing(const ElementCurve& row, std::vector<std::string>& warnings) {
    std::size_t worst = 0;
    double largest = 0.0;
    for (std::size_t i = 0; i + 1 < row.design.size(); ++i) {
        const double change = std::fabs(row.design[i + 1] - row.design[i]);
        if (change > largest) {
            largest = change;
            worst = i;
        }
    }
    if (largest > kPi) {
        // Two decimals: enough to say how far beyond half a period the design goes.
        warnings.push_back("The design changes by " +
                           Number(std::round(largest / (2.0 * kPi) * 100.0) / 100.0) +
                           " periods between elements " + Number(static_cast<long long>(worst)) +
                           " and " + Number(static_cast<long long>(worst + 1)) +
                           ", more than half a period: the row cannot follow it there, and that "
                           "light goes into other orders.");
    }
}

std::ptrdiff_t Signed(std::size_t k, std::size_t length) {
    const auto size = static_cast<std::ptrdiff_t>(length);
    const auto index = static_cast<std::ptrdiff_t>(k);
    return index >= size / 2 ? index - size : index;
}

std::size_t Wrapped(std::ptrdiff_t k, std::size_t length) {
    const auto size = static_cast<std::ptrdiff_t>(length);
    return static_cast<std::size_t>(((k % size) + size) % size);
}

// The design phase of every element, or the reason it cannot be checked.
std::string DesignedPhases(const DesignPhase& design, ElementCurve& row) {
    row.design.resize(row.position.size());
    for (std::size_t i = 0; i < row.position.size(); ++i) {
        row.design[i] = design(row.position[i]);
        if (!(std::fabs(row.design[i]) <= kMaxDesignPhase)) {
            return "The design phase of element " + Number(static_cast<long long>(i)) + " is " +
                   Number(row.design[i]) + " radians: too large to be resolved within one period.";
        }
    }
    return {};
}

// Samples per element for fields that turn by up to `turnPerPitch` radians within a stripe:
// the lens's pattern is computed with the lens removed (the focal plane is the Fourier
// transform of the row times the conjugate of the ideal lens), which leaves the lens's
// quadratic phase inside each stripe; a polynomial's ideal field turns inside a stripe as
// fast as the design. At most PI/8 between samples, as far as kMaxSamples allows.
int SamplesPerElement(double turnPerPitch, std::size_t elements,
                      std::vector<std::string>& warnings) {
    const double wanted = 8.0 * turnPerPitch / kPi;
    int perElement = kMinSamplesPerElement;
    while (perElement < wanted && elements * 2 * perElement <= kMaxSamples) {
        perElement *= 2;
    }
    if (perElement < wanted) {
        warnings.push_back("The design turns too fast inside one element to be sampled finely; "
                           "the optical figures are approximate.");
    }
    return perElement;
}

// Everything about the pattern that the figures need.
struct Patterns {
    SampledRow actual;
    SampledRow ideal;
    std::vector<double>& actualSpectrum;
    std::vector<double>& idealSpectrum;
    std::size_t length = 0;

    // The spacing of the spectrum's bins in spatial frequency: a quarter (kPadding) of the
    // central lobe's half width or less.
    double Bin() const { return 1.0 / (static_cast<double>(length) * actual.Dx()); }
    double ActualAt(std::ptrdiff_t k) const { return actualSpectrum[Wrapped(k, length)]; }
};

// The spectra of the calling thread's last check, kept like the transform buffer so that
// checks in a row do not fault in fresh pages; released after a check of unusual size.
struct Spectra {
    std::vector<double> actual;
    std::vector<double> ideal;
};

Spectra& ThreadSpectra() {
    thread_local Spectra spectra;
    return spectra;
}

void ReleaseLarge(Spectra& spectra, std::size_t length) {
    if (length > kKeptLength) {
        spectra = Spectra();
    }
}

// The fields behind the row: the realised phases (less the ideal lens for a lens, whose
// ideal field then stays uniform) and the continuous design of a polynomial.
void SampleFields(Design kind, const DesignPhase& design, const std::vector<double>& phase,
                  Patterns& p) {
    const auto perElement = static_cast<std::size_t>(p.actual.PerElement());
    for (std::size_t s = 0; s < p.actual.Size(); ++s) {
        const double x = p.actual.X(s);
        const double realised = phase[s / perElement];
        if (kind == Design::Lens) {
            p.actual.SetPhase(s, realised - design(x));
        } else {
            p.actual.SetPhase(s, realised);
            if (kind == Design::Polynomial) {
                p.ideal.SetPhase(s, design(x));
            }
        }
    }
}

// The refined peak of a row's intensity near bin k of a spectrum with bins `bin` apart.
double RefinePeak(const SampledRow& row, std::ptrdiff_t k, double bin) {
    const double centre = static_cast<double>(k) * bin;
    return detail::Maximise([&](double nu) { return row.Intensity(nu); }, centre - bin,
                            centre + bin, 1e-6 * bin);
}

// Where the intensity falls to half of `peak` on the side `direction` (+1 or -1) of nu0,
// walking the spectrum bin by bin, then refining between the two bins that bracket it.
std::optional<double> HalfPoint(const Patterns& p, double nu0, double peak, int direction) {
    const double bin = p.Bin();
    const auto start = static_cast<std::ptrdiff_t>(std::lround(nu0 / bin));
    const auto half = static_cast<std::ptrdiff_t>(p.length / 2);
    for (std::ptrdiff_t step = 1; step < half; ++step) {
        const std::ptrdiff_t k = start + direction * step;
        if (p.ActualAt(k) < 0.5 * peak) {
            auto excess = [&](double nu) { return p.actual.Intensity(nu) - 0.5 * peak; };
            double inner = static_cast<double>(k - direction) * bin;
            if (direction * (inner - nu0) < 0.0) {
                inner = nu0;
            }
            const double outer = static_cast<double>(k) * bin;
            if (excess(inner) <= 0.0 || excess(outer) >= 0.0) {
                return std::nullopt;
            }
            return detail::Crossing(excess, inner, outer, 1e-6 * bin);
        }
    }
    return std::nullopt;
}

// The lens's focus: along the ray through the spot at frequency nu (the focal plane's
// lateral position over lambda*z), the distance z of the intensity maximum nearest to the
// designed focal plane, found by climbing from it in steps of half a focal depth. The field
// at z carries the quadratic phase PI s x^2 / lambda with s = 1/z - D, and the intensity of a
// cylindrical wave falls as 1/z. Other maxima (the foci of other diffraction orders) are
// not the designed focus.
double FocusDistance(const SampledRow& row, double nu, double diopters, double waveLength,
                     double width) {
    const double depth = 4.0 * waveLength / (width * width); // s at which the edge is PI off
    const double step = 0.5 * depth;
    auto intensity = [&](double s) {
        return row.Intensity(nu, kPi * s / waveLength) * (diopters + s) / diopters;
    };
    // z between a fifth and five times the focal length.
    auto allowed = [&](double s) {
        const double ratio = (diopters + s) / diopters;
        return ratio >= 0.2 && ratio <= 5.0;
    };
    double best = 0.0;
    double bestValue = intensity(0.0);
    const double up = intensity(step);
    const double down = intensity(-step);
    if (up > bestValue || down > bestValue) {
        const double direction = up > down ? 1.0 : -1.0;
        best = direction * step;
        bestValue = std::max(up, down);
        for (int j = 2; j <= kFocusSteps && allowed(direction * j * step); ++j) {
            const double value = intensity(direction * j * step);
            if (value <= bestValue) {
                break;
            }
            best = direction * j * step;
            bestValue = value;
        }
    }
    double lo = best - step;
    double hi = best + step;
    while (!allowed(lo)) {
        lo = 0.5 * (lo + best);
    }
    while (!allowed(hi)) {
        hi = 0.5 * (hi + best);
    }
    const double s = detail::Maximise(intensity, lo, hi, 1e-5 * depth);
    return 1.0 / (diopters + s);
}

// The bin of the brightest light near the designed spot: within the region where the
// design's own pattern exceeds kWindowThreshold of its peak bin `idealBin`, widened by
// kWindowMargin lobe half widths on each side.
std::ptrdiff_t BrightestNearDesign(const Patterns& p, std::size_t idealBin) {
    std::ptrdiff_t first = Signed(idealBin, p.length);
    std::ptrdiff_t last = first;
    const double threshold = kWindowThreshold * p.idealSpectrum[idealBin];
    for (std::size_t k = 0; k < p.length; ++k) {
        if (p.idealSpectrum[k] >= threshold) {
            first = std::min(first, Signed(k, p.length));
            last = std::max(last, Signed(k, p.length));
        }
    }
    const auto binsPerLobe = static_cast<std::ptrdiff_t>(p.length / p.actual.Size());
    first -= kWindowMargin * binsPerLobe;
    last = std::min(last + kWindowMargin * binsPerLobe,
                    first + static_cast<std::ptrdiff_t>(p.length) - 1);
    std::ptrdiff_t brightest = first;
    for (std::ptrdiff_t k = first; k <= last; ++k) {
        if (p.ActualAt(k) > p.ActualAt(brightest)) {
            brightest = k;
        }
    }
    return brightest;
}

// The figures of a designed row whose design pattern peaks in bin `idealBin`.
CheckFigures Figures(const CheckInput& in, const Patterns& p, std::size_t idealBin, double width) {
    CheckFigures figures;
    // A perfect lens sends all light to the centre of its focal plane, the top of the scale.
    const bool lens = in.design == Design::Lens;
    const double idealPeak =
        lens ? 1.0 : p.ideal.Intensity(RefinePeak(p.ideal, Signed(idealBin, p.length), p.Bin()));
    const std::ptrdiff_t peakBin = BrightestNearDesign(p, idealBin);
    double nu = RefinePeak(p.actual, peakBin, p.Bin());
    double peak = p.actual.Intensity(nu);
    if (peak < p.ActualAt(peakBin)) {
        nu = static_cast<double>(peakBin) * p.Bin();
        peak = p.ActualAt(peakBin);
    }
    figures.strehl = idealPeak > 0.0 ? peak / idealPeak : 0.0;
    figures.efficiency = std::norm(p.actual.Overlap(p.ideal));

    const auto left = HalfPoint(p, nu, peak, -1);
    const auto right = HalfPoint(p, nu, peak, +1);
    if (lens) {
        const double focal = 1.0 / in.diopters;
        figures.spotOffsetM = in.waveLength * focal * nu;
        figures.focusM = FocusDistance(p.actual, nu, in.diopters, in.waveLength, width);
        if (left && right) {
            figures.spotWidth = in.waveLength * std::fabs(focal) * (*right - *left);
        }
    } else {
        figures.orderAngleRad = std::asin(std::clamp(in.waveLength * nu, -1.0, 1.0));
        if (left && right) {
            figures.spotWidth = std::asin(std::clamp(in.waveLength * *right, -1.0, 1.0)) -
                                std::asin(std::clamp(in.waveLength * *left, -1.0, 1.0));
        }
    }
    return figures;
}

// The pattern over +-1/pitch (in the far field only where |sin| <= 1), ascending.
PatternCurve Curve(const CheckInput& in, const Patterns& p, double pitch, bool withIdeal) {
    PatternCurve curve;
    const auto reach = std::min(static_cast<std::ptrdiff_t>(std::floor(1.0 / (pitch * p.Bin()))),
                                static_cast<std::ptrdiff_t>(p.length / 2 - 1));
    const bool lens = in.design == Design::Lens;
    curve.axis = lens ? PatternAxis::FocalPlaneMetres : PatternAxis::AngleRadians;
    for (std::ptrdiff_t k = -reach; k <= reach; ++k) {
        const double nu = static_cast<double>(k) * p.Bin();
        double coordinate = 0.0;
        if (lens) {
            coordinate = in.waveLength * nu / in.diopters;
        } else if (std::fabs(in.waveLength * nu) <= 1.0) {
            coordinate = std::asin(in.waveLength * nu);
        } else {
            continue;
        }
        curve.coordinate.push_back(coordinate);
        curve.intensity.push_back(p.ActualAt(k));
        if (withIdeal) {
            curve.ideal.push_back(p.idealSpectrum[Wrapped(k, p.length)]);
        }
    }
    // A diverging lens maps rising frequencies to falling positions.
    if (lens && in.diopters < 0.0) {
        std::reverse(curve.coordinate.begin(), curve.coordinate.end());
        std::reverse(curve.intensity.begin(), curve.intensity.end());
        std::reverse(curve.ideal.begin(), curve.ideal.end());
    }
    return curve;
}

} // namespace

CheckOutcome RunCheck(const CheckInput& in) {
    CheckOutcome outcome;
    outcome.error = CheckGeometry(in);
    if (!outcome.error.empty()) {
        return outcome;
    }
    const auto n = static_cast<std::size_t>(in.elements);
    const std::uint32_t halfRange = std::uint32_t{1} << (in.dacDigits - 1);
    const double pitch = in.aperture / (in.elements - 1);
    const double width = pitch * in.elements;

    CheckResult result;
    result.design = in.design;
    result.waveLength = in.waveLength;
    result.pitch = pitch;
    ElementCurve& row = result.elements;
    outcome.error = ReadLevels(in, halfRange, row.level);
    if (outcome.error.empty()) {
        outcome.error = RealisedPhases(in, halfRange, row.level, row.phase);
    }
    if (!outcome.error.empty()) {
        return outcome;
    }
    row.position.resize(n);
    for (std::size_t i = 0; i < n; ++i) {
        row.position[i] = (static_cast<double>(i) - (in.elements - 1) * 0.5) * pitch;
    }

    const bool designed = in.design != Design::None;
    const DesignPhase design(in, pitch);
    if (designed) {
        outcome.error = DesignedPhases(design, row);
        if (!outcome.error.empty()) {
            return outcome;
        }
        WarnAboutAliasing(row, result.warnings);
    }
    const double turnPerPitch = designed ? design.MaxChangePerPitch(0.5 * width, pitch) : 0.0;
    const int perElement = SamplesPerElement(turnPerPitch, n, result.warnings);
    std::size_t length = 1;
    while (length < kPadding * n * perElement) {
        length *= 2;
    }
    result.sampling = {perElement, length};

    Spectra& spectra = ThreadSpectra();
    Patterns p{SampledRow(in.elements, perElement, pitch),
               SampledRow(in.elements, perElement, pitch), spectra.actual, spectra.ideal, length};
    SampleFields(in.design, design, row.phase, p);
    p.actual.Spectrum(length, p.actualSpectrum);
    if (designed) {
        p.ideal.Spectrum(length, p.idealSpectrum);
        // The designed spot or order: the peak of the continuous design's own pattern.
        const auto idealBin = static_cast<std::size_t>(
            std::max_element(p.idealSpectrum.begin(), p.idealSpectrum.end()) -
            p.idealSpectrum.begin());
        if (in.design == Design::Polynomial) {
            const double sine = in.waveLength * Signed(idealBin, length) * p.Bin();
            if (std::fabs(sine) >= 1.0) {
                outcome.error = "The designed order would leave the row at more than 90 degrees: "
                                "the element pitch is too small for this design at this wave "
                                "length.";
                ReleaseLarge(spectra, length);
                return outcome;
            }
        }
        CheckFigures figures = Figures(in, p, idealBin, width);
        PhaseErrors(row, figures, row.errorWaves);
        result.figures = figures;
    }
    result.pattern = Curve(in, p, pitch, designed);
    ReleaseLarge(spectra, length);
    outcome.result = std::move(result);
    return outcome;
}

} // namespace optics
