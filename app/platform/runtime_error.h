// The runtime's error model: an error carries a number and a description.
//
// Platform calls that fail raise a RuntimeError (RaiseError). Each event
// handler of a window runs its body under one trap (RunTrapped): the trap
// records the error as the pending error (Err()) and hands control to the
// handler's error routine, which reads it. Errors of the C++ runtime are
// mapped onto the runtime's numbers (out of memory 7, anything else 51, with
// the exception's own text or, for a non-standard one, "Internal error").
#pragma once

#include <QString>

#include <cstdint>
#include <exception>
#include <functional>
#include <string>

namespace tarvic {

// Error numbers the program raises or looks for.
constexpr int32_t kErrOverflow = 6;
constexpr int32_t kErrOutOfMemory = 7;
constexpr int32_t kErrSubscript = 9;
constexpr int32_t kErrDivisionByZero = 11;
constexpr int32_t kErrInternal = 51;
constexpr int32_t kErrFileNotFound = 53;
constexpr int32_t kErrDllEntryPoint = 453;
constexpr int32_t kErrGridInvalidRow = 30009;
constexpr int32_t kErrGridInvalidCol = 30010;

class RuntimeError : public std::exception {
public:
    RuntimeError(int32_t number, QString description);
    int32_t number() const { return m_number; }
    const QString& description() const { return m_description; }
    const char* what() const noexcept override { return m_what.c_str(); }

private:
    int32_t m_number;
    QString m_description;
    std::string m_what;
};

// The pending error, as the failing statement left it.
struct ErrObject {
    int32_t Number = 0;
    QString Description;
    void Clear()
    {
        Number = 0;
        Description.clear();
    }
};

ErrObject& Err();

[[noreturn]] void RaiseError(int32_t number, const QString& description);

// Makes the exception being handled the pending error; call it only inside
// a catch block.
void recordCaughtError();

// Runs body. When it raises an error, the error becomes the pending error
// and onError runs (its own errors are not trapped). Returns true when body
// ran to its end.
bool RunTrapped(const std::function<void()>& body, const std::function<void()>& onError);

}  // namespace tarvic
