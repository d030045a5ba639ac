// The outcome of a platform call: success, or the errno value of the failure
// with the system's text for it, so that the step that fails can name the
// reason in its message without asking anyone else.
#pragma once

#include <string>
#include <utility>

namespace tarvel {

class CStatus {
public:
    // Success.
    CStatus() = default;

    static CStatus Ok() { return CStatus(); }
    // A failure with errno value `number` and the system's text for it.
    static CStatus Error(int number);
    // A failure with errno value `number` told in the system's own `text`
    // (on Windows, what the system says of its own error code).
    static CStatus Error(int number, std::string text) { return CStatus(number, std::move(text)); }
    // A failure because the name is no regular file (a directory, FIFO,
    // device or socket where a file was wanted).
    static CStatus NotRegular() { return CStatus(kNotRegular, "not a regular file"); }

    bool ok() const { return m_nNumber == 0; }
    explicit operator bool() const { return ok(); }
    bool IsNotRegular() const { return m_nNumber == kNotRegular; }
    // The errno value of the failure; 0 on success, kNotRegular for NotRegular().
    int Number() const { return m_nNumber; }
    // The system's text for the failure; "" on success.
    const std::string& Text() const { return m_strText; }

    // Number() of a status made by NotRegular(); no errno value is negative.
    static constexpr int kNotRegular = -1;

private:
    CStatus(int number, std::string text) : m_nNumber(number), m_strText(std::move(text)) {}

    int m_nNumber = 0;
    std::string m_strText;
};

}  // namespace tarvel
