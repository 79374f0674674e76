#include "platform/runtime_error.h"

#include <new>
#include <utility>

namespace tarvic {

RuntimeError::RuntimeError(int32_t number, QString description)
    : m_number(number)
    , m_description(std::move(description))
    , m_what(QStringLiteral("Error %1: %2").arg(number).arg(m_description).toStdString())
{
}

ErrObject& Err()
{
    static ErrObject pending;
    return pending;
}

void RaiseError(int32_t number, const QString& description)
{
    throw RuntimeError(number, description);
}

void recordCaughtError()
{
    try {
        throw;
    } catch (const RuntimeError& error) {
        Err().Number = error.number();
        Err().Description = error.description();
    } catch (const std::bad_alloc&) {
        Err().Number = kErrOutOfMemory;
        Err().Description = QStringLiteral("Out of memory");
    } catch (const std::exception& error) {
        Err().Number = kErrInternal;
        Err().Description = QString::fromLocal8Bit(error.what());
    } catch (...) {
        // Anything else thrown (not an exception class of ours or of the
        // standard library) is an error all the same.
        Err().Number = kErrInternal;
        Err().Description = QStringLiteral("Internal error");
    }
}

bool RunTrapped(const std::function<void()>& body, const std::function<void()>& onError)
{
    try {
        body();
        return true;
    } catch (...) {
        recordCaughtError();
    }
    if (onError)
        onError();
    return false;
}

}  // namespace tarvic
