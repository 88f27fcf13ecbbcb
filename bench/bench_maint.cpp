// Restructuring a table of 100,000 rows (one field added or resized, every
// row kept, the progress window shown) beside copying the same rows into a
// new file with the raw SQLite C API, measured in the same run.
#include "bench/harness.h"
#include "core/datamodule.h"
#include "core/messages.h"
#include "core/schema.h"
#include "platform/db/dataset.h"
#include "shell/modifystruct.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>
#include <sqlite3.h>

using namespace stb;

namespace {

constexpr int Linhas = 100000;

// The raw copy: every table and index of the file created again in a new
// file, and the rows copied in one transaction.
void copiaCrua(const QString &origem, const QString &destino)
{
    QFile::remove(destino);
    sqlite3 *db = nullptr;
    sqlite3_open(QFile::encodeName(destino).constData(), &db);
    const QString attach = QStringLiteral("ATTACH DATABASE '%1' AS old")
                               .arg(QString(origem).replace(QLatin1Char('\''), QLatin1String("''")));
    sqlite3_exec(db, attach.toUtf8().constData(), nullptr, nullptr, nullptr);
    QStringList tabelas, indices;
    sqlite3_stmt *st = nullptr;
    sqlite3_prepare_v2(db,
        "SELECT type, name, sql FROM old.sqlite_master WHERE sql IS NOT NULL AND name NOT LIKE 'sqlite_%'", -1, &st,
        nullptr);
    while (sqlite3_step(st) == SQLITE_ROW) {
        const QString tipo = QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(st, 0)));
        const QString nome = QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(st, 1)));
        const QString sql = QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(st, 2)));
        if (tipo == QLatin1String("table")) {
            sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, nullptr);
            tabelas << nome;
        } else {
            indices << sql;
        }
    }
    sqlite3_finalize(st);
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    for (const QString &t : tabelas)
        sqlite3_exec(db, QStringLiteral("INSERT INTO main.\"%1\" SELECT * FROM old.\"%1\"").arg(t).toUtf8().constData(),
            nullptr, nullptr, nullptr);
    for (const QString &i : indices)
        sqlite3_exec(db, i.toUtf8().constData(), nullptr, nullptr, nullptr);
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_exec(db, "DETACH DATABASE old", nullptr, nullptr, nullptr);
    sqlite3_close(db);
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    RecordingSink sink;
    setMessageSink(&sink);
    QTemporaryDir dir;
    const QString dados = dir.path() + QLatin1Char('/');
    TDM::setDefaultDataDir(dados);
    TDM &dm = DM();
    dm.BaseDados.createTable(schema::calculos());
    dm.BaseDados.startTransaction();
    for (int i = 1; i <= Linhas; ++i)
        dm.BaseDados.execSql(QStringLiteral("INSERT INTO CALCULOS (IdCalculo, Grupo, Masp, CNPJRemet, IEDest, NroTRM) "
                                            "VALUES (%1, %2, 'M%1', '12.345.678/0001-%3', '0012345%1', 'TRM%1')")
                                 .arg(i)
                                 .arg(i % 30)
                                 .arg(i % 100, 2, 10, QLatin1Char('0')));
    dm.BaseDados.commit(true);
    const QString dat = dm.BaseDados.tableFilePath(QStringLiteral("Calculos"), QStringLiteral(".dat"));
    dm.BaseDados.close();

    int tamanho = 12;
    QList<int> progresso;
    const double nosso = bench::bestMs(
        3, [&] { tamanho = tamanho == 12 ? 16 : 12; },
        [&] {
            TModifyStruct m(dm.TabCalc, false);
            m.AddField(QStringLiteral("Marca"), db::FieldType::String, -1, tamanho);
            if (!m.Execute())
                std::fprintf(stderr, "restructure failed: %s\n", qPrintable(m.erro()));
            progresso = m.progressoMostrado();
        });
    dm.BaseDados.close();
    const QString copia = dados + QStringLiteral("copia.dat");
    const double cru = bench::bestMs(3, {}, [&] { copiaCrua(dat, copia); });
    bench::report("restructure 100,000 rows vs raw SQLite copy", nosso, cru, 2.0);
    QStringList passos;
    for (int p : progresso)
        passos << QString::number(p);
    std::printf("progress bar values shown: %s\n", qPrintable(passos.join(QLatin1Char(' '))));
    qint64 linhas = 0;
    {
        db::Query q(&dm.BaseDados);
        q.setSql(QStringLiteral("SELECT COUNT(*) FROM CALCULOS"));
        q.open();
        linhas = q.field(0).asLargeInt();
    }
    std::printf("rows after the restructures: %lld of %d\n", static_cast<long long>(linhas), Linhas);
    TDM::destroyInstance();
    setMessageSink(nullptr);
    return linhas == Linhas ? 0 : 1;
}
