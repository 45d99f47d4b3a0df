// The outcome of a calibration step: a value, or the message that says why there is none.
// Every refusal of the calibration code carries a complete sentence for the person, naming
// the line of the file or the figure that caused it.
#pragma once

#include <optional>
#include <string>
#include <utility>

namespace calibration {

// Tag type for a refusal, so that Result<std::string> stays unambiguous.
struct Refusal {
    std::string message;
};

inline Refusal Refuse(std::string message) {
    return Refusal{std::move(message)};
}

// The value of a step that only succeeds or fails.
struct Done {};

template <typename T> class Result {
public:
    Result(T value) : m_value(std::move(value)) {}
    Result(Refusal refusal) : m_message(std::move(refusal.message)) {}

    bool Ok() const { return m_value.has_value(); }
    explicit operator bool() const { return Ok(); }

    // The value; only when Ok().
    T& Value() { return *m_value; }
    const T& Value() const { return *m_value; }
    T* operator->() { return &*m_value; }
    const T* operator->() const { return &*m_value; }
    T& operator*() { return *m_value; }
    const T& operator*() const { return *m_value; }

    // Why there is no value; empty when Ok().
    const std::string& Message() const { return m_message; }

private:
    std::optional<T> m_value;
    std::string m_message;
};

} // namespace calibration
