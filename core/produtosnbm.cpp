#include "core/produtosnbm.h"

#include "core/schema.h"
#include "platform/db/database.h"
#include "platform/db/query.h"
#include "platform/db/transaction.h"
#include "platform/filecopy.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

namespace stb::nbm {

namespace {

QString chave(const QString &nbm, const QString &descricao) { return nbm + QChar(0x1f) + descricao; }

// The code and description pairs already in a table.
QSet<QString> paresPresentes(db::Database &base, const QString &tabela)
{
    QSet<QString> pares;
    db::Query q(&base);
    q.setSql(QStringLiteral("SELECT NBM, DESCRICAO FROM %1").arg(tabela.toUpper()));
    q.open();
    for (q.first(); !q.eof(); q.next())
        pares.insert(chave(q.field(0).asString(), q.field(1).asString()));
    q.close();
    return pares;
}

void insere(db::Database &base, const QString &tabela, const QString &nbm, const QString &descricao)
{
    base.execSql(QStringLiteral("INSERT INTO %1 (NBM, DESCRICAO) VALUES (:nbm, :descricao)").arg(tabela.toUpper()),
        {{QStringLiteral("nbm"), nbm}, {QStringLiteral("descricao"), descricao}});
}

// The work copy as the pristine table is (its delivered rows included), or
// empty from the table's definition when there is no pristine copy.
void preparaCopiaTrabalho(db::Database &base, const QString &pastaPristina)
{
    if (base.tableExists(tabelaTrabalho()))
        base.deleteTable(tabelaTrabalho());
    if (base.server()) {
        // A server has no table files to copy: the work copy is created and
        // takes the pristine table's rows.
        db::TableDef def = schema::produtosNbm();
        def.name = tabelaTrabalho();
        base.createTable(def);
        if (pastaPristina.isEmpty() || !QFileInfo::exists(fileNoCase(pastaPristina, tabela() + QStringLiteral(".dat"))))
            return;
        db::Database pristina;
        pristina.setDirectory(pastaPristina);
        db::Query q(&pristina);
        q.setSql(QStringLiteral("SELECT NBM, DESCRICAO FROM %1 ORDER BY ID").arg(tabela().toUpper()));
        q.open();
        db::Transaction tx(base);
        for (q.first(); !q.eof(); q.next())
            insere(base, tabelaTrabalho(), q.field(0).asString(), q.field(1).asString());
        tx.commit();
        return;
    }
    const QString dat = fileNoCase(pastaPristina, tabela() + QStringLiteral(".dat"));
    const QString idx = fileNoCase(pastaPristina, tabela() + QStringLiteral(".idx"));
    const QString destino = base.directory() + QLatin1Char('/') + tabelaTrabalho();
    // The index file first: a work copy whose .dat exists is complete.
    if (!pastaPristina.isEmpty() && QFileInfo::exists(dat) && QFileInfo::exists(idx)
        && copyFileReplacing(idx, destino + QStringLiteral(".idx"))
        && copyFileReplacing(dat, destino + QStringLiteral(".dat")))
        return;
    QFile::remove(destino + QStringLiteral(".idx"));
    db::TableDef def = schema::produtosNbm();
    def.name = tabelaTrabalho();
    base.createTable(def);
}

void informa(const db::ProgressFn &progresso, const QString &passo, int percent)
{
    if (progresso)
        progresso(passo, percent);
}

} // namespace

QString formataCodigo(const QString &codigo)
{
    const QString c = codigo.trimmed();
    if (c.size() != 8)
        return c;
    return c.left(4) + QLatin1Char('.') + c.mid(4, 2) + QLatin1Char('.') + c.mid(6, 2);
}

std::optional<Linha> leLinha(const QString &texto)
{
    const qsizetype igual = texto.indexOf(QLatin1Char('='));
    if (igual < 0)
        return std::nullopt;
    Linha l;
    l.nbm = formataCodigo(texto.left(igual));
    if (l.nbm.isEmpty())
        return std::nullopt;
    l.descricao = texto.mid(igual + 1).trimmed().left(TamanhoDescricao);
    return l;
}

QString textoProgresso(const QString &passo, int percent)
{
    QString texto = passo;
    if (passo == QLatin1String("Repairing headers"))
        texto = QStringLiteral("Passo 1/3");
    else if (passo == QLatin1String("Repairing record, index, and BLOB data"))
        texto = QStringLiteral("Passo 2/3");
    else if (passo == QLatin1String("Repairing indexes"))
        texto = QStringLiteral("Passo 3/3");
    return QStringLiteral("Reindexando ProdutosNBM: %1... (%2%)").arg(texto).arg(percent);
}

int aplicaLinhas(db::Database &base, const QStringList &linhas, const std::function<void(int, int)> &progresso)
{
    QSet<QString> presentes = paresPresentes(base, tabela());
    const int total = static_cast<int>(linhas.size());
    int novas = 0;
    db::Transaction tx(base);
    for (int i = 0; i < total; ++i) {
        if (progresso)
            progresso(i + 1, total);
        const auto l = leLinha(linhas[i]);
        if (!l || presentes.contains(chave(l->nbm, l->descricao)))
            continue;
        insere(base, tabela(), l->nbm, l->descricao);
        presentes.insert(chave(l->nbm, l->descricao));
        ++novas;
    }
    tx.commit();
    return novas;
}

qint64 reconstroi(db::Database &base, Modo modo, const QString &pastaPristina, const db::ProgressFn &progresso)
{
    const QString tab = tabela().toUpper();
    const QString trab = tabelaTrabalho().toUpper();
    informa(progresso, QStringLiteral("Preparando a cópia de trabalho"), 0);
    if (modo == Modo::Cria || !base.tableExists(tabelaTrabalho()))
        preparaCopiaTrabalho(base, pastaPristina);

    // The work copy gets the rows the table will hold.
    {
        QSet<QString> presentes;
        QList<Linha> novas;
        if (modo == Modo::Reindexa) {
            base.emptyTable(tabelaTrabalho());
            db::Query q(&base);
            q.setSql(QStringLiteral("SELECT NBM, DESCRICAO FROM %1 ORDER BY ID").arg(tab));
            q.open();
            for (q.first(); !q.eof(); q.next()) {
                Linha l {q.field(0).asString(), q.field(1).asString()};
                if (!presentes.contains(chave(l.nbm, l.descricao))) {
                    presentes.insert(chave(l.nbm, l.descricao));
                    novas << l;
                }
            }
        } else {
            presentes = paresPresentes(base, tabelaTrabalho());
            QStringList colunas;
            for (int i = 1; i <= 15; ++i)
                colunas << QStringLiteral("CODIGONBM%1").arg(i);
            db::Query q(&base);
            q.setSql(QStringLiteral("SELECT DESCRICAO, %1 FROM BRELVA WHERE AMBITO <> 0 ORDER BY ID")
                         .arg(colunas.join(QStringLiteral(", "))));
            q.open();
            for (q.first(); !q.eof(); q.next()) {
                const QString descricao = q.field(0).asString().simplified().left(TamanhoDescricao);
                for (int c = 1; c <= 15; ++c) {
                    const QString nbm = formataCodigo(q.field(c).asString());
                    if (nbm.isEmpty() || presentes.contains(chave(nbm, descricao)))
                        continue;
                    presentes.insert(chave(nbm, descricao));
                    novas << Linha {nbm, descricao};
                }
            }
        }
        informa(progresso, QStringLiteral("Lendo produtos"), 20);
        db::Transaction tx(base);
        for (const Linha &l : std::as_const(novas))
            insere(base, tabelaTrabalho(), l.nbm, l.descricao);
        tx.commit();
    }

    // The table takes the work copy's rows at once: before the commit it is as
    // it was, after it as it will be.
    informa(progresso, QStringLiteral("Gravando produtos"), 40);
    {
        db::Transaction tx(base);
        base.execSql(QStringLiteral("DELETE FROM %1").arg(tab));
        base.execSql(
            QStringLiteral("INSERT INTO %1 (NBM, DESCRICAO) SELECT NBM, DESCRICAO FROM %2 ORDER BY ID").arg(tab, trab));
        tx.commit();
    }
    base.repairTable(tabela(), progresso);
    base.deleteTable(tabelaTrabalho());
    db::Query q(&base);
    q.setSql(QStringLiteral("SELECT COUNT(*) FROM %1").arg(tab));
    q.open();
    return q.field(0).asLargeInt();
}

} // namespace stb::nbm
