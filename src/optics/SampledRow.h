// A field over the row of stripes, sampled finely, and the sums and transforms of it that the
// optical check needs. Internal to the optics library.
#pragma once

#include <complex>
#include <cstddef>
#include <vector>

namespace optics::detail {

// The field h(x) at the midpoints x_n = x0 + n*dx of equal cells, `perElement` cells per stripe,
// stored as real and imaginary parts. A midpoint never lies on a stripe's edge, so each sample
// belongs to exactly one element.
class SampledRow {
public:
    SampledRow(int elements, int perElement, double pitch);

    std::size_t Size() const { return m_re.size(); }
    int PerElement() const { return m_perElement; }
    double X(std::size_t n) const { return m_x0 + static_cast<double>(n) * m_dx; }
    double Dx() const { return m_dx; }
    // h_n = exp(-i phase)
    void SetPhase(std::size_t n, double phase);

    // |sum h_n exp(i(alpha x_n^2 - 2 PI nu x_n))|^2 / Size()^2: the intensity at spatial
    // frequency nu (1/m), with an extra quadratic phase alpha (rad/m^2) for a plane out of
    // focus. 1 for a uniform field at nu = 0.
    double Intensity(double nu, double alpha = 0.0) const;
    // sum h_n conj(g_n) / Size(), for two rows of the same sampling.
    std::complex<double> Overlap(const SampledRow& other) const;
    // Intensity on the grid nu_k = k / (length * dx), by one FFT of the field zero-padded to
    // `length` (>= Size()), into `power`: entry k holds bin k, negative frequencies in the
    // upper half.
    void Spectrum(std::size_t length, std::vector<double>& power) const;

private:
    int m_perElement;
    double m_x0;
    double m_dx;
    std::vector<double> m_re;
    std::vector<double> m_im;
};

} // namespace optics::detail
