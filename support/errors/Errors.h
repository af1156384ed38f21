// The error model: every handler runs its body inside Guarded(), which turns any exception
// into ShowErrorReport(location, number, description) and ends the handler.
#pragma once

#include <cstdint>
#include <exception>
#include <stdexcept>
#include <string>
#include <utility>

#include "support/errors/ErrorCodes.h"

namespace tavrino {

// A failure with a stable number and a description of our own.
class Error : public std::runtime_error {
public:
    explicit Error(std::int32_t number);
    Error(std::int32_t number, const std::string& description);
    [[nodiscard]] std::int32_t Number() const noexcept { return number_; }

private:
    std::int32_t number_;
};

struct ErrorInfo {
    std::int32_t number = 0;
    std::string description;
};

// Maps the exception in flight (ours, std::system_error, std::filesystem errors,
// bad_alloc, out_of_range, ...) onto a number and a description.
ErrorInfo DescribeException(const std::exception_ptr& error);

// Maps an errno-style code from the C library or std::error_code.
std::int32_t NumberForErrno(int code);

// What core code reports through; the Qt side shows the error report dialog.
class ErrorReporter {
public:
    virtual ~ErrorReporter() = default;
    virtual void ShowErrorReport(int location, std::int32_t number,
                                 const std::string& description) = 0;

protected:
    ErrorReporter() = default;
    ErrorReporter(const ErrorReporter&) = default;
    ErrorReporter& operator=(const ErrorReporter&) = default;
};

// Reports the exception in flight. Must be called from a catch block.
void ReportCurrentException(ErrorReporter& reporter, int location) noexcept;

// Runs body; on any exception reports it under location and returns false (the handler ends).
template <class Body>
bool Guarded(ErrorReporter& reporter, int location, Body&& body) noexcept {
    try {
        std::forward<Body>(body)();
        return true;
    } catch (...) {
        ReportCurrentException(reporter, location);
        return false;
    }
}

// The "skip the failing statement and go on" form: used only where errors are ignored
// by design (the update check during start-up, the folder-change handlers, report sending).
template <class Statement>
void IgnoringErrors(Statement&& statement) noexcept {
    try {
        std::forward<Statement>(statement)();
    } catch (...) {  // NOLINT(bugprone-empty-catch): ignoring is the point here
    }
}

}  // namespace tavrino
