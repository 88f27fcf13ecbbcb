#include "platform/db/filereplace.h"

#include "platform/db/faultpoint.h"
#include "platform/db/filelock.h"
#include "platform/db/tablemeta.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <filesystem>
#include <system_error>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace stb::db {

namespace {

std::filesystem::path fsPath(const QString &s)
{
#ifdef Q_OS_WIN
    return std::filesystem::path(s.toStdWString());
#else
    return std::filesystem::path(QFile::encodeName(s).toStdString());
#endif
}

[[noreturn]] void fail(const QString &what, const QString &path, const QString &table)
{
    throw EngineError(Err::ReadOnly, QStringLiteral("Não foi possível %1 o arquivo %2").arg(what, path), table);
}

// Renames over an existing file in one step (QFile::rename refuses to).
void renameOver(const QString &from, const QString &to, const QString &table)
{
    std::error_code ec;
    std::filesystem::rename(fsPath(from), fsPath(to), ec);
    if (ec)
        fail(QStringLiteral("substituir"), to, table);
}

// Gives `from` a second name `to`: a hard link where the file system has
// them, else a complete copy put in place by a rename.
void keepSecondName(const QString &from, const QString &to, const QString &table)
{
    std::error_code ec;
    std::filesystem::create_hard_link(fsPath(from), fsPath(to), ec);
    if (!ec)
        return;
    const QString part = to + QStringLiteral(".part");
    QFile::remove(part);
    if (!QFile::copy(from, part)) {
        QFile::remove(part);
        fail(QStringLiteral("copiar"), from, table);
    }
    {
        QFile f(part);
        if (f.open(QIODevice::ReadWrite)) {
#ifndef Q_OS_WIN
            ::fsync(f.handle());
#endif
        }
    }
    renameOver(part, to, table);
}

bool existsNoCase(const QDir &dir, const QStringList &entries, const QString &name)
{
    for (const QString &e : entries)
        if (e.compare(name, Qt::CaseInsensitive) == 0)
            return true;
    (void)dir;
    return false;
}

} // namespace

void syncDirectory(const QString &dir)
{
#ifndef Q_OS_WIN
    const int fd = ::open(QFile::encodeName(dir).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
#else
    (void)dir; // NTFS journals its metadata
#endif
}

QString intentPath(const QString &datPath)
{
    const QFileInfo fi(datPath);
    return fi.absoluteDir().filePath(fi.completeBaseName() + QStringLiteral(".rpl"));
}

void writeIntent(const QString &datPath, const ReplaceIntent &intent)
{
    QJsonObject o;
    o[QStringLiteral("tmp")] = intent.tmpName;
    o[QStringLiteral("backup")] = intent.backupBase;
    o[QStringLiteral("version")] = intent.version;
    o[QStringLiteral("definition")] = QString::fromUtf8(definitionJson(intent.def));
    const QString path = intentPath(datPath);
    QSaveFile f(path); // synced to the disk before it takes the name
    if (!f.open(QIODevice::WriteOnly) || f.write(QJsonDocument(o).toJson(QJsonDocument::Compact)) < 0 || !f.commit())
        fail(QStringLiteral("gravar"), path, intent.def.name);
    syncDirectory(QFileInfo(path).absolutePath());
}

bool readIntent(const QString &path, ReplaceIntent &intent)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly) || f.size() > 1 << 20)
        return false;
    const QJsonDocument doc = QJsonDocument::fromJson(f.readAll());
    if (!doc.isObject())
        return false;
    const QJsonObject o = doc.object();
    intent.tmpName = o.value(QStringLiteral("tmp")).toString();
    intent.backupBase = o.value(QStringLiteral("backup")).toString();
    intent.version = o.value(QStringLiteral("version")).toString();
    // Names only, never paths: a record cannot make us touch other folders.
    for (const QString &n : {intent.tmpName, intent.backupBase})
        if (n.contains(QLatin1Char('/')) || n.contains(QLatin1Char('\\')) || n == QLatin1String("..")
            || n == QLatin1String("."))
            return false;
    return !intent.tmpName.isEmpty() && !intent.version.isEmpty()
        && definitionFromJson(o.value(QStringLiteral("definition")).toString().toUtf8(), intent.def);
}

void completeReplacement(const QString &datPath, const QString &idxPath, const ReplaceIntent &intent)
{
    const QDir dir = QFileInfo(datPath).absoluteDir();
    const QString table = intent.def.name;
    const QString tmp = dir.filePath(intent.tmpName);
    if (QFileInfo::exists(tmp)) {
        const QString dbk
            = intent.backupBase.isEmpty() ? QString() : dir.filePath(intent.backupBase + QStringLiteral(".dbk"));
        if (!dbk.isEmpty()) {
            const QString ibk = dir.filePath(intent.backupBase + QStringLiteral(".ibk"));
            if (!QFileInfo::exists(dbk) && QFileInfo::exists(datPath))
                keepSecondName(datPath, dbk, table);
            if (!QFileInfo::exists(ibk) && QFileInfo::exists(idxPath))
                keepSecondName(idxPath, ibk, table);
            faultPoint("replace:backup");
        }
        // A journal of the old file must never be played on the new one; it
        // stays with the backup, where it still belongs to the same file.
        const QString journal = datPath + QStringLiteral("-journal");
        if (QFileInfo::exists(journal)) {
            if (!dbk.isEmpty())
                renameOver(journal, dbk + QStringLiteral("-journal"), table);
            else if (!QFile::remove(journal))
                fail(QStringLiteral("remover"), journal, table);
        }
        faultPoint("replace:journal");
        renameOver(tmp, datPath, table);
        FileLock::release(datPath);
        syncDirectory(dir.absolutePath());
        faultPoint("replace:renamed");
    }
    writeIndexFile(idxPath, intent.def, intent.version);
    faultPoint("replace:index");
    QFile::remove(intentPath(datPath));
    syncDirectory(dir.absolutePath());
    faultPoint("replace:done");
}

QString freeBackupBase(const QString &dirPath, const QString &tableBase)
{
    const QDir dir(dirPath);
    const QStringList entries = dir.entryList(QDir::Files | QDir::Hidden);
    for (int n = 0; n < 100000; ++n) {
        const QString base = n == 0 ? tableBase : tableBase + QLatin1Char('.') + QString::number(n);
        if (!existsNoCase(dir, entries, base + QStringLiteral(".dbk"))
            && !existsNoCase(dir, entries, base + QStringLiteral(".ibk"))
            && !existsNoCase(dir, entries, base + QStringLiteral(".dbk-journal")))
            return base;
    }
    throw EngineError(Err::InvalidOperation,
        QStringLiteral("Há cópias de segurança demais da tabela %1 na pasta de dados").arg(tableBase), tableBase);
}

} // namespace stb::db
