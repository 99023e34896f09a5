#pragma once

#include <QByteArray>

// Sets an environment variable (a null value unsets it) until the end of the scope, then puts
// back what was there before.
class ScopedEnvironment
{
public:
    ScopedEnvironment(const char *name, const QByteArray &value)
        : name(name), saved(qgetenv(name)), wasSet(qEnvironmentVariableIsSet(name))
    {
        set(value);
    }
    ~ScopedEnvironment() { set(wasSet ? saved : QByteArray()); }
    ScopedEnvironment(const ScopedEnvironment &) = delete;
    ScopedEnvironment &operator=(const ScopedEnvironment &) = delete;

private:
    void set(const QByteArray &value) const { value.isNull() ? qunsetenv(name) : qputenv(name, value); }

    const char *name;
    const QByteArray saved;
    const bool wasSet;
};
