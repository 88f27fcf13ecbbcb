#include "core/settings.h"

#include <QDir>

namespace stb {

Settings &Settings::instance()
{
    static Settings s;
    return s;
}

void Settings::open(const QString &appDir, const QString &dataDir)
{
    m_sistema = std::make_unique<IniFile>(QDir(appDir).filePath(QStringLiteral("STBrelva.ini")));
    m_local2 = std::make_unique<IniFile>(QDir(appDir).filePath(QStringLiteral("STBrelva2.ini")));
    m_dados = std::make_unique<IniFile>(QDir(dataDir).filePath(QStringLiteral("STBrelva3.ini")));
}

IniFile &Settings::iniSistema()
{
    if (!m_sistema)
        m_sistema = std::make_unique<IniFile>(QString());
    return *m_sistema;
}

IniFile &Settings::iniLocal2()
{
    if (!m_local2)
        m_local2 = std::make_unique<IniFile>(QString());
    return *m_local2;
}

IniFile &Settings::iniDados()
{
    if (!m_dados)
        m_dados = std::make_unique<IniFile>(QString());
    return *m_dados;
}

int Settings::mrNormal() { return iniSistema().readInteger(QStringLiteral("Sistema"), QStringLiteral("MRNormal"), 50); }
int Settings::mrEmDobro() { return iniSistema().readInteger(QStringLiteral("Sistema"), QStringLiteral("MREmDobro"), 100); }
int Settings::mrReducao() { return iniSistema().readInteger(QStringLiteral("Sistema"), QStringLiteral("MRReducao"), 20); }

} // namespace stb
