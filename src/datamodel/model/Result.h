#pragma once

#include <QString>

#include <optional>
#include <utility>

// Why an operation failed: a code the caller can act on, the message shown to a user
// (errorString) and, apart from it, the raw cause in the words of whatever failed underneath
// (errorText: SQLite's text, the compiler core's message), for the log.
struct Failure
{
    int code = 0;
    QString errorString;
    QString errorText;

    // The message and its cause in one line, for a user who has no log at hand.
    QString describe() const
    {
        return errorText.isEmpty() ? errorString : errorString + QStringLiteral(": ") + errorText;
    }
};

// The outcome of an operation that can fail: a value or a Failure. Converts from either, so
// that a function returns its value or `Failure{code, message, cause}`.
template <typename T>
class Result
{
public:
    Result(T value) : m_value(std::move(value)) {}
    Result(Failure failure) : m_failure(std::move(failure)) {}

    bool ok() const { return m_value.has_value(); }
    explicit operator bool() const { return ok(); }
    T& value() { return *m_value; }
    const T& value() const { return *m_value; }
    T* operator->() { return &*m_value; }
    const T* operator->() const { return &*m_value; }
    // Moves the value out; the result is empty afterwards.
    T take() { return std::move(*m_value); }

    const Failure& failure() const { return m_failure; }
    int error() const { return m_failure.code; }
    const QString& errorString() const { return m_failure.errorString; }
    const QString& errorText() const { return m_failure.errorText; }

private:
    std::optional<T> m_value;
    Failure m_failure;
};

// An operation without a value: success, or a Failure.
template <>
class Result<void>
{
public:
    Result() = default;
    Result(Failure failure) : m_ok(false), m_failure(std::move(failure)) {}

    bool ok() const { return m_ok; }
    explicit operator bool() const { return m_ok; }

    const Failure& failure() const { return m_failure; }
    int error() const { return m_failure.code; }
    const QString& errorString() const { return m_failure.errorString; }
    const QString& errorText() const { return m_failure.errorText; }

private:
    bool m_ok = true;
    Failure m_failure;
};
