// FFTW for the optical check: aligned buffers and one forward plan per transform length.
// Internal to the optics library.
#pragma once

#include <cstddef>
#include <fftw3.h>
#include <memory>

namespace optics::detail {

// A buffer of complex numbers with the alignment FFTW plans for.
class FftBuffer {
public:
    explicit FftBuffer(std::size_t length);
    fftw_complex* Data() { return m_data.get(); }
    std::size_t Length() const { return m_length; }

private:
    struct Free {
        void operator()(fftw_complex* p) const { fftw_free(p); }
    };
    std::unique_ptr<fftw_complex[], Free> m_data;
    std::size_t m_length;
};

// Transforms the first `length` points of the buffer in place (forward:
// exp(-2 PI i j k / length)). The plan for the length is made on first use and kept; planning
// is serialised by a lock because FFTW's planner is not thread-safe, while running a plan on
// one's own buffer is.
void TransformForward(FftBuffer& buffer, std::size_t length);

// A buffer of at least `length` points for the calling thread, kept from one call to the
// next up to a moderate size: a fresh buffer costs more in page faults than the transform.
FftBuffer& ThreadBuffer(std::size_t length);

} // namespace optics::detail
