#include "optics/SampledRow.h"

#include "optics/FftPlans.h"

#include <cmath>
#include <numbers>

namespace optics::detail {

SampledRow::SampledRow(int elements, int perElement, double pitch)
    : m_perElement(perElement), m_x0(-0.5 * elements * pitch + 0.5 * pitch / perElement),
      m_dx(pitch / perElement),
      m_re(static_cast<std::size_t>(elements) * static_cast<std::size_t>(perElement), 1.0),
      m_im(m_re.size(), 0.0) {}

void SampledRow::SetPhase(std::size_t n, double phase) {
    m_re[n] = std::cos(phase);
    m_im[n] = -std::sin(phase);
}

namespace {

// sum re_n, im_n times exp(i(a n^2 + b n + c)) over n < count. Four interleaved phasor chains
// (n = 4m + k) step by exact recurrences, so the sum needs no sine per sample and the chains
// do not wait on each other; without a quadratic part the step of each chain stays fixed.
template <bool Quadratic>
std::complex<double> PhaseSum(const double* re, const double* im, std::size_t count, double a,
                              double b, double c) {
    constexpr int kChains = 4;
    double wr[kChains], wi[kChains], rr[kChains], ri[kChains];
    double sr[kChains] = {}, si[kChains] = {};
    for (int k = 0; k < kChains; ++k) {
        const double start = a * k * k + b * k + c;
        const double step = a * (2 * kChains * k + kChains * kChains) + b * kChains;
        wr[k] = std::cos(start);
        wi[k] = std::sin(start);
        rr[k] = std::cos(step);
        ri[k] = std::sin(step);
    }
    const double qr = std::cos(2.0 * kChains * kChains * a);
    const double qi = std::sin(2.0 * kChains * kChains * a);
    const std::size_t whole = count - count % kChains;
    for (std::size_t base = 0; base < whole; base += kChains) {
        for (int k = 0; k < kChains; ++k) {
            const double hr = re[base + k];
            const double hi = im[base + k];
            sr[k] += hr * wr[k] - hi * wi[k];
            si[k] += hr * wi[k] + hi * wr[k];
            const double nr = wr[k] * rr[k] - wi[k] * ri[k];
            wi[k] = wr[k] * ri[k] + wi[k] * rr[k];
            wr[k] = nr;
            if constexpr (Quadratic) {
                const double mr = rr[k] * qr - ri[k] * qi;
                ri[k] = rr[k] * qi + ri[k] * qr;
                rr[k] = mr;
            }
        }
    }
    std::complex<double> total(sr[0] + sr[1] + sr[2] + sr[3], si[0] + si[1] + si[2] + si[3]);
    for (std::size_t j = whole; j < count; ++j) {
        const double n = static_cast<double>(j);
        total += std::complex<double>(re[j], im[j]) * std::polar(1.0, a * n * n + b * n + c);
    }
    return total;
}

} // namespace

double SampledRow::Intensity(double nu, double alpha) const {
    // The phase at sample n is alpha (x0 + n dx)^2 - 2 PI nu (x0 + n dx) = a n^2 + b n + c.
    const double a = alpha * m_dx * m_dx;
    const double b = 2.0 * alpha * m_x0 * m_dx - 2.0 * std::numbers::pi * nu * m_dx;
    const double c = alpha * m_x0 * m_x0 - 2.0 * std::numbers::pi * nu * m_x0;
    const std::complex<double> sum =
        alpha == 0.0 ? PhaseSum<false>(m_re.data(), m_im.data(), Size(), a, b, c)
                     : PhaseSum<true>(m_re.data(), m_im.data(), Size(), a, b, c);
    const double count = static_cast<double>(Size());
    return std::norm(sum) / (count * count);
}

std::complex<double> SampledRow::Overlap(const SampledRow& other) const {
    double re = 0.0;
    double im = 0.0;
    for (std::size_t n = 0; n < Size(); ++n) {
        re += m_re[n] * other.m_re[n] + m_im[n] * other.m_im[n];
        im += m_im[n] * other.m_re[n] - m_re[n] * other.m_im[n];
    }
    const double count = static_cast<double>(Size());
    return {re / count, im / count};
}

void SampledRow::Spectrum(std::size_t length, std::vector<double>& power) const {
    FftBuffer& buffer = ThreadBuffer(length);
    fftw_complex* data = buffer.Data();
    for (std::size_t n = 0; n < length; ++n) {
        data[n][0] = n < Size() ? m_re[n] : 0.0;
        data[n][1] = n < Size() ? m_im[n] : 0.0;
    }
    TransformForward(buffer, length);
    const double count = static_cast<double>(Size());
    const double scale = 1.0 / (count * count);
    power.resize(length);
    for (std::size_t k = 0; k < length; ++k) {
        power[k] = (data[k][0] * data[k][0] + data[k][1] * data[k][1]) * scale;
    }
}

} // namespace optics::detail
