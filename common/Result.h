#pragma once

#include <QString>

#include <functional>
#include <optional>
#include <utility>

// How the core reports failure: an operation returns its value or the message that says why
// there is none. The message is whole and in the interface's language, ready for a "提示" box,
// an error line or standard error; callers add context, never re-word it.
//
//     Result<QByteArray> r = readAll(path);
//     if (!r) return fail(r.error());
//     use(r.value());
struct Failure
{
    QString message;
};

inline Failure fail(QString message)
{
    return Failure{std::move(message)};
}

template <typename T>
class [[nodiscard]] Result
{
public:
    Result(T value) : m_value(std::move(value)) {}
    Result(Failure failure) : m_error(std::move(failure.message)) {}

    bool ok() const { return m_value.has_value(); }
    explicit operator bool() const { return ok(); }

    // The value of a success. Reading one from a failure is a fault of the caller, in release
    // builds too: it stops the program with the failure's message instead of going on with
    // nothing.
    const T &value() const & { return checked(); }
    T &value() & { return checked(); }
    T &&value() && { return std::move(checked()); }
    const T &operator*() const & { return checked(); }
    const T *operator->() const { return &checked(); }
    T valueOr(T fallback) const { return ok() ? *m_value : std::move(fallback); }

    // Empty on success.
    const QString &error() const { return m_error; }

private:
    const T &checked() const
    {
        if (Q_UNLIKELY(!m_value))
            qFatal("Result::value() of a failure: %s", qUtf8Printable(m_error));
        return *m_value;
    }
    T &checked() { return const_cast<T &>(static_cast<const Result *>(this)->checked()); }

    std::optional<T> m_value;
    QString m_error;
};

// An operation with nothing to return but success or its failure.
class [[nodiscard]] Status
{
public:
    Status() = default;
    Status(Failure failure) : m_failed(true), m_error(std::move(failure.message)) {}

    bool ok() const { return !m_failed; }
    explicit operator bool() const { return ok(); }
    const QString &error() const { return m_error; }

private:
    bool m_failed = false;
    QString m_error;
};

// Where bytes go a piece at a time (a file being written, a stream being compressed): each call
// takes one piece and says whether it went.
using ByteSink = std::function<Status(const char *data, qint64 length)>;
