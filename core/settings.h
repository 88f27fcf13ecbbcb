// The program's settings: the three configuration files and their typed keys.
#pragma once

#include "platform/inifile.h"

#include <QString>
#include <memory>

namespace stb {

class Settings {
public:
    // The process's settings, opened at start (empty files until then).
    static Settings &instance();

    // Opens the three files: STBrelva.ini and STBrelva2.ini in `appDir`,
    // STBrelva3.ini in `dataDir`.
    void open(const QString &appDir, const QString &dataDir);
    IniFile &iniSistema();
    IniFile &iniLocal2();
    IniFile &iniDados();

    // Section "Sistema" of STBrelva.ini: revalidation fine percents.
    int mrNormal();
    int mrEmDobro();
    int mrReducao();

private:
    std::unique_ptr<IniFile> m_sistema, m_local2, m_dados;
};

} // namespace stb
