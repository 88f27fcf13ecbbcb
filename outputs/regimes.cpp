#include "outputs/regimes.h"

#include "core/messages.h"
#include "platform/db/dataset.h"

#include <QMutex>
#include <QStringList>
#include <array>

namespace stb {

// The shipped list (data/regimes.txt, compiled in by the build).
extern const char kNomesRegimesPadrao[];

namespace {

constexpr int kMaxRegimes = 99;

struct Nomes {
    QMutex mutex;
    std::array<QString, kMaxRegimes + 1> porCodigo; // index 0 unused
    bool carregado = false;
};

Nomes &nomes()
{
    static Nomes n;
    return n;
}

int carrega(Nomes &n, const QString &text)
{
    n.porCodigo.fill(QString());
    n.carregado = true;
    int lidos = 0;
    for (const QString &raw : text.split(QLatin1Char('\n'))) {
        const QString line = raw.trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq <= 0)
            continue;
        bool ok = false;
        const int code = line.left(eq).trimmed().toInt(&ok);
        if (!ok || code < 1 || code > kMaxRegimes)
            continue;
        n.porCodigo[static_cast<size_t>(code)] = line.mid(eq + 1).trimmed();
        ++lidos;
    }
    return lidos;
}

// "%s" conversions filled in order.
QString formataS(const QString &format, const QStringList &args)
{
    QString out;
    qsizetype next = 0;
    for (qsizetype i = 0; i < format.size(); ++i) {
        if (format[i] == QLatin1Char('%') && i + 1 < format.size() && format[i + 1] == QLatin1Char('s')) {
            out += args.value(next++);
            ++i;
        } else {
            out += format[i];
        }
    }
    return out;
}

// The general query, closed before a use and after it, whatever happens.
class UsoDaQuery {
public:
    explicit UsoDaQuery(db::Query &q) : m_q(q) { m_q.close(); }
    ~UsoDaQuery() { m_q.close(); }
    UsoDaQuery(const UsoDaQuery &) = delete;
    UsoDaQuery &operator=(const UsoDaQuery &) = delete;

private:
    db::Query &m_q;
};

enum class Documento { CNPJ, IE };

// An annex item number bound as a number when it reads as one.
QVariant valorItem(const QString &item)
{
    bool ok = false;
    const int n = item.trimmed().toInt(&ok);
    return ok ? QVariant(n) : QVariant(item);
}

// Step 1: the taxpayer's other document (the IE registered with a CNPJ, or the
// CNPJ registered with an IE), empty when none.
QString outroDocumento(db::Query &qry, Documento tipo, const QString &doc)
{
    UsoDaQuery uso(qry);
    if (tipo == Documento::CNPJ) {
        qry.sql() = {QStringLiteral("SELECT IE FROM REGIMEESPECIAL  WHERE CNPJ = :CNPJ and IE <> ''")};
        qry.paramByName(QStringLiteral("CNPJ")).setAsString(doc);
    } else {
        qry.sql() = {QStringLiteral("SELECT CNPJ FROM REGIMEESPECIAL  WHERE IE = :IE and CNPJ <> ''")};
        qry.paramByName(QStringLiteral("IE")).setAsString(doc);
    }
    qry.open();
    if (qry.isEmpty())
        return {};
    qry.first();
    return qry.field(0).asString();
}

// The extra condition that brings in the rows of the other document, with
// its parameter set.
QString condicaoExtra(db::Query &qry, Documento tipo, const QString &outro)
{
    if (outro.isEmpty())
        return {};
    if (tipo == Documento::CNPJ) {
        qry.paramByName(QStringLiteral("IE")).setAsString(outro);
        return QStringLiteral(" OR IE = :IE");
    }
    qry.paramByName(QStringLiteral("CNPJ")).setAsString(outro);
    return QStringLiteral(" OR CNPJ = :CNPJ");
}

// One regime of the current row: name ": " reference; by IE, regime 15 also
// names the CNPJ column of the row.
QString linhaRegime(db::Query &qry, Documento tipo)
{
    const int regime = qry.fieldByName(QStringLiteral("REGIME")).asInteger();
    QString line = NomeRegime(regime) + QStringLiteral(": ") + qry.fieldByName(QStringLiteral("PP")).asString();
    if (tipo == Documento::IE && regime == 15)
        line += QStringLiteral(" [até ") + qry.fieldByName(QStringLiteral("CNPJ")).asString() + QLatin1Char(']');
    return line;
}

QString consultaDialogo(db::Query &qry, Documento tipo, const QString &doc)
{
    if (doc.isEmpty())
        return {};
    const QString outro = outroDocumento(qry, tipo, doc);

    QString nome, uf;
    QStringList linhas;
    {
        UsoDaQuery uso(qry);
        QString sql;
        if (tipo == Documento::CNPJ) {
            sql = QStringLiteral("SELECT NOME, UF, REGIME, PP FROM REGIMEESPECIAL  WHERE CNPJ = :CNPJ");
            qry.paramByName(QStringLiteral("CNPJ")).setAsString(doc);
        } else {
            sql = QStringLiteral("SELECT DISTINCT NOME, UF, REGIME, CNPJ, PP FROM REGIMEESPECIAL  WHERE IE = :IE");
            qry.paramByName(QStringLiteral("IE")).setAsString(doc);
        }
        qry.sql() = {sql + condicaoExtra(qry, tipo, outro)};
        qry.open();
        if (qry.isEmpty())
            return {};
        qry.first();
        nome = qry.fieldByName(QStringLiteral("NOME")).asString();
        if (nome.isEmpty())
            return {};
        uf = qry.fieldByName(QStringLiteral("UF")).asString();
        for (; !qry.eof(); qry.next())
            linhas << linhaRegime(qry, tipo);
    }

    const bool plural = linhas.size() > 1;
    QString sufixo;
    if (!outro.isEmpty())
        sufixo = (tipo == Documento::CNPJ ? QStringLiteral(", IE ") : QStringLiteral(", CNPJ ")) + outro;
    const QString formato = tipo == Documento::CNPJ ? QStringLiteral("\"%s/%s\", CNPJ %s%s.\rRegime%s Especia%s:\r%s")
                                                    : QStringLiteral("\"%s/%s\", IE %s%s.\rRegime%s Especia%s:\r%s");
    MsgInformacao(formataS(formato,
        {nome, uf, doc, sufixo, plural ? QStringLiteral("s") : QString(),
            plural ? QStringLiteral("is") : QStringLiteral("l"), linhas.join(QLatin1Char('\r'))}));
    return nome;
}

QString consultaRelatorio(db::Query &qry, Documento tipo, const QString &doc, const QString &item)
{
    if (doc.isEmpty())
        return {};
    const QString outro = outroDocumento(qry, tipo, doc);

    UsoDaQuery uso(qry);
    QString sql;
    if (tipo == Documento::CNPJ) {
        sql = QStringLiteral("SELECT NOME, UF, REGIME, PP FROM REGIMEESPECIAL  WHERE (CNPJ = :CNPJ");
        qry.paramByName(QStringLiteral("CNPJ")).setAsString(doc);
    } else {
        sql = QStringLiteral("SELECT NOME, UF, REGIME, CNPJ, PP FROM REGIMEESPECIAL  WHERE (IE = :IE");
        qry.paramByName(QStringLiteral("IE")).setAsString(doc);
    }
    sql += condicaoExtra(qry, tipo, outro) + QStringLiteral(") AND (REGIME = :REGIME)");
    qry.paramByName(QStringLiteral("REGIME")).value = valorItem(item);
    qry.sql() = {sql};
    qry.open();
    if (qry.isEmpty())
        return {};
    qry.first();
    if (qry.fieldByName(QStringLiteral("NOME")).asString().isEmpty())
        return {};
    QStringList linhas;
    for (; !qry.eof(); qry.next())
        linhas << linhaRegime(qry, tipo);
    return linhas.join(QStringLiteral("; "));
}

} // namespace

