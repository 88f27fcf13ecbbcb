// One workstation adding invoices to a calculation, for the concurrent writer
// test and benchmark: the data module on a data folder or on a server
// address, the calculation open, and each invoice stored as the invoice dialog
// stores it (a transaction, IdNota from ProximoIdNota, post, commit), then its
// lines as the item dialog stores them (ProximoNroItem, post).
//
//     writer_child <folder|postgresql://...> <IdCalculo> <writer> <invoices> <lines> [option=value...]
//
// Options: slot=N takes presence semaphore N on STBrelva for the run (as a
// workstation does); tries=N and wait=MS set the session's lock retries;
// hold=1 stops inside the transaction of the first invoice, after its post,
// and waits to be killed.
//
// It prints "PRONTO" once open and waits for a line on its input before it
// starts, so that every writer starts at once. Then "NOTA <IdNota>" per
// invoice stored and "FIM <invoices> <retries>" at the end; "SEGURANDO
// <IdNota>" when holding; "ERRO <code> <message>" on failure (exit 3).
// A lock conflict that outlasts the engine's retries is met as a user meets
// its message: the invoice is entered again (counted in <retries>).
#include "core/datamodule.h"
#include "platform/db/pgbackend.h"
#include "platform/db/pgconn.h"
#include "platform/db/transaction.h"

#include <QCoreApplication>
#include <QThread>
#include <cstdio>

using namespace stb;

namespace {

void diz(const QString &line)
{
    std::fputs(qPrintable(line + QLatin1Char('\n')), stdout);
    std::fflush(stdout);
}

bool conflitoDeTrava(const db::EngineError &e)
{
    return e.code() == db::Err::LockFailed || e.code() == db::Err::TableInUse;
}

struct Pedido {
    QString onde;
    int idCalculo = 0;
    int escritor = 0;
    int notas = 0;
    int linhas = 0;
    int semaforo = 0;
    bool segura = false;
};

// The invoice number tells which writer stored it and in which order.
QString numeroNota(int escritor, int n)
{
    return QStringLiteral("%1-%2").arg(escritor).arg(n, 4, 10, QLatin1Char('0'));
}

class Escritor {
public:
    explicit Escritor(const Pedido &p) : m_p(p), m_dm(db::PgConnection::isAddress(p.onde) ? QString() : p.onde)
    {
        if (db::PgConnection::isAddress(p.onde))
            m_dm.setServerBackends(db::makePgBackend(p.onde), db::makePgBackend(p.onde, QStringLiteral("ARM")));
        if (p.semaforo > 0) {
            // The data side of a workstation's registration: one try.
            m_dm.TabSys.open();
            db::Session &s = m_dm.BaseDados.session();
            const int tentativas = std::exchange(s.lockRetryCount, 1);
            const bool ok = m_dm.BaseDados.lockSemaphore(QStringLiteral("STBrelva"), p.semaforo);
            s.lockRetryCount = tentativas;
            if (!ok)
                throw db::EngineError(db::Err::LockFailed, QStringLiteral("semáforo %1 ocupado").arg(p.semaforo));
        }
        for (db::Table *t : {&m_dm.TabCalc, &m_dm.TabNotas, &m_dm.TabItens})
            t->open();
        if (!m_dm.TabCalc.locate(QStringLiteral("IdCalculo"), {p.idCalculo}))
            throw db::EngineError(
                db::Err::InvalidOperation, QStringLiteral("cálculo %1 não encontrado").arg(p.idCalculo));
        m_dm.openCalculation();
    }

