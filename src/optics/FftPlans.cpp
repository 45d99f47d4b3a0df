#include "optics/FftPlans.h"

#include <map>
#include <mutex>
#include <new>
#include <stdexcept>

namespace optics::detail {

namespace {

// The plans made so far, by length; destroyed at exit.
class PlanCache {
public:
    ~PlanCache() {
        std::lock_guard lock(m_mutex);
        for (auto& [length, plan] : m_plans) {
            fftw_destroy_plan(plan);
        }
    }

    fftw_plan Forward(std::size_t length) {
        std::lock_guard lock(m_mutex);
        auto found = m_plans.find(length);
        if (found != m_plans.end()) {
            return found->second;
        }
        // FFTW_ESTIMATE plans without running trial transforms, so the scratch buffer's
        // contents do not matter and planning a new length costs microseconds.
        FftBuffer scratch(length);
        fftw_plan plan = fftw_plan_dft_1d(static_cast<int>(length), scratch.Data(), scratch.Data(),
                                          FFTW_FORWARD, FFTW_ESTIMATE);
        if (plan == nullptr) {
            throw std::bad_alloc();
        }
        m_plans.emplace(length, plan);
        return plan;
    }

private:
    std::mutex m_mutex;
    std::map<std::size_t, fftw_plan> m_plans;
};

PlanCache& Plans() {
    static PlanCache cache;
    return cache;
}

} // namespace

FftBuffer::FftBuffer(std::size_t length) : m_data(fftw_alloc_complex(length)), m_length(length) {
    if (!m_data) {
        throw std::bad_alloc();
    }
}

void TransformForward(FftBuffer& buffer, std::size_t length) {
    if (length > buffer.Length()) {
        throw std::length_error("transform longer than its buffer");
    }
    fftw_plan plan = Plans().Forward(length);
    // Every buffer comes from fftw_alloc_complex, so it has the alignment the plan was made
    // for, and the plan is in place like the call.
    fftw_execute_dft(plan, buffer.Data(), buffer.Data());
}

FftBuffer& ThreadBuffer(std::size_t length) {
    // Larger buffers (only rows sampled very finely need them) are not kept.
    constexpr std::size_t kKeptLength = std::size_t{1} << 16;
    thread_local std::unique_ptr<FftBuffer> kept;
    thread_local std::unique_ptr<FftBuffer> large;
    large.reset();
    std::unique_ptr<FftBuffer>& slot = length <= kKeptLength ? kept : large;
    if (!slot || slot->Length() < length) {
        slot = std::make_unique<FftBuffer>(length <= kKeptLength ? kKeptLength : length);
    }
    return *slot;
}

} // namespace optics::detail
