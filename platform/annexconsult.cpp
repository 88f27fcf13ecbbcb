#include "platform/annexconsult.h"

#include "platform/clock.h"
#include "platform/registry.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QThread>

namespace stb::annex {

namespace {

QString g_pasta;

const QString kChaveHandles = QStringLiteral("\\Software\\Orvant\\Handles\\");
constexpr int kPollMs = 200;
constexpr int kStartTimeoutMs = 15000;

QString programa()
{
    const QDir dir(pastaPrograma());
    for (const char *name : {"Brelva", "Brelva.exe"}) {
        const QString path = dir.filePath(QLatin1String(name));
        if (QFileInfo(path).isExecutable())
            return path;
    }
    return {};
}

} // namespace

void setPastaPrograma(const QString &folder) { g_pasta = folder; }

QString pastaPrograma() { return g_pasta.isEmpty() ? QCoreApplication::applicationDirPath() : g_pasta; }

qint64 JanelaBrelva()
{
    const auto h = Registry::readIntegerAnyRoot(kChaveHandles, nomeJanela());
    return h && IsWindow(*h) ? *h : 0;
}

qint64 OpenAnnexConsult(const QString &appDir)
{
    if (const qint64 h = JanelaBrelva())
        return h;
    const QString exe = programa();
    if (exe.isEmpty())
        return 0;
    QString dir = QDir::toNativeSeparators(appDir);
    if (!dir.isEmpty() && !dir.endsWith(QDir::separator()))
        dir += QDir::separator();
    const QStringList args {QStringLiteral("/minimize"), QStringLiteral("/AppDir:\"%1\"").arg(dir)};
    if (!QProcess::startDetached(exe, args))
        return 0;
    QDeadlineTimer deadline(kStartTimeoutMs);
    while (!deadline.hasExpired()) {
        waitRepainting(kPollMs);
        if (const qint64 h = JanelaBrelva())
            return h;
    }
    return 0;
}

bool PedeConsulta(const QString &appDir, int kind)
{
    const qint64 h = OpenAnnexConsult(appDir);
    return h != 0 && PostMessage(h, MsgPedido, 0, kind);
}

bool CloseAnnexConsult(int esperas)
{
    const qint64 h = JanelaBrelva();
    if (h == 0)
        return true;
    PostMessage(h, MsgFecha, 0, 0);
    for (int i = 0; i < esperas; ++i) {
        // One second per step, looked at every tenth of it.
        for (int k = 0; k < 10; ++k) {
            waitRepainting(100);
            if (!IsWindow(h))
                return true;
        }
    }
    return false;
}

} // namespace stb::annex
