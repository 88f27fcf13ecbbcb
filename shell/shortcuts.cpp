#include "shell/shortcuts.h"

#include "core/edition.h"
#include "core/messages.h"
#include "core/settings.h"
#include "platform/shortcuts.h"
#include "shell/appglobals.h"

#include <QFileInfo>

namespace stb {

namespace {

struct Atalho {
    const char *link;
    const char *target;
    const char *args;
};

constexpr Atalho kAtalhos[] = {
    {"STBrelva.lnk", "STBrelva.exe", ""},
    {"Tabela Brelva.lnk", "STBrelva.exe", "/Brelva"},
    {"Regimes Especiais.lnk", "STBrelva.exe", "/RegEsp"},
    {"Ajuda STBrelva.lnk", "STBrelva.html", ""},
    {"Retenção de Mercadorias.lnk", "STBrelva.exe", "/ARM"},
    {"STFerramentas.lnk", "STFerramentas.exe", ""},
};

QString linkName(const Atalho &a) { return QString::fromUtf8(a.link); }

bool escreve(const QString &folder, const Atalho &a, const QStringList &extra = {})
{
    QStringList args = extra;
    if (*a.args)
        args.prepend(QString::fromLatin1(a.args));
    return writeShortcut(folder, linkName(a), alvoAtalho(QString::fromLatin1(a.target)), args, App().AppDir);
}

} // namespace

QString alvoAtalho(const QString &file)
{
    const QString path = App().AppDir + file;
    if (file.endsWith(QLatin1String(".exe"), Qt::CaseInsensitive)) {
        const QString bare = path.left(path.size() - 4);
        if (QFileInfo::exists(bare) || !QFileInfo::exists(path))
            return bare;
    }
    return path;
}

void criaAtalhos(AtalhoInicializacao inicializacao)
{
    Settings &s = Settings::instance();
    bool allUsers = s.LinkAllUsers();
    QString programs = s.shellFolder(allUsers ? QStringLiteral("Common Programs") : QStringLiteral("Programs"));
    if (allUsers) {
        // Probe the all-users folder before writing into it.
        const bool ok = writeShortcut(programs, QStringLiteral("Teste.lnk"), App().AppDir)
            && removeShortcut(programs, QStringLiteral("Teste.lnk"));
        if (!ok) {
            MsgAviso(
                QStringLiteral("Atenção: Não é possível adicionar os atalhos para todos os usuários deste computador.\r"
                               "Os outros usuários deverão acessar o sistema ST/Brelva pelo seguinte caminho:\r")
                + App().AppDir + QStringLiteral("\r") + QStringLiteral("e executar o aplicativo STBrelva.exe."));
            allUsers = false;
            programs = s.shellFolder(QStringLiteral("Programs"));
        }
    }
    const QString desktop = s.shellFolder(allUsers ? QStringLiteral("Common Desktop") : QStringLiteral("Desktop"));
    const QString startup = s.shellFolder(allUsers ? QStringLiteral("Common Startup") : QStringLiteral("Startup"));
    const QString menu = programs + QStringLiteral("/STBrelva");
    const bool arm = !Contribuinte && s.ExecARM();
    for (const Atalho &a : kAtalhos) {
        removeShortcut(menu, linkName(a));
        const QString link = linkName(a);
        if (link.startsWith(QLatin1String("Retenção")) && !arm)
            continue;
        if (Contribuinte
            && (link.startsWith(QLatin1String("Regimes")) || link.startsWith(QLatin1String("STFerramentas"))))
            continue;
        escreve(menu, a);
    }
    removeShortcut(desktop, linkName(kAtalhos[0]));
    removeShortcut(desktop, linkName(kAtalhos[4]));
    if (s.link1())
        escreve(desktop, kAtalhos[0]);
    if (s.link2() && arm)
        escreve(desktop, kAtalhos[4]);
    if (inicializacao != AtalhoInicializacao::Manter)
        removeShortcut(startup, linkName(kAtalhos[0]));
    if (inicializacao == AtalhoInicializacao::Criar)
        escreve(startup, kAtalhos[0], {QStringLiteral("/minimize")});
    if (allUsers)
        s.setLinkEx(false);
    s.setRegistroLink(QStringLiteral("Link.1"), s.link1());
    s.setRegistroLink(QStringLiteral("Link.2"), s.link2());
}

void removeAtalhoARM()
{
    Settings &s = Settings::instance();
    const QString link = linkName(kAtalhos[4]);
    for (const char *root : {"Programs", "Common Programs"})
        removeShortcut(s.shellFolder(QLatin1String(root)) + QStringLiteral("/STBrelva"), link);
    for (const char *root : {"Desktop", "Common Desktop"})
        removeShortcut(s.shellFolder(QLatin1String(root)), link);
}

} // namespace stb
