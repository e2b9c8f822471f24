// The runtime error: a number, a description and a source, as raised by
// Err.Raise and by the runtime itself.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace vb {

class VbError : public std::runtime_error {
public:
    VbError(int32_t number, std::string description, std::string source = {});
    int32_t Number() const { return number_; }
    const std::string& Description() const { return description_; }
    const std::string& Source() const { return source_; }

private:
    int32_t number_;
    std::string description_;
    std::string source_;
};

// Numbers of the runtime's own errors that the program raises or meets.
enum : int32_t {
    errInvalidProcedureCall = 5,     // "Invalid procedure call or argument"
    errOverflow = 6,                 // "Overflow"
    errSubscriptOutOfRange = 9,      // "Subscript out of range"
    errDivisionByZero = 11,          // "Division by zero"
    errTypeMismatch = 13,            // "Type mismatch"
    errFileNotFound = 53,            // "File not found"
    errBadFileMode = 54,             // "Bad file mode"
    errFileAlreadyOpen = 55,         // "File already open"
    errDeviceIO = 57,                // "Device I/O error"
    errBadRecordLength = 59,         // "Bad record length"
    errPermissionDenied = 70,        // "Permission denied"
    errPathNotFound = 76,            // "Path not found"
    errObjectNotSet = 91,            // "Object variable or With block variable not set"
    errInvalidUseOfNull = 94,        // "Invalid use of Null"
    errNotSupported = 438,           // "Object doesn't support this property or method"
    errCancel = 32755,               // a cancelled common dialog
};

// The runtime's standard description of one of its own error numbers.
std::string StandardErrorDescription(int32_t number);

// Raises a runtime error with the standard description of its number.
[[noreturn]] void RaiseError(int32_t number, const std::string& source = {});

}  // namespace vb
