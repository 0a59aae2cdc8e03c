#pragma once
// Numbered error conditions: every failure the program reports carries one of
// the classic run-time error numbers and a description, so a procedure either
// traps it and shows its own message or lets it pass to its caller.
#include <QString>
#include <exception>
#include <string>

namespace vb {

enum ErrorNumber : int {
    ErrInvalidCall = 5,
    ErrOverflow = 6,
    ErrOutOfMemory = 7,
    ErrSubscript = 9,
    ErrTypeMismatch = 13,
    ErrOutOfStack = 28,
    ErrDllLoad = 48,
    ErrInternal = 51,
    ErrBadFileName = 52,
    ErrFileNotFound = 53,
    ErrDeviceIO = 57,
    ErrInputPastEnd = 62,
    ErrDeviceUnavailable = 68,
    ErrPathFileAccess = 75,
    ErrPathNotFound = 76,
    ErrInvalidPropertyValue = 380,
    ErrEntryPoint = 453,
    ErrInvalidPicture = 481,
};

class Error : public std::exception {
public:
    explicit Error(int number, QString description = {});
    int number() const noexcept { return m_number; }
    const QString &description() const noexcept { return m_description; }
    const char *what() const noexcept override { return m_what.c_str(); }

    // The run-time's own wording for a number, used when a raiser gives none.
    static QString standardDescription(int number);

private:
    int m_number;
    QString m_description;
    std::string m_what;
};

[[noreturn]] void raise(int number, const QString &description = {});

// The exception being handled, as a numbered error: an Error as it is, out of
// memory as 7, anything else as 51. Call only inside a catch block.
Error currentError() noexcept;

} // namespace vb
