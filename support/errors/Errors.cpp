#include "support/errors/Errors.h"

#include <cerrno>
#include <filesystem>
#include <new>
#include <system_error>

namespace tavrino {

const char* DefaultDescription(std::int32_t number) {
    switch (number) {
        case errnum::InvalidProcedureCall:
            return "Invalid procedure call or argument";
        case errnum::Overflow:
            return "Overflow";
        case errnum::OutOfMemory:
            return "Out of memory";
        case errnum::SubscriptOutOfRange:
            return "Subscript out of range";
        case errnum::DivisionByZero:
            return "Division by zero";
        case errnum::TypeMismatch:
            return "Type mismatch";
        case errnum::FileNotFound:
            return "File not found";
        case errnum::BadFileMode:
            return "Bad file mode";
        case errnum::DiskFull:
            return "Disk full";
        case errnum::InputPastEndOfFile:
            return "Input past end of file";
        case errnum::DeviceUnavailable:
            return "Device unavailable";
        case errnum::PermissionDenied:
            return "Permission denied";
        case errnum::PathFileAccessError:
            return "Path/File access error";
        case errnum::PathNotFound:
            return "Path not found";
        case errnum::InvalidPropertyValue:
            return "Invalid property value";
        case errnum::InvalidPicture:
            return "Invalid picture";
        case errnum::NetworkFailure:
            return "The vendor web site could not be reached";
        case errnum::DesktopRefused:
            return "The desktop did not accept the wallpaper";
        case errnum::SettingsUnreadable:
            return "The settings could not be read";
        case errnum::DisplayListDamaged:
            return "The display list file is damaged";
        case errnum::DisplayListFull:
            return "The display list is full";
        default:
            return "Application-defined or object-defined error";
    }
}

Error::Error(std::int32_t number) : Error(number, DefaultDescription(number)) {}

Error::Error(std::int32_t number, const std::string& description)
    : std::runtime_error(description), number_(number) {}

std::int32_t NumberForErrno(int code) {
    switch (code) {
        case ENOENT:
            return errnum::FileNotFound;
        case ENOTDIR:
            return errnum::PathNotFound;
        case EACCES:
        case EPERM:
        case EROFS:
            return errnum::PermissionDenied;
        case ENOSPC:
#ifdef EDQUOT
        case EDQUOT:
#endif
            return errnum::DiskFull;
        case ENODEV:
        case ENXIO:
        case EIO:
            return errnum::DeviceUnavailable;
        case ENOMEM:
            return errnum::OutOfMemory;
        case EDOM:
            return errnum::InvalidProcedureCall;
        case ERANGE:
        case EOVERFLOW:
            return errnum::Overflow;
        default:
            return errnum::PathFileAccessError;
    }
}

namespace {

ErrorInfo FromSystemError(const std::system_error& e) {
    const std::error_code& code = e.code();
    std::int32_t number = errnum::PathFileAccessError;
    if (code.category() == std::generic_category() || code.category() == std::system_category()) {
        number = NumberForErrno(code.default_error_condition().value());
    }
    return {number, std::string(DefaultDescription(number)) + ": " + e.what()};
}

}  // namespace

ErrorInfo DescribeException(const std::exception_ptr& error) {
    try {
        if (error) {
            std::rethrow_exception(error);
        }
        return {errnum::InvalidProcedureCall, DefaultDescription(errnum::InvalidProcedureCall)};
    } catch (const Error& e) {
        return {e.Number(), e.what()};
    } catch (const std::filesystem::filesystem_error& e) {
        return FromSystemError(e);
    } catch (const std::system_error& e) {
        return FromSystemError(e);
    } catch (const std::bad_alloc&) {
        return {errnum::OutOfMemory, DefaultDescription(errnum::OutOfMemory)};
    } catch (const std::out_of_range&) {
        return {errnum::SubscriptOutOfRange, DefaultDescription(errnum::SubscriptOutOfRange)};
    } catch (const std::overflow_error&) {
        return {errnum::Overflow, DefaultDescription(errnum::Overflow)};
    } catch (const std::invalid_argument&) {
        return {errnum::TypeMismatch, DefaultDescription(errnum::TypeMismatch)};
    } catch (const std::length_error&) {
        return {errnum::OutOfMemory, DefaultDescription(errnum::OutOfMemory)};
    } catch (const std::exception& e) {
        return {errnum::InvalidProcedureCall, e.what()};
    } catch (...) {
        return {errnum::InvalidProcedureCall, DefaultDescription(errnum::InvalidProcedureCall)};
    }
}

void ReportCurrentException(ErrorReporter& reporter, int location) noexcept {
    try {
        ErrorInfo info = DescribeException(std::current_exception());
        reporter.ShowErrorReport(location, info.number, info.description);
    } catch (
        ...) {  // NOLINT(bugprone-empty-catch): a failing report must not take the handler down
    }
}

}  // namespace tavrino
