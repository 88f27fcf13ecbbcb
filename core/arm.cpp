#include "core/arm.h"

#include "core/datamodule.h"
#include "core/messages.h"
#include "platform/db/field.h"
#include "platform/db/query.h"
#include "platform/inifile.h"

#include <QMap>
#include <algorithm>

namespace stb::arm {

namespace {

std::optional<qlonglong> numero(const QString &texto)
{
    bool ok = false;
    const qlonglong n = texto.trimmed().toLongLong(&ok);
    return ok ? std::optional<qlonglong>(n) : std::nullopt;
}

// Sorted without duplicates; numbers in numeric order ("9" before "10"),
// other texts after them in text order.
QStringList ordenados(QStringList textos)
{
    std::sort(textos.begin(), textos.end(), [](const QString &a, const QString &b) {
        const auto na = numero(a), nb = numero(b);
        if (na && nb)
            return *na != *nb ? *na < *nb : a < b;
        if (na != nb)
            return na.has_value();
        return a < b;
    });
    textos.erase(std::unique(textos.begin(), textos.end()), textos.end());
    return textos;
}

QString chavePar(const NotaARM &n) { return n.cnpjRemet.leftJustified(20) + n.ieDest.leftJustified(20); }

// A text cut to the size of its field (sizes of zero are unlimited).
void grava(db::Table &t, const QString &campo, const QString &valor)
{
    db::Field &f = t.fieldByName(campo);
    f.setAsString(f.size() > 0 ? valor.left(f.size()) : valor);
}

void gravaBloco(db::Table &t, int k, const BlocoARM &b)
{
    const QString x = QStringLiteral("X%1").arg(k);
    t.fieldByName(x + QStringLiteral("NFNaoApresentada")).setAsBoolean(false);
    grava(t, x + QStringLiteral("NFNro"), b.numeros);
    db::Field &data = t.fieldByName(x + QStringLiteral("NFDataEmissao"));
    if (b.emissao.isValid())
        data.setAsDate(b.emissao);
    else
        data.clear();
    // Block 4 names its total without "NF".
    t.fieldByName(k == 4 ? QStringLiteral("X4ValorTotal") : x + QStringLiteral("NFValorTotal")).setAsCurrency(b.total);
    grava(t, x + QStringLiteral("Remetente"), b.remetente);
    grava(t, x + QStringLiteral("RemetNome"), b.remetNome);
    grava(t, x + QStringLiteral("Destinatario"), b.destinatario);
    grava(t, x + QStringLiteral("DestNome"), b.destNome);
    grava(t, k == 1 ? QStringLiteral("X1DescricaoMercadoria") : x + QStringLiteral("DescricaoMercadorias"),
        b.mercadorias);
}

// The first column of the first row, as text (empty when none or null).
QString primeiroTexto(db::Query &q)
{
    q.open();
    const QString v = q.isEmpty() || q.field(0).isNull() ? QString() : q.field(0).asString();
    q.close();
    return v;
}

std::optional<QString> gera(
    TDM &dm, const QList<NotaARM> &notas, const QString &masp, const QString &tipo, const Contexto &ctx)
{
    QList<BlocoARM> blocos = Blocos(notas);
    if (blocos.size() > MaxBlocos) {
        if (!Confirma(QStringLiteral("Este cálculo precisa de %1 campos no ARM. Apenas 5 serão transferidos. Continua")
                          .arg(blocos.size())))
            return std::nullopt;
        blocos = blocos.mid(0, MaxBlocos);
    }
    if (blocos.isEmpty())
        blocos << BlocoARM {}; // block 1 is always written

    db::Table &t = dm.TabARM;
    try {
        if (!t.isActive())
            t.open();
        const QDate data = ctx.agora.date();
        const QString nro = NumeroTRM(data, ctx.prefixo, ProximaSequencia(dm.BaseARM, tipo, data, *ctx.ini));
        t.append();
        t.fieldByName(QStringLiteral("Emissao")).setAsDateTime(ctx.agora);
        grava(t, QStringLiteral("Chave"), tipo + nro);
        grava(t, QStringLiteral("NroTRM"), nro);
        grava(t, QStringLiteral("Tipo"), tipo);
        grava(t, QStringLiteral("Masp"), masp);
        for (int i = 1; i <= 5; ++i)
            t.fieldByName(QStringLiteral("MotivoEmissao%1").arg(i)).setAsBoolean(i == 3);
        t.fieldByName(QStringLiteral("Justificativa")).setAsString(Justificativa());
        gravaBloco(t, 1, blocos.first());
        if (tipo == QLatin1String("A"))
            for (int k = 2; k <= blocos.size(); ++k)
                gravaBloco(t, k, blocos[k - 1]);
        t.post();
        t.close();
        return Chave(tipo, nro);
    } catch (...) {
        if (t.isActive()) {
            if (t.state() != db::DataSet::State::Browse)
                t.cancel();
            t.close();
        }
        throw;
    }
}

} // namespace

QString Tipo(const QList<NotaARM> &notas)
{
    for (const NotaARM &n : notas)
        if (n.cnpjRemet != notas.first().cnpjRemet || n.ieDest != notas.first().ieDest)
            return QStringLiteral("A");
    return QStringLiteral("B");
}

QString TextoNumeros(const QStringList &numeros)
{
    const QStringList lista = ordenados(numeros);
    QStringList partes;
    for (int i = 0; i < lista.size();) {
        // The run starting at i: each next number one more than the one before.
        int fim = i;
        for (auto n = numero(lista[i]); n && fim + 1 < lista.size();) {
            const auto prox = numero(lista[fim + 1]);
            if (!prox || *prox != *n + 1)
                break;
            n = prox;
            ++fim;
        }
        partes << (fim == i ? lista[i] : lista[i] + QLatin1Char('-') + lista[fim]);
        i = fim + 1;
    }
    return partes.join(QStringLiteral(", "));
}

QList<BlocoARM> Blocos(const QList<NotaARM> &notas)
{
    QMap<QString, QList<const NotaARM *>> pares;
    for (const NotaARM &n : notas)
        pares[chavePar(n)] << &n;
    QList<BlocoARM> blocos;
    for (const QList<const NotaARM *> &par : std::as_const(pares)) {
        BlocoARM b;
        QStringList nros, itens;
        for (const NotaARM *n : par) {
            nros << n->nroNF.trimmed();
            itens << n->itens;
            b.total += n->total;
        }
        const NotaARM &ultima = *par.last();
        b.numeros = TextoNumeros(nros);
        b.emissao = ultima.dataEmissao;
        b.remetente = ultima.cnpjRemet;
        b.remetNome = ultima.remetNome;
        b.destinatario = ultima.ieDest;
        b.destNome = ultima.destNome;
        b.mercadorias = ordenados(itens).join(QStringLiteral(", "));
        blocos << b;
    }
    return blocos;
}

QList<NotaARM> LeNotas(db::Database &baseDados, int idCalculo)
{
    QList<NotaARM> notas;
    db::Query q(&baseDados);
    q.setSql(
        QStringLiteral("SELECT IDNOTA, NRONF, CNPJREMET, IEDEST, DATAEMISSAO FROM NOTAS WHERE IDCALCULO = :IdCalculo "
                       "ORDER BY IDNOTA"));
    q.paramByName(QStringLiteral("IdCalculo")).setAsInteger(idCalculo);
    q.open();
    for (; !q.eof(); q.next()) {
        NotaARM n;
        n.idNota = q.field(0).asInteger();
        n.nroNF = q.field(1).asString();
        n.cnpjRemet = q.field(2).asString();
        n.ieDest = q.field(3).asString();
        if (!q.field(4).isNull())
            n.dataEmissao = q.field(4).asDate();
        notas << n;
    }
    q.close();

    db::Query nome(&baseDados);
    for (NotaARM &n : notas) {
        const QString id = QString::number(n.idNota);
        q.setSql(QStringLiteral("SELECT SUM( VALORNF + VALORIPI ) FROM ITENS WHERE IDNOTA = ") + id);
        q.open();
        n.total = q.isEmpty() ? Currency() : q.field(0).asCurrency(); // no lines: a null sum, read as 0
        q.close();
        q.setSql(QStringLiteral("SELECT ITEMBRELVA FROM ITENS WHERE IDNOTA = ") + id);
        q.open();
        for (; !q.eof(); q.next()) {
            const QString codigo = q.field(0).asString().trimmed();
            const int ponto = codigo.indexOf(QLatin1Char('.'));
            const QString item = ponto < 0 ? codigo : codigo.left(ponto);
            if (!item.isEmpty())
                n.itens << item;
        }
        q.close();
        nome.setSql(QStringLiteral("SELECT REMETENTE FROM REMETENTES WHERE CNPJREMET = :Chave"));
        nome.paramByName(QStringLiteral("Chave")).setAsString(n.cnpjRemet);
        n.remetNome = primeiroTexto(nome);
        nome.setSql(QStringLiteral("SELECT DESTINATARIO FROM DESTINATARIOS WHERE IEDEST = :Chave"));
        nome.paramByName(QStringLiteral("Chave")).setAsString(n.ieDest);
        n.destNome = primeiroTexto(nome);
    }
    return notas;
}

QString Ano(const QDate &data) { return QStringLiteral("%1").arg(data.year() - 2000, 2, 10, QLatin1Char('0')); }

int ProximaSequencia(db::Database &baseARM, const QString &tipo, const QDate &data, const IniFile &ini)
{
    const QString yy = Ano(data);
    // The type and the year are the program's own texts, never typed.
    db::Query q(&baseARM);
    q.setSql(QStringLiteral("SELECT MAX(CAST(SUBSTRING(NROTRM FROM 9 FOR 5) AS INTEGER)) FROM ARM WHERE TIPO = '")
        + tipo + QStringLiteral("'") + QStringLiteral(" AND SUBSTRING(NROTRM FROM 1 FOR 2) = '") + yy
        + QStringLiteral("'"));
    q.open();
    const bool nulo = q.isEmpty() || q.field(0).isNull();
    const int maximo = nulo ? 0 : q.field(0).asInteger();
    q.close();
    if (nulo)
        return ini.readInteger(QStringLiteral("NroInicial.TRM.20") + yy, tipo, 1);
    return maximo + 1;
}

QString NumeroTRM(const QDate &data, const QString &prefixo, int sequencia)
{
    return Ano(data) + QLatin1Char('/') + prefixo + QLatin1Char('/')
        + QStringLiteral("%1").arg(sequencia, 5, 10, QLatin1Char('0'));
}

QString Chave(const QString &tipo, const QString &nroTRM)
{
    QString n = nroTRM;
    for (const QChar c : {QLatin1Char('.'), QLatin1Char('/'), QLatin1Char('-'), QLatin1Char('&'), QLatin1Char(' ')})
        n.remove(c);
    return tipo + n;
}

QString Justificativa()
{
    return QStringLiteral(
        "ICMS/ST devido nos termos do Anexo da Substituição Tributária do Regulamento do ICMS do Estado, "
        "recolhido conforme o cálculo anexo.");
}

std::optional<QString> GeraARM(TDM &dm, int idCalculo, const QString &masp, const QString &tipo, const Contexto &ctx)
{
    return gera(dm, LeNotas(dm.BaseDados, idCalculo), masp, tipo, ctx);
}

ResultadoCriacao CriaARM(TDM &dm, const Contexto &ctx)
{
    db::Table &calc = dm.TabCalc;
    const QString existente = calc.fieldByName(QStringLiteral("NroTRM")).asString().trimmed();
    if (!existente.isEmpty())
        return {existente, true};
    if (!Confirma(QStringLiteral("Confirma gerar um ARM para este Cálculo")))
        return {};
    const int idCalculo = calc.fieldByName(QStringLiteral("IdCalculo")).asInteger();
    const QList<NotaARM> notas = LeNotas(dm.BaseDados, idCalculo);
    const std::optional<QString> chave
        = gera(dm, notas, calc.fieldByName(QStringLiteral("Masp")).asString(), Tipo(notas), ctx);
    if (!chave)
        return {};
    if (calc.state() == db::DataSet::State::Browse)
        calc.edit();
    calc.fieldByName(QStringLiteral("NroTRM")).setAsString(*chave);
    calc.post();
    return {*chave, false};
}

} // namespace stb::arm
