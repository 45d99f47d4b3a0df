// Generation of a profile from optical parameters, and the folding of phases into the
// window [low limit, high limit] that the liquid crystal can produce.
#include "framework/Prompter.h"
#include "framework/StringTable.h"
#include "profile/TessaronDoc.h"

#include <cmath>
#include <vector>

// A file may carry any element count; generation works only for the counts the program
// accepts anywhere else, so a damaged file cannot make it allocate without bound.
bool CTessaronDoc::ElementCountUsable() const {
    return m_nElements >= limits::kMinElements && m_nElements <= limits::kMaxElements;
}

bool CTessaronDoc::GenerateData(bool computeSteps) {
    bool ok = false;
    if (m_nCreationMode == MODE_DIOPTERS) {
        ok = GenerateFromDiopters();
        if (ok && computeSteps) {
            m_dDioptersStep = DecimalStep(m_dDiopters);
            m_bDioptersStepValid = true;
        }
    } else if (m_nCreationMode == MODE_POLYNOMIAL) {
        ok = GenerateFromPolynomial();
        if (ok && computeSteps) {
            for (std::size_t j = 0; j < m_dCoeff.size(); ++j) {
                m_dCoeffStep[j] = DecimalStep(m_dCoeff[j]);
            }
            m_bCoeffStepValid = true;
        }
    }
    if (ok) {
        SetModifiedFlag();
    }
    UpdateAllViews(nullptr, HINT_FULL);
    return ok;
}

double CTessaronDoc::DistanceToCentre(int index) const {
    const double u = index - (m_nElements - 1) * 0.5;
    if (m_nCreationMode == MODE_POLYNOMIAL && !m_bUseAperture) {
        return u; // in element steps
    }
    // A single element is the centre itself; there is no spacing to scale by.
    if (m_nElements <= 1) {
        return 0.0;
    }
    // The aperture spans from the centre of the first element to that of the last one.
    return u * m_dAperture / (m_nElements - 1);
}

bool CTessaronDoc::GenerateFromDiopters() {
    const int n = m_nElements;
    if (!ElementCountUsable()) {
        GetPrompter().Message(IDS_CANT_GENERATE, MB_OK);
        return false;
    }
    std::vector<double> scratch(static_cast<std::size_t>(n), 0.0);
    double offset = 0.0;
    const double powerPerLength = m_dDiopters / m_dWaveLength;
    int i = n / 2;
    for (; i < n; ++i) {
        const double x = DistanceToCentre(i);
        // Phase of a thin lens, pi*D*x^2/lambda, in parts of PI.
        double value = std::pow(x, 2.0) * powerPerLength - offset;
        // A wave length of 0 (or an absurd power) gives no number; nothing sensible can
        // be folded from it.
        if (!std::isfinite(value) || !WrapPhase(i == n / 2, value, offset)) {
            break;
        }
        // The lens is mirror-symmetric around the centre.
        scratch[static_cast<std::size_t>(i)] = value;
        scratch[static_cast<std::size_t>(n - 1 - i)] = value;
    }
    if (i < n) {
        GetPrompter().Message(IDS_CANT_GENERATE, MB_OK);
        return false;
    }
    m_phase = std::move(scratch);
    return true;
}

bool CTessaronDoc::GenerateFromPolynomial() {
    const int n = m_nElements;
    if (!ElementCountUsable()) {
        GetPrompter().Message(IDS_CANT_GENERATE, MB_OK);
        return false;
    }
    const double pi = 4.0 * std::atan(1.0);
    const double invPi = 1.0 / pi;
    std::vector<double> scratch(static_cast<std::size_t>(n), 0.0);
    double offset = 0.0;
    const double a0 = m_dCoeff[0];
    const double a1 = m_dCoeff[1];
    const double a2 = m_dCoeff[2];
    const double a3 = m_dCoeff[3];
    int i = 0;
    for (; i < n; ++i) {
        const double x = DistanceToCentre(i);
        // The polynomial gives radians; dividing by PI gives parts of PI.
        double value =
            ((a2 * std::pow(x, 2.0) + a3 * std::pow(x, 3.0)) + a1 * x + a0) * invPi - offset;
        if (!std::isfinite(value) || !WrapPhase(i == 0, value, offset)) {
            break;
        }
        scratch[static_cast<std::size_t>(i)] = value;
    }
    if (i < n) {
        GetPrompter().Message(IDS_CANT_GENERATE, MB_OK);
        return false;
    }
    m_phase = std::move(scratch);
    return true;
}

bool CTessaronDoc::WrapPhase(bool firstElement, double& value, double& offset) const {
    const double low = m_dLowLimit;
    const double high = m_dHighLimit;
    const double v = value;
    if (!std::isfinite(v)) {
        return false;
    }
    // k counts the whole periods (of 2.0 parts of PI) taken off this value. It is kept in
    // floating point: a steep profile can need more periods than an int holds.
    double k = 0.0;
    bool towardsLow = false;
    if (v >= low) {
        if (m_bMinVoltage && v > low + 2.0) {
            towardsLow = true;
        } else if (v <= high) {
            return true; // inside the window: unchanged
        } else {
            towardsLow = true;
        }
    } else if (m_bMinVoltage) {
        towardsLow = true;
    } else {
        k = std::trunc((v - high) * 0.5); // brings the value up below the high limit
    }
    if (towardsLow) {
        const double q = (v - low) * 0.5;
        k = std::trunc(q);
        if (v < low && q != k) {
            k -= 1.0; // floor below the low limit
        }
    }
    if (!firstElement && m_bLimitJumps && std::fabs(k) > m_nMaxJumps) {
        k = k < 0.0 ? -static_cast<double>(m_nMaxJumps) : static_cast<double>(m_nMaxJumps);
    }
    const double folded = v - 2.0 * k;
    if (folded < low || folded > high) {
        return false;
    }
    value = folded;
    offset += 2.0 * k;
    return true;
}

double CTessaronDoc::DecimalStep(double x) {
    if (x == 0.0 || !std::isfinite(x)) {
        return 1.0;
    }
    double step = 1.0;
    bool refined = false;
    // The loop ends for every finite x: growing steps end at the first non-integral
    // quotient (or when the step would overflow), shrinking steps at the first integral
    // one (at the latest when the step underflows to 0, where the quotient is infinite).
    // The bound is only a guard.
    for (int guard = 0; guard < 4096; ++guard) {
        double integral = 0.0;
        const double fraction = std::modf(x / step, &integral);
        if (fraction == 0.0) {
            if (refined) {
                return step;
            }
            const double larger = step * 10.0;
            if (!std::isfinite(larger)) {
                return step;
            }
            step = larger;
        } else {
            step = step / 10.0;
            refined = true;
        }
    }
    return step;
}
