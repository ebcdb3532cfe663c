#pragma once

#include <QByteArray>
#include <QtGlobal>

namespace pistel::test {

// Sets (or unsets) an environment variable for as long as it lives, and gives back what was
// there before, even when the test fails meanwhile.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const QByteArray& value) : ScopedEnv(name) { qputenv(name, value); }
    explicit ScopedEnv(const char* name)
        : name_(name), had_(qEnvironmentVariableIsSet(name)), old_(qgetenv(name)) {
        qunsetenv(name);
    }
    ~ScopedEnv() {
        if (had_)
            qputenv(name_, old_);
        else
            qunsetenv(name_);
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    const char* name_;
    bool had_;
    QByteArray old_;
};

} // namespace pistel::test