QString NomesRegimesPadrao() { return QString::fromUtf8(kNomesRegimesPadrao); }

int CarregaNomesRegimes(const QString &text)
{
    Nomes &n = nomes();
    QMutexLocker locker(&n.mutex);
    return carrega(n, text);
}

QString NomeRegime(int code)
{
    Nomes &n = nomes();
    QMutexLocker locker(&n.mutex);
    if (!n.carregado)
        carrega(n, NomesRegimesPadrao());
    if (code >= 1 && code <= kMaxRegimes && !n.porCodigo[static_cast<size_t>(code)].isEmpty())
        return n.porCodigo[static_cast<size_t>(code)];
    return QStringLiteral("Regime ") + QString::number(code);
}

QString ConsultaRegimeCNPJ(db::Query &qry, const QString &cnpj) { return consultaDialogo(qry, Documento::CNPJ, cnpj); }
QString ConsultaRegimeIE(db::Query &qry, const QString &ie) { return consultaDialogo(qry, Documento::IE, ie); }

QString RegimesRelatorioCNPJ(db::Query &qry, const QString &cnpj, const QString &item)
{
    return consultaRelatorio(qry, Documento::CNPJ, cnpj, item);
}

QString RegimesRelatorioIE(db::Query &qry, const QString &ie, const QString &item)
{
    return consultaRelatorio(qry, Documento::IE, ie, item);
}

} // namespace stb
