// The optical check: what the DAC codes of a profile will do to light.
//
// The row of elements is a row of stripes of equal pitch (aperture / (elements - 1)), each
// carrying the phase that its DAC level produces. The check turns the codes exactly as a Send
// transmits them back into levels and phases, compares them with the phase the design asked
// for, and computes the light behind the row: the focal plane of a lens, the far field of a
// polynomial profile (or of a code pattern without a design).
//
// Model and conventions (scalar, paraxial, one-dimensional: the stripes run across the whole
// aperture, so a lens is cylindrical and its focus a line):
// - The row is lit by a plane wave of uniform amplitude over its full width N x pitch; the
//   gaps between electrodes and fringing fields are ignored (each stripe is one phase).
// - A phase phi acts on the field as exp(-i phi): in that form the thin lens pi*D*x^2/lambda of
//   the generation converges at f = 1/D for D > 0. A phase that rises with the element index
//   turns light towards the first element: a polynomial with a1 > 0 deflects to negative angles.
// - The focal plane is reached by Fresnel propagation over z = 1/D, the far field by the
//   Fraunhofer transform (sin(angle) = wave length x spatial frequency).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace optics {

// What the codes were made for.
enum class Design {
    Lens,       // thin lens of `diopters` at `waveLength`
    Polynomial, // a0 + a1*x + a2*x^2 + a3*x^3 radians, x in element steps or metres
    None        // codes without a design phase (a volt-phase pattern): phases and far field only
};

// The phase a DAC level produces. With neither a table nor a function the response is linear:
// level r gives r x maximum phase x PI / (S - 1), the inverse of the profile's own conversion.
// A measured or fitted response curve is given as a table of S phases (index = level) or as a
// function; when the profile's codes went through a correction table, this must be the real
// response of the liquid crystal, which the table was made to straighten.
struct LevelResponse {
    std::vector<double> table;                           // radians, one per level
    std::function<double(std::uint32_t level)> function; // radians
};

struct CheckInput {
    Design design = Design::Lens;
    double diopters = 0.0;                // 1/m, lens
    std::array<double, 4> coefficients{}; // a0..a3 in radians, polynomial
    bool useAperture = false;             // polynomial abscissa in metres, not element steps
    double waveLength = 0.0;              // m, of the light that lights the row
    int elements = 0;                     // N
    double aperture = 0.0;                // m, centre of the first to centre of the last
    int dacDigits = 16;                   // S = 2^(digits - 1) levels
    double maxPhase = 0.0;                // parts of PI at level S - 1 (linear response)
    std::vector<std::uint16_t> codes;     // 2N codes as a Send transmits them
    LevelResponse response;
};

// One entry per element, for the plot along the aperture.
struct ElementCurve {
    std::vector<double> position;     // m from the centre of the row
    std::vector<std::uint32_t> level; // DAC level (code - S)
    std::vector<double> phase;        // realised phase, radians
    std::vector<double> design;       // design phase, radians, not folded (empty: no design)
    std::vector<double> errorWaves;   // realised - design - offset, within [-1/2, 1/2] waves
};

enum class PatternAxis {
    FocalPlaneMetres, // lateral position in the focal plane of a lens
    AngleRadians      // direction of the far field
};

// The intensity behind the row, over +-1/pitch in spatial frequency (the first replicas of
// the designed spot that the pitch makes); in the far field only the directions that exist
// (|sin| <= 1). Intensities are relative to the peak of a perfect element of the same aperture
// and illumination (a flawless lens focus, a flawless plane wave), so the actual peak reads
// as a Strehl ratio.
struct PatternCurve {
    PatternAxis axis = PatternAxis::AngleRadians;
    std::vector<double> coordinate; // ascending, m or rad
    std::vector<double> intensity;  // what the codes give
    std::vector<double> ideal;      // what the continuous design gives (empty: no design)
};

struct CheckFigures {
    // Share of the light in the designed wave: |<u, u_design>|^2 / (|u|^2 |u_design|^2) over
    // the aperture. For a grating this is the power in the designed order (sinc^2(1/p) for a
    // staircase of p elements per period), for a lens the power that goes into its focus.
    double efficiency = 0.0;
    // Highest intensity near the designed spot or order (in the designed focal plane for a
    // lens) over the peak of the continuous design with the same aperture and illumination.
    // For a lens or a grating that peak is the diffraction limit, so the ratio is at most 1;
    // a design whose own far field is spread (a strong a2 or a3) has a lower peak, and a row
    // that cannot follow such a design (see the warnings) may then even exceed it.
    double strehl = 0.0;
    // Phase error per element, modulo one period and after removing the constant offset that
    // fits best (the circular mean of realised - design).
    double rmsErrorWaves = 0.0;
    double peakErrorWaves = 0.0;
    double offsetRad = 0.0; // the removed constant, within [-PI, PI]
    // Lens: the distance behind the row where the intensity along the focal ray is highest
    // (negative for a diverging lens: a virtual focus), and the spot's lateral offset there.
    std::optional<double> focusM;
    std::optional<double> spotOffsetM;
    // Polynomial: the direction of the brightest light near the designed order.
    std::optional<double> orderAngleRad;
    // Full width at half maximum of that spot or order: m in the focal plane, rad in the far
    // field. Empty when the intensity does not fall to half on both sides within the pattern.
    std::optional<double> spotWidth;
};

// How finely the row was sampled for the transforms.
struct CheckSampling {
    int samplesPerElement = 0;
    std::size_t transformLength = 0;
};

struct CheckResult {
    Design design = Design::Lens;
    double waveLength = 0.0; // m
    double pitch = 0.0;      // m
    ElementCurve elements;
    PatternCurve pattern;
    std::optional<CheckFigures> figures; // empty without a design
    // Things the user should know that do not stop the check (a design the row cannot follow).
    std::vector<std::string> warnings;
    CheckSampling sampling;
};

// Either a result or the reason there is none, in a sentence for the user.
struct CheckOutcome {
    std::optional<CheckResult> result;
    std::string error;
};

// Runs the check. Safe to call from several threads at once.
CheckOutcome RunCheck(const CheckInput& input);

} // namespace optics
