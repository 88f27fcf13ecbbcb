// A named mutex across the processes of one user: held while the holder
// lives, released by the system when the process ends (also when killed).
#pragma once

#include <QString>

namespace stb {

class NamedMutex {
public:
    explicit NamedMutex(const QString &name);
    ~NamedMutex();
    NamedMutex(const NamedMutex &) = delete;
    NamedMutex &operator=(const NamedMutex &) = delete;

    // True when this process now holds it; false when another process does.
    bool acquire();
    bool isHeld() const { return m_fd >= 0; }
    void release();

    // Folder of the lock files (the user's runtime folder).
    static QString folder();

private:
    QString m_path;
    int m_fd = -1;
};

} // namespace stb
