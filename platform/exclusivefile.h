// Whether a file is in use by another program: the updaters keep their log
// open with an exclusive lock while they run.
#pragma once

#include <QString>

namespace stb {

// True when the file can be opened for exclusive use now (nobody holds a
// lock on it); the file is closed again at once. False when it is missing or
// cannot be opened.
bool podeAbrirExclusivo(const QString &path);

// Holds an exclusive lock on a file while it lives (what an updater does with
// its log); isHeld() is false when another holder has it.
class ArquivoExclusivo {
public:
    explicit ArquivoExclusivo(const QString &path);
    ~ArquivoExclusivo();
    ArquivoExclusivo(const ArquivoExclusivo &) = delete;
    ArquivoExclusivo &operator=(const ArquivoExclusivo &) = delete;
    bool isHeld() const { return m_fd >= 0; }

private:
    int m_fd = -1;
};

} // namespace stb