    // Stores every invoice; returns the retries that lock conflicts cost.
    int grava()
    {
        int repeticoes = 0;
        for (int n = 1; n <= m_p.notas; ++n) {
            for (;;) {
                try {
                    diz(QStringLiteral("NOTA %1").arg(incluiNota(n)));
                    break;
                } catch (const db::EngineError &e) {
                    if (!conflitoDeTrava(e) || ++repeticoes > 200)
                        throw;
                    QThread::msleep(20);
                }
            }
            for (int l = 1; l <= m_p.linhas; ++l)
                for (;;) {
                    try {
                        incluiLinha(n, l);
                        break;
                    } catch (const db::EngineError &e) {
                        if (!conflitoDeTrava(e) || ++repeticoes > 200)
                            throw;
                        QThread::msleep(20);
                    }
                }
        }
        return repeticoes;
    }

private:
    int incluiNota(int n)
    {
        db::Table &notas = m_dm.TabNotas;
        notas.append();
        try {
            notas.fieldByName(QStringLiteral("NroNF")).setAsString(numeroNota(m_p.escritor, n));
            notas.fieldByName(QStringLiteral("DataEmissao")).setAsDate(QDate(2026, 12, 1));
            notas.fieldByName(QStringLiteral("Frete")).setAsCurrency(Currency::fromInt(n));
            for (const char *f : {"DestaqueICMSST", "CreditoICMSMedic"})
                notas.fieldByName(QLatin1String(f)).setAsCurrency(Currency());
            db::Transaction tx(m_dm.BaseDados);
            const int id = m_dm.ProximoIdNota();
            notas.fieldByName(QStringLiteral("IdNota")).setAsInteger(id);
            notas.post();
            if (m_p.segura) {
                diz(QStringLiteral("SEGURANDO %1").arg(id));
                for (;;)
                    QThread::sleep(60);
            }
            tx.commit();
            return id;
        } catch (...) {
            if (notas.state() != db::DataSet::State::Browse)
                notas.cancel();
            throw;
        }
    }

    void incluiLinha(int n, int l)
    {
        db::Table &itens = m_dm.TabItens;
        const int nroItem = m_dm.ProximoNroItem();
        itens.append();
        try {
            itens.fieldByName(QStringLiteral("IdNota"))
                .setAsInteger(m_dm.TabNotas.fieldByName(QStringLiteral("IdNota")).asInteger());
            itens.fieldByName(QStringLiteral("NroItem")).setAsInteger(nroItem);
            itens.fieldByName(QStringLiteral("ItemBrelva")).setAsString(QStringLiteral("01.001.00"));
            // The line names its invoice, so that a line stored under another invoice shows.
            itens.fieldByName(QStringLiteral("DescricaoNF"))
                .setAsString(numeroNota(m_p.escritor, n) + QStringLiteral("/%1").arg(l));
            itens.fieldByName(QStringLiteral("ValorNF")).setAsCurrency(Currency::fromInt(100 * l + n));
            for (const char *f :
                {"ValorIPI", "MVA", "CreditoICMS", "ValorCreditoICMS", "PMPF", "Litros", "PrecoLitroNF"})
                itens.fieldByName(QLatin1String(f)).setAsCurrency(Currency());
            itens.fieldByName(QStringLiteral("AliqICMS")).setAsCurrency(Currency::fromInt(18));
            itens.fieldByName(QStringLiteral("FEM")).setAsBoolean(false);
            itens.post();
        } catch (...) {
            if (itens.state() != db::DataSet::State::Browse)
                itens.cancel();
            throw;
        }
    }

    Pedido m_p;
    TDM m_dm;
};

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList a = app.arguments();
    if (a.size() < 6) {
        diz(QStringLiteral(
            "ERRO 0 uso: writer_child <pasta|endereço> <IdCalculo> <escritor> <notas> <linhas> [opção=valor...]"));
        return 2;
    }
    Pedido p {a[1], a[2].toInt(), a[3].toInt(), a[4].toInt(), a[5].toInt()};
    db::Session &sessao = db::Session::defaultSession();
    for (const QString &opcao : a.mid(6)) {
        const QString nome = opcao.section(QLatin1Char('='), 0, 0);
        const int valor = opcao.section(QLatin1Char('='), 1).toInt();
        if (nome == QLatin1String("slot"))
            p.semaforo = valor;
        else if (nome == QLatin1String("tries"))
            sessao.lockRetryCount = valor;
        else if (nome == QLatin1String("wait"))
            sessao.lockWaitTime = valor;
        else if (nome == QLatin1String("hold"))
            p.segura = valor != 0;
    }
    try {
        Escritor escritor(p);
        diz(QStringLiteral("PRONTO"));
        char linha[16];
        if (!std::fgets(linha, sizeof linha, stdin))
            return 2;
        const int repeticoes = escritor.grava();
        diz(QStringLiteral("FIM %1 %2").arg(p.notas).arg(repeticoes));
    } catch (const db::EngineError &e) {
        diz(QStringLiteral("ERRO %1 %2").arg(e.code()).arg(e.message()));
        return 3;
    }
    return 0;
}
