#include "entry/nfeimporta.h"

#include "core/datamodule.h"
#include "core/datedvalues.h"
#include "core/edition.h"
#include "core/grupos.h"
#include "core/messages.h"
#include "core/regras.h"
#include "core/regrasitem.h"
#include "core/settings.h"
#include "entry/documents.h"
#include "entry/margins.h"
#include "outputs/medic.h"
#include "platform/db/query.h"
#include "platform/db/transaction.h"
#include "platform/formatting.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <algorithm>
#include <array>
#include <stdexcept>

namespace stb {

namespace {

const QString kTabNotas = QStringLiteral("NFeImportadas");
const QString kTabItens = QStringLiteral("NFeItensDeclarados");
// The lines stored with their effective credit rate: the rate the invoice declared.
const QString kTabAliqEfetiva = QStringLiteral("NFeCreditoEfetivo");

QString digitos(const QString &s)
{
    QString out;
    out.reserve(s.size());
    for (QChar c : s)
        if (c >= QLatin1Char('0') && c <= QLatin1Char('9'))
            out += c;
    return out;
}

// What the sender declared is kept beside the invoice: its key and ST total,
// and per line the ST base, margin and amount.
void criaTabelasDeclaradas(TDM &dm)
{
    using db::FieldDef;
    using db::FieldType;
    if (!dm.BaseDados.tableExists(kTabNotas))
        dm.BaseDados.createTable(db::TableDef {kTabNotas,
            {FieldDef {QStringLiteral("IdNota"), FieldType::Integer, 0, false},
                FieldDef {QStringLiteral("IdCalculo"), FieldType::Integer, 0, false},
                FieldDef {QStringLiteral("Chave"), FieldType::String, 44, false},
                FieldDef {QStringLiteral("VST"), FieldType::Currency, 0, false}},
            {db::IndexDef {QString(), QStringLiteral("IdNota"), db::IndexDef::Primary}}});
    if (!dm.BaseDados.tableExists(kTabItens))
        dm.BaseDados.createTable(db::TableDef {kTabItens,
            {FieldDef {QStringLiteral("IdNota"), FieldType::Integer, 0, false},
                FieldDef {QStringLiteral("NroItem"), FieldType::SmallInt, 0, false},
                FieldDef {QStringLiteral("VBCST"), FieldType::Currency, 0, false},
                FieldDef {QStringLiteral("PMVAST"), FieldType::Currency, 0, false},
                FieldDef {QStringLiteral("VICMSST"), FieldType::Currency, 0, false}},
            {db::IndexDef {QString(), QStringLiteral("IdNota;NroItem"), db::IndexDef::Primary}}});
    if (!dm.BaseDados.tableExists(kTabAliqEfetiva))
        dm.BaseDados.createTable(db::TableDef {kTabAliqEfetiva,
            {FieldDef {QStringLiteral("IdNota"), FieldType::Integer, 0, false},
                FieldDef {QStringLiteral("NroItem"), FieldType::SmallInt, 0, false},
                FieldDef {QStringLiteral("PICMS"), FieldType::Currency, 0, false}},
            {db::IndexDef {QString(), QStringLiteral("IdNota;NroItem"), db::IndexDef::Primary}}});
}

// The registers take a party once; a known one keeps its stored name.
void registra(TDM &dm, db::Table &tabela, const QString &campoChave, const QString &campoNome, const QString &numero,
    const QString &nome)
{
    if (numero.isEmpty())
        return;
    if (!tabela.isActive())
        tabela.open();
    if (tabela.locate(campoChave, {numero}))
        return;
    tabela.append();
    tabela.fieldByName(campoChave).setAsString(numero);
    tabela.fieldByName(campoNome).setAsString(nome.left(50));
    dm.PostCadastro(tabela);
}

// The stored form of a recipient's state registration: the home state's mask
// for 13 digits, the bare digits otherwise.
QString formataIE(const QString &ie)
{
    const QString d = digitos(ie);
    return d.size() == 13 ? FormataDocumento(d) : d.left(16);
}

// While an import is stored nothing reads the amounts: the invoice totals and
// the per-line refresh of the invoices are off, and run once at the end.
class EventosSuspensos {
public:
    explicit EventosSuspensos(TDM &dm)
        : m_dm(dm),
          m_aposItens(dm.TabItens.afterPost),
          m_aposMedic(dm.TabItensMedic.afterPost),
          m_calcNotas(dm.TabNotas.onCalcFields),
          m_calcItens(dm.TabItens.onCalcFields),
          m_calcMedic(dm.TabItensMedic.onCalcFields)
    {
        dm.TabItens.afterPost = nullptr;
        dm.TabItensMedic.afterPost = nullptr;
        dm.TabNotas.onCalcFields = nullptr;
        dm.TabItens.onCalcFields = nullptr;
        dm.TabItensMedic.onCalcFields = nullptr;
        for (db::DataSet *ds : {&dm.TabNotas, &dm.TabItens, &dm.TabItensMedic})
            ds->autoCalcFields = false;
    }
    ~EventosSuspensos()
    {
        m_dm.TabItens.afterPost = m_aposItens;
        m_dm.TabItensMedic.afterPost = m_aposMedic;
        m_dm.TabNotas.onCalcFields = m_calcNotas;
        m_dm.TabItens.onCalcFields = m_calcItens;
        m_dm.TabItensMedic.onCalcFields = m_calcMedic;
        for (db::DataSet *ds : {&m_dm.TabNotas, &m_dm.TabItens, &m_dm.TabItensMedic})
            ds->autoCalcFields = true;
    }
    EventosSuspensos(const EventosSuspensos &) = delete;
    EventosSuspensos &operator=(const EventosSuspensos &) = delete;

private:
    TDM &m_dm;
    db::DataSet::Event m_aposItens, m_aposMedic, m_calcNotas, m_calcItens, m_calcMedic;
};

// The interstate rate a margin is adjusted from: the rate the invoice
// applied, or the configured credit rate when it shows none.
Currency aliqInterestadual(const NFeItem &origem)
{
    return origem.pICMS > Currency() ? origem.pICMS : Settings::instance().aliqCreditoICMS();
}

void preparaMedicamento(const ContextoImportacao &ctx, const NFeItem &origem, LinhaImportada &l, db::Query &medic)
{
    l.codBarra = origem.cEAN.trimmed().left(13);
    l.qtd = static_cast<int>(origem.qCom.raw() / Currency::Scale);
    if (l.codBarra.isEmpty() || !l.codBarra.front().isDigit()) {
        l.problema = QStringLiteral("o item não tem código de barras (cEAN)");
        return;
    }
    medic.close();
    medic.paramByName(QStringLiteral("CodBarra")).setAsString(l.codBarra);
    medic.open();
    if (medic.isEmpty()) {
        l.problema = QStringLiteral("o código de barras %1 não está na tabela de medicamentos").arg(l.codBarra);
        medic.close();
        return;
    }
    l.descricaoMedic = medic.fieldByName(QStringLiteral("Descricao")).asString();
    l.laboratorio = medic.fieldByName(QStringLiteral("Laboratorio")).asString();
    l.lista = medic.fieldByName(QStringLiteral("Lista")).asString();
    const PrecoMedic preco = PrecoMedicamento(medic.fieldByName(QStringLiteral("Generico")).asBoolean(),
        medic.fieldByName(QStringLiteral("Valor1")).asCurrency(),
        medic.fieldByName(QStringLiteral("Valor2")).asCurrency(),
        medic.fieldByName(QStringLiteral("Valor3")).asCurrency(),
        medic.fieldByName(QStringLiteral("Valor4")).asCurrency());
    medic.close();
    l.aliqICMS = preco.aliqICMS;
    if (ctx.grupo == Grupo::Medicamentos) {
        // Priced by the consumer price table: quantity × price, no margin.
        l.debVlMerc = ValorItemMedic(Currency::fromInt(l.qtd), preco.preco, Currency());
        l.mva = Currency();
        return;
    }
    // Priced by the margin of the medicine's list, adjusted for an interstate operation.
    const Currency mvaLista
        = Currency::fromDouble(MVAListaMedic(IniLocal2(), NomeListaMedic(l.lista), ctx.opInterna, l.aliqICMS));
    l.mva = mvaLista;
    if (!ctx.opInterna) {
        const Currency interestadual = aliqInterestadual(origem);
        const Currency ajustada
            = interestadual > l.aliqICMS ? Currency() : CalculaMVAAjustada(mvaLista, interestadual, l.aliqICMS);
        if (ajustada > Currency()) {
            l.mva = ajustada;
            l.mvaPreAjustada = mvaLista;
        }
    }
    // The invoice's value of the line stands for quantity × unit price.
    l.debVlMerc = ValorItemMedic(Currency::fromInt(1), l.valorNF, l.mva);
}

// The note of a line stored with its effective credit rate.
QString textoAliqEfetiva(Currency efetiva, Currency declarada)
{
    return QStringLiteral("crédito do ICMS pela alíquota efetiva de %1 (a NF-e declara %2)")
        .arg(Format(QStringLiteral("%n%%"), {efetiva.toDouble()}),
            Format(QStringLiteral("%n%%"), {declarada.toDouble()}));
}

Currency campoMoeda(db::DataSet &ds, const char *nome) { return ds.fieldByName(QLatin1String(nome)).asCurrency(); }

} // namespace

bool ContextoImportacao::medicamento() const { return isGrupoMedicamento(grupo); }

ContextoImportacao contextoImportacao(TDM &dm)
{
    ContextoImportacao c;
    db::Table &calc = dm.TabCalc;
    if (!calc.isActive() || calc.isEmpty())
        return c;
    c.idCalculo = calc.fieldByName(QStringLiteral("IdCalculo")).asInteger();
    c.tipoCalculo = calc.fieldByName(QStringLiteral("TipoCalculo")).asInteger();
    c.grupo = calc.fieldByName(QStringLiteral("Grupo")).asInteger();
    const db::Field &op = calc.fieldByName(QStringLiteral("OpInterna"));
    c.opInterna = op.isNull() || op.asBoolean(); // the dialogs treat only "false" as interstate
    return c;
}

// ---- the annex proposal --------------------------------------------------------------------

PropostaBrelva::PropostaBrelva(TDM &dm)
{
    if (!dm.TabBrelva.isActive() && !dm.TabBrelva.exists())
        dm.TabBeforeOpen(dm.TabBrelva);
    QStringList colunas;
    for (int i = 1; i <= 15; ++i)
        colunas << QStringLiteral("CODIGONBM%1").arg(i);
    db::Query q(&dm.BaseDados);
    q.setSql(QStringLiteral("SELECT ITEM, EX, SUBITEM, ID, DESCRICAO, MVA1, CEST, FEM, AMBITO, ")
        + colunas.join(QStringLiteral(", ")) + QStringLiteral(" FROM BRELVA WHERE AMBITO <> 0 ORDER BY ID"));
    q.open();
    for (q.first(); !q.eof(); q.next()) {
        CandidatoBrelva c;
        c.item = q.fieldByName(QStringLiteral("ITEM")).asInteger();
        c.ex = q.fieldByName(QStringLiteral("EX")).asInteger();
        c.subItem = q.fieldByName(QStringLiteral("SUBITEM")).asInteger();
        c.id = q.fieldByName(QStringLiteral("ID")).asInteger();
        c.ambito = q.fieldByName(QStringLiteral("AMBITO")).asInteger();
        c.descricao = q.fieldByName(QStringLiteral("DESCRICAO")).asString();
        c.cest = q.fieldByName(QStringLiteral("CEST")).asString();
        c.mva = q.fieldByName(QStringLiteral("MVA1")).asCurrency();
        c.fem = q.fieldByName(QStringLiteral("FEM")).asBoolean();
        c.codigo = FormataCodigoBrelva(c.item, c.ex, c.subItem);
        c.aliqICMS = AliqICMSCodigo(c.codigo, 0);
        c.aliqMVAAjustada = AliqInternaMVAAjustada(c.codigo, c.aliqICMS);
        c.excluidoMVAAjustada = dm.ExcluidoMVAAjustada(c.codigo);
        c.regrasLidas = true;
        const int linha = int(m_linhas.size());
        for (const QString &col : colunas) {
            const QString d = digitos(q.fieldByName(col).asString());
            QList<int> &linhas = m_porNBM[d];
            if (!d.isEmpty() && (linhas.isEmpty() || linhas.last() != linha))
                linhas << linha;
        }
        m_porCodigo.insert(c.codigo, linha);
        m_linhas << c;
    }
    q.close();
}

QList<CandidatoBrelva> PropostaBrelva::candidatos(const QString &ncm, const QString &cest) const
{
    const QString n = digitos(ncm);
    QList<CandidatoBrelva> out;
    if (n.size() < 2)
        return out;
    // The rows with a product code that begins the NCM, in the table's order.
    QList<int> linhas;
    for (qsizetype k = 1; k <= n.size(); ++k) {
        const auto it = m_porNBM.constFind(n.left(k));
        if (it != m_porNBM.cend())
            linhas << *it;
    }
    std::sort(linhas.begin(), linhas.end());
    linhas.erase(std::unique(linhas.begin(), linhas.end()), linhas.end());
    for (int i : linhas)
        out << m_linhas[i];
    const QString c = digitos(cest);
    if (!c.isEmpty()) {
        QList<CandidatoBrelva> comCest;
        for (const CandidatoBrelva &x : out)
            if (digitos(x.cest) == c)
                comCest << x;
        if (!comCest.isEmpty())
            return comCest;
    }
    return out;
}

std::optional<CandidatoBrelva> PropostaBrelva::porCodigo(const QString &codigo) const
{
    const CodigoBrelva p = SeparaCodigoBrelva(codigo);
    const int i = m_porCodigo.value(FormataCodigoBrelva(p.item, p.ex, p.subItem), -1);
    if (i < 0)
        return std::nullopt;
    return m_linhas[i];
}

// ---- preparing an invoice ------------------------------------------------------------------

bool NotaImportada::pronta() const
{
    for (const LinhaImportada &l : linhas)
        if (!l.problema.isEmpty())
            return false;
    return true;
}

std::optional<Currency> PerguntasAliquota::pergunta(const QString &mensagem, const QString &chave)
{
    const auto feita = m_respostas.constFind(chave);
    if (feita != m_respostas.cend())
        return *feita;
    std::optional<Currency> r;
    const qsizetype marca = mensagem.indexOf(QLatin1String("::"));
    if (marca >= 0) {
        // A rate of zero or below asks nothing.
        const Currency oferta = LeValor(mensagem.mid(marca + 2, 5));
        if (oferta > Currency()) {
            bool naoMostre = false;
            QString texto = mensagem.left(marca);
            if (ConfirmaPadraoNaoNaoMostre(texto.replace(QLatin1Char('#'), QLatin1Char('\r')), naoMostre))
                r = oferta;
        }
    } else if (mensagem.contains(QLatin1Char('@'))) {
        r = escolhe ? escolhe(mensagem) : AliquotaEscolhida(InterpretaMensagemAliquota(mensagem), false, 0);
    }
    m_respostas.insert(chave, r);
    return r;
}

std::optional<Currency> PerguntasAliquota::aliqInterna(const QString &codigo)
{
    return pergunta(MensagemAliq(codigo), codigo + QStringLiteral("p1"));
}

std::optional<Currency> PerguntasAliquota::aliqMVAAjustada(const QString &codigo)
{
    return pergunta(MensagemAliqMVAAjustada(codigo), codigo + QStringLiteral("p2"));
}

void EscolheBrelvaLinha(TDM &dm, const ContextoImportacao &ctx, const NFeItem &origem, LinhaImportada &l,
    const std::optional<CandidatoBrelva> &c, PerguntasAliquota *perguntas)
{
    l.brelva = c;
    l.aliqICMS = l.mva = l.mvaPreAjustada = Currency();
    l.fem = false;
    if (!c) {
        l.problema = l.candidatos.isEmpty()
            ? QStringLiteral("nenhum subitem do Brelva para o NCM %1").arg(origem.ncm)
            : QStringLiteral("%1 subitens do Brelva possíveis para o NCM %2: escolha um")
                  .arg(l.candidatos.size())
                  .arg(origem.ncm);
        return;
    }
    const RecusaAmbito recusa
        = RegraAmbito(ctx.tipoCalculo, ctx.grupo, ctx.grupo == Grupo::Combustiveis, c->item, c->ambito);
    if (recusa != RecusaAmbito::Nenhuma) {
        l.problema = MensagemRecusaAmbito(recusa, c->item, c->ambito);
        return;
    }
    l.problema.clear();
    l.fem = c->fem;
    const Currency aliqCodigo = c->regrasLidas ? c->aliqICMS : AliqICMSCodigo(c->codigo, 0);
    l.aliqICMS = aliqCodigo;
    if (perguntas && !Contribuinte) // the taxpayer edition is not asked about the internal rate
        if (const auto r = perguntas->aliqInterna(c->codigo))
            l.aliqICMS = *r;
    l.mva = ctx.difal() ? Currency() : c->mva;
    l.mvaPreAjustada = ctx.opInterna ? Currency() : l.mva;
    if (ctx.opInterna || ctx.difal())
        return;
    Currency interna = c->regrasLidas && l.aliqICMS == aliqCodigo ? c->aliqMVAAjustada
                                                                  : AliqInternaMVAAjustada(c->codigo, l.aliqICMS);
    if (perguntas)
        if (const auto r = perguntas->aliqMVAAjustada(c->codigo))
            interna = *r;
    if (c->regrasLidas ? c->excluidoMVAAjustada : dm.ExcluidoMVAAjustada(c->codigo))
        return;
    const Currency interestadual = aliqInterestadual(origem);
    // As the adjusted-margin dialog: no adjustment when the interstate rate is above the internal one.
    if (interestadual > interna)
        return;
    const Currency ajustada = CalculaMVAAjustada(l.mva, interestadual, interna);
    if (ajustada > Currency())
        l.mva = ajustada;
}

NotaImportada PreparaNota(TDM &dm, const ContextoImportacao &ctx, const PropostaBrelva &proposta, NFeDocumento nfe,
    const QString &arquivo, PerguntasAliquota *perguntas, const QSet<QString> *jaImportadas)
{
    NotaImportada n;
    n.arquivo = arquivo;
    n.nfe = std::move(nfe);
    n.duplicada = jaImportadas ? jaImportadas->contains(n.nfe.chave) : ChaveJaImportada(dm, ctx.idCalculo, n.nfe.chave);
    if (n.nfe.idDest == 2 && ctx.opInterna)
        n.avisos << QStringLiteral("NF-e interestadual num cálculo de operação interna");
    else if (n.nfe.idDest == 1 && !ctx.opInterna)
        n.avisos << QStringLiteral("NF-e de operação interna num cálculo interestadual");
    if (n.nfe.destinatario.ie.isEmpty()
        || n.nfe.destinatario.ie.compare(QLatin1String("ISENTO"), Qt::CaseInsensitive) == 0)
        n.avisos << QStringLiteral("destinatário sem Inscrição Estadual");

    std::optional<db::Query> medic;
    if (ctx.medicamento()) {
        if (!dm.TabMedic.isActive() && !dm.TabMedic.exists())
            dm.TabBeforeOpen(dm.TabMedic);
        medic.emplace(&dm.BaseDados);
        medic->setSql(QStringLiteral("SELECT DESCRICAO, LABORATORIO, LISTA, GENERICO, VALOR1, VALOR2, VALOR3, VALOR4 "
                                     "FROM MEDIC WHERE CODBARRA = :CodBarra"));
    }
    for (int i = 0; i < n.nfe.itens.size(); ++i) {
        const NFeItem &it = n.nfe.itens[i];
        LinhaImportada l;
        l.indice = i;
        l.descricaoNF = it.xProd.toUpper().left(50);
        l.valorNF = it.vProd - it.vDesc + it.vOutro;
        l.valorIPI = it.vIPI;
        l.creditoICMS = it.pICMS;
        l.valorCreditoICMS = it.vICMS;
        if (medic) {
            preparaMedicamento(ctx, it, l, *medic);
        } else {
            // The line credits the invoice's own ICMS and the invoice total
            // credits rate × value: where they differ the line keeps the rate
            // that gives the same credit, and the review says so.
            l.creditoICMS = AliqCreditoEfetiva(l.valorNF, it.pICMS, it.vICMS);
            if (l.creditoICMS != it.pICMS) {
                l.aliqDeclarada = it.pICMS;
                n.avisos << QStringLiteral("item %1: %2").arg(it.nItem).arg(textoAliqEfetiva(l.creditoICMS, it.pICMS));
            }
            l.candidatos = proposta.candidatos(it.ncm, it.cest);
            EscolheBrelvaLinha(dm, ctx, it, l,
                l.candidatos.size() == 1 ? std::optional<CandidatoBrelva>(l.candidatos.first()) : std::nullopt,
                perguntas);
        }
        n.linhas << l;
    }
    return n;
}

QStringList ArquivosNFe(const QStringList &caminhos)
{
    QStringList out;
    for (const QString &c : caminhos) {
        const QFileInfo fi(c);
        if (!fi.isDir()) {
            out << c;
            continue;
        }
        QDir dir(c);
        dir.setNameFilters({QStringLiteral("*.xml")});
        dir.setFilter(QDir::Files);
        dir.setSorting(QDir::Name);
        for (const QString &nome : dir.entryList())
            out << dir.filePath(nome);
    }
    return out;
}

LoteNFe LeArquivosNFe(TDM &dm, const ContextoImportacao &ctx, const QStringList &arquivos,
    const std::function<void(int, int)> &progresso, PerguntasAliquota *perguntas)
{
    LoteNFe lote;
    const PropostaBrelva proposta = ctx.medicamento() ? PropostaBrelva() : PropostaBrelva(dm);
    const QSet<QString> jaImportadas = ChavesImportadas(dm, ctx.idCalculo);
    QSet<QString> chaves;
    for (int i = 0; i < arquivos.size(); ++i) {
        NFeLeitura r = LeArquivoNFe(arquivos[i]);
        if (!r.ok()) {
            lote.erros << MensagemNFeRecusada(arquivos[i], r.motivo);
        } else {
            NotaImportada n = PreparaNota(dm, ctx, proposta, std::move(*r.nfe), arquivos[i], perguntas, &jaImportadas);
            // The same invoice twice in one import counts as already imported.
            if (chaves.contains(n.nfe.chave))
                n.duplicada = true;
            chaves.insert(n.nfe.chave);
            lote.notas << std::move(n);
        }
        if (progresso)
            progresso(i + 1, int(arquivos.size()));
    }
    return lote;
}

bool ChaveJaImportada(TDM &dm, int idCalculo, const QString &chave)
{
    // A key counts while its invoice is still in the calculation.
    return ChavesImportadas(dm, idCalculo).contains(chave);
}

QSet<QString> ChavesImportadas(TDM &dm, int idCalculo)
{
    QSet<QString> out;
    if (!dm.BaseDados.tableExists(kTabNotas))
        return out;
    db::Query q(&dm.BaseDados);
    q.setSql(QStringLiteral("SELECT K.CHAVE FROM NFEIMPORTADAS K, NOTAS N "
                            "WHERE K.IDCALCULO = :IdCalculo AND N.IDNOTA = K.IDNOTA AND N.IDCALCULO = K.IDCALCULO"));
    q.paramByName(QStringLiteral("IdCalculo")).setAsInteger(idCalculo);
    q.open();
    for (q.first(); !q.eof(); q.next())
        out.insert(q.fieldByName(QStringLiteral("CHAVE")).asString());
    q.close();
    return out;
}

// ---- storing ---------------------------------------------------------------------------------

QList<int> GravaImportacao(TDM &dm, const ContextoImportacao &ctx, const QList<NotaImportada> &notas,
    const std::function<void(int, int)> &progresso)
{
    QList<const NotaImportada *> novas;
    QSet<QString> chaves;
    for (const NotaImportada &n : notas) {
        if (n.duplicada || chaves.contains(n.nfe.chave))
            continue;
        if (!n.pronta())
            throw std::runtime_error(
                QStringLiteral("A NF-e %1 (arquivo \"%2\") tem itens sem subitem do Brelva válido.")
                    .arg(n.nfe.nNF, n.arquivo)
                    .toStdString());
        chaves.insert(n.nfe.chave);
        novas << &n;
    }
    QList<int> ids;
    if (novas.isEmpty())
        return ids;
    criaTabelasDeclaradas(dm);
    for (db::Table *t : {&dm.TabNotas, &dm.TabItens, &dm.TabItensMedic, &dm.TabRemet, &dm.TabDest})
        if (!t->isActive())
            t->open();

    {
        db::Transaction tx(dm.BaseDados);
        {
            const EventosSuspensos suspensos(dm);
            db::Query insNota(&dm.BaseDados), insItem(&dm.BaseDados), insAliq(&dm.BaseDados);
            insAliq.setSql(QStringLiteral(
                "INSERT INTO NFECREDITOEFETIVO (IDNOTA, NROITEM, PICMS) VALUES (:IdNota, :NroItem, :PICMS)"));
            insNota.setSql(QStringLiteral("INSERT INTO NFEIMPORTADAS (IDNOTA, IDCALCULO, CHAVE, VST) VALUES (:IdNota, "
                                          ":IdCalculo, :Chave, :VST)"));
            insItem.setSql(QStringLiteral("INSERT INTO NFEITENSDECLARADOS (IDNOTA, NROITEM, VBCST, PMVAST, VICMSST) "
                                          "VALUES (:IdNota, :NroItem, :VBCST, :PMVAST, :VICMSST)"));
            db::Table &tn = dm.TabNotas;
            db::Table &ti = ctx.medicamento() ? dm.TabItensMedic : dm.TabItens;
            int proximoId = dm.ProximoIdNota();
            for (int k = 0; k < novas.size(); ++k) {
                const NotaImportada &n = *novas[k];
                const NFeDocumento &d = n.nfe;
                const QString cnpj = d.emitente.cnpj.size() == 14 ? FormataDocumento(d.emitente.cnpj) : QString();
                const QString ie = d.destinatario.ie.compare(QLatin1String("ISENTO"), Qt::CaseInsensitive) == 0
                    ? QString()
                    : formataIE(d.destinatario.ie);
                registra(
                    dm, dm.TabRemet, QStringLiteral("CNPJRemet"), QStringLiteral("Remetente"), cnpj, d.emitente.nome);
                registra(
                    dm, dm.TabDest, QStringLiteral("IEDest"), QStringLiteral("Destinatario"), ie, d.destinatario.nome);

                const int idNota = proximoId++;
                tn.append();
                tn.fieldByName(QStringLiteral("IdCalculo")).setAsInteger(ctx.idCalculo);
                tn.fieldByName(QStringLiteral("IdNota")).setAsInteger(idNota);
                tn.fieldByName(QStringLiteral("NroNF")).setAsString(d.nNF.left(10));
                tn.fieldByName(QStringLiteral("DataEmissao")).setAsDate(d.dataEmissao);
                if (!cnpj.isEmpty())
                    tn.fieldByName(QStringLiteral("CNPJRemet")).setAsString(cnpj);
                if (!ie.isEmpty())
                    tn.fieldByName(QStringLiteral("IEDest")).setAsString(ie);
                tn.fieldByName(QStringLiteral("Frete")).setAsCurrency(d.vFrete);
                tn.fieldByName(QStringLiteral("CreditoFrete")).setAsBoolean(false);
                tn.fieldByName(QStringLiteral("CreditoICMSMedic"))
                    .setAsCurrency(ctx.medicamento() ? d.vICMS : Currency());
                tn.fieldByName(QStringLiteral("DestaqueICMSST")).setAsCurrency(d.vST);
                tn.fieldByName(QStringLiteral("TotalARecolher")).setAsCurrency(Currency());
                tn.post();

                int nro = 0;
                for (const LinhaImportada &l : n.linhas) {
                    const NFeItem &o = d.itens[l.indice];
                    ++nro;
                    ti.append();
                    ti.fieldByName(QStringLiteral("IdNota")).setAsInteger(idNota);
                    ti.fieldByName(QStringLiteral("NroItem")).setAsInteger(nro);
                    ti.fieldByName(QStringLiteral("MVA")).setAsCurrency(l.mva);
                    ti.fieldByName(QStringLiteral("MVAPreAjustada")).setAsCurrency(l.mvaPreAjustada);
                    ti.fieldByName(QStringLiteral("CreditoICMS")).setAsCurrency(l.creditoICMS);
                    ti.fieldByName(QStringLiteral("FEM")).setAsBoolean(l.fem);
                    if (ctx.medicamento()) {
                        ti.fieldByName(QStringLiteral("CodBarra")).setAsString(l.codBarra);
                        ti.fieldByName(QStringLiteral("Descricao")).setAsString(l.descricaoMedic.left(50));
                        ti.fieldByName(QStringLiteral("Qtd")).setAsInteger(l.qtd);
                        ti.fieldByName(QStringLiteral("DebVlMerc")).setAsCurrency(l.debVlMerc);
                        ti.fieldByName(QStringLiteral("DebAliqICMS")).setAsCurrency(l.aliqICMS);
                        ti.fieldByName(QStringLiteral("Laboratorio")).setAsString(l.laboratorio.left(40));
                        ti.fieldByName(QStringLiteral("Lista")).setAsString(l.lista.left(1));
                    } else {
                        ti.fieldByName(QStringLiteral("IdBrelva")).setAsInteger(l.brelva->id);
                        ti.fieldByName(QStringLiteral("ItemBrelva")).setAsString(l.brelva->codigo);
                        ti.fieldByName(QStringLiteral("DescricaoNF")).setAsString(l.descricaoNF);
                        ti.fieldByName(QStringLiteral("ValorNF")).setAsCurrency(l.valorNF);
                        ti.fieldByName(QStringLiteral("ValorIPI")).setAsCurrency(l.valorIPI);
                        ti.fieldByName(QStringLiteral("AliqICMS")).setAsCurrency(l.aliqICMS);
                        ti.fieldByName(QStringLiteral("ValorCreditoICMS")).setAsCurrency(l.valorCreditoICMS);
                        for (const char *zero : {"PMPF", "Litros", "PrecoLitroNF"})
                            ti.fieldByName(QLatin1String(zero)).setAsCurrency(Currency());
                    }
                    ti.post();
                    insItem.paramByName(QStringLiteral("IdNota")).setAsInteger(idNota);
                    insItem.paramByName(QStringLiteral("NroItem")).setAsInteger(nro);
                    insItem.paramByName(QStringLiteral("VBCST")).setAsCurrency(o.vBCST);
                    insItem.paramByName(QStringLiteral("PMVAST")).setAsCurrency(o.pMVAST);
                    insItem.paramByName(QStringLiteral("VICMSST")).setAsCurrency(o.vICMSST);
                    insItem.execSql();
                    if (l.aliqDeclarada) {
                        insAliq.paramByName(QStringLiteral("IdNota")).setAsInteger(idNota);
                        insAliq.paramByName(QStringLiteral("NroItem")).setAsInteger(nro);
                        insAliq.paramByName(QStringLiteral("PICMS")).setAsCurrency(*l.aliqDeclarada);
                        insAliq.execSql();
                    }
                }
                insNota.paramByName(QStringLiteral("IdNota")).setAsInteger(idNota);
                insNota.paramByName(QStringLiteral("IdCalculo")).setAsInteger(ctx.idCalculo);
                insNota.paramByName(QStringLiteral("Chave")).setAsString(d.chave);
                insNota.paramByName(QStringLiteral("VST")).setAsCurrency(d.vST);
                insNota.execSql();
                ids << idNota;
                if (progresso)
                    progresso(k + 1, int(novas.size()));
            }
        }
        tx.commit();
    }
    // The totals of the invoices are worked out again, as after a line is posted.
    dm.FIdNotaFreteBase = -1;
    dm.TabNotas.refresh();
    return ids;
}

// ---- comparison --------------------------------------------------------------------------------

bool DiferencaRelevante(Currency diferenca)
{
    const Currency centavo = Currency::fromRaw(Currency::Scale / 100);
    return diferenca > centavo || diferenca < -centavo;
}

QString ComparacaoLinha::observacao() const
{
    return aliqDeclarada ? textoAliqEfetiva(aliqCredito, *aliqDeclarada) : QString();
}

bool ComparacaoLinha::destaca() const { return DiferencaRelevante(diferencaST()) || DiferencaRelevante(diferencaBC()); }

QList<ComparacaoNota> ComparaImportadas(TDM &dm, const ContextoCalculo &contexto, const QList<int> &idNotas)
{
    QList<ComparacaoNota> out;
    const ContextoImportacao ctx = contextoImportacao(dm);
    if (!dm.BaseDados.tableExists(kTabNotas) || ctx.idCalculo == 0)
        return out;
    db::Query qn(&dm.BaseDados);
    qn.setSql(QStringLiteral(
        "SELECT K.IDNOTA, K.CHAVE, K.VST, N.NRONF, N.FRETE, N.CNPJREMET, N.CREDITOICMSMEDIC, R.REMETENTE "
        "FROM NFEIMPORTADAS K INNER JOIN NOTAS N ON N.IDNOTA = K.IDNOTA "
        "LEFT JOIN REMETENTES R ON R.CNPJREMET = N.CNPJREMET "
        "WHERE N.IDCALCULO = :IdCalculo ORDER BY K.IDNOTA"));
    qn.paramByName(QStringLiteral("IdCalculo")).setAsInteger(ctx.idCalculo);
    qn.open();
    // Imports made before effective rates were stored have no such table.
    const bool temAliqEfetiva = dm.BaseDados.tableExists(kTabAliqEfetiva);
    for (qn.first(); !qn.eof(); qn.next()) {
        ComparacaoNota n;
        n.idNota = qn.fieldByName(QStringLiteral("IDNOTA")).asInteger();
        if (!idNotas.isEmpty() && !idNotas.contains(n.idNota))
            continue;
        n.chave = qn.fieldByName(QStringLiteral("CHAVE")).asString();
        n.stDeclarado = campoMoeda(qn, "VST");
        n.nroNF = qn.fieldByName(QStringLiteral("NRONF")).asString();
        n.remetente = qn.fieldByName(QStringLiteral("REMETENTE")).asString();
        if (n.remetente.isEmpty())
            n.remetente = qn.fieldByName(QStringLiteral("CNPJREMET")).asString();
        const Currency frete = campoMoeda(qn, "FRETE");
        const Currency creditoMedic = campoMoeda(qn, "CREDITOICMSMEDIC");

        QHash<int, std::array<Currency, 3>> declarado;
        {
            db::Query qd(&dm.BaseDados);
            qd.setSql(QStringLiteral(
                "SELECT NROITEM, VBCST, PMVAST, VICMSST FROM NFEITENSDECLARADOS WHERE IDNOTA = :IdNota"));
            qd.paramByName(QStringLiteral("IdNota")).setAsInteger(n.idNota);
            qd.open();
            for (qd.first(); !qd.eof(); qd.next())
                declarado.insert(qd.fieldByName(QStringLiteral("NROITEM")).asInteger(),
                    {campoMoeda(qd, "VBCST"), campoMoeda(qd, "PMVAST"), campoMoeda(qd, "VICMSST")});
        }
        QHash<int, Currency> aliqDeclarada;
        if (temAliqEfetiva) {
            db::Query qa(&dm.BaseDados);
            qa.setSql(QStringLiteral("SELECT NROITEM, PICMS FROM NFECREDITOEFETIVO WHERE IDNOTA = :IdNota"));
            qa.paramByName(QStringLiteral("IdNota")).setAsInteger(n.idNota);
            qa.open();
            for (qa.first(); !qa.eof(); qa.next())
                aliqDeclarada.insert(qa.fieldByName(QStringLiteral("NROITEM")).asInteger(), campoMoeda(qa, "PICMS"));
        }

        db::Query qi(&dm.BaseDados);
        if (ctx.medicamento()) {
            qi.setSql(QStringLiteral("SELECT NROITEM, CODBARRA, DESCRICAO, DEBVLMERC, DEBALIQICMS, MVA FROM ITENSMEDIC "
                                     "WHERE IDNOTA = :IdNota ORDER BY NROITEM"));
        } else {
            qi.setSql(QStringLiteral(
                "SELECT NROITEM, ITEMBRELVA, DESCRICAONF, VALORNF, VALORIPI, ALIQICMS, MVA, CREDITOICMS, "
                "VALORCREDITOICMS, FEM, PMPF, LITROS, PRECOLITRONF FROM ITENS "
                "WHERE IDNOTA = :IdNota ORDER BY NROITEM"));
        }
        qi.paramByName(QStringLiteral("IdNota")).setAsInteger(n.idNota);
        qi.open();
        if (ctx.medicamento()) {
            // The medicine report's detailed rule: the invoice credit shared by
            // value and rounded to cents, the ST rounded to cents.
            Currency soma;
            for (qi.first(); !qi.eof(); qi.next())
                soma += campoMoeda(qi, "DEBVLMERC");
            for (qi.first(); !qi.eof(); qi.next()) {
                ComparacaoLinha l;
                l.nroItem = qi.fieldByName(QStringLiteral("NROITEM")).asInteger();
                l.itemBrelva = qi.fieldByName(QStringLiteral("CODBARRA")).asString();
                l.descricao = qi.fieldByName(QStringLiteral("DESCRICAO")).asString();
                const Currency base = campoMoeda(qi, "DEBVLMERC");
                l.bcCalculada = base;
                l.mvaCalculada = campoMoeda(qi, "MVA");
                l.stCalculado
                    = LinhaMedicAnalitica(base, campoMoeda(qi, "DEBALIQICMS"), creditoMedic, soma, FatoresMR {})
                          .aRecolher;
                const auto dcl = declarado.value(l.nroItem);
                l.bcDeclarada = dcl[0];
                l.mvaDeclarada = dcl[1];
                l.stDeclarado = dcl[2];
                n.stCalculado += l.stCalculado;
                n.linhas << l;
            }
        } else {
            struct Linha {
                int nro;
                QString item, descricao;
                ItemEntrada e;
            };
            QList<Linha> linhas;
            Currency freteBase; // value + IPI of the lines not priced by PMPF
            for (qi.first(); !qi.eof(); qi.next()) {
                Linha l {qi.fieldByName(QStringLiteral("NROITEM")).asInteger(),
                    qi.fieldByName(QStringLiteral("ITEMBRELVA")).asString(),
                    qi.fieldByName(QStringLiteral("DESCRICAONF")).asString(), ItemEntrada {}};
                ItemEntrada &e = l.e;
                e.valorNF = campoMoeda(qi, "VALORNF");
                e.valorIPI = campoMoeda(qi, "VALORIPI");
                e.aliqICMS = campoMoeda(qi, "ALIQICMS");
                e.mva = campoMoeda(qi, "MVA");
                e.creditoICMS = campoMoeda(qi, "CREDITOICMS");
                e.valorCreditoICMS = campoMoeda(qi, "VALORCREDITOICMS");
                e.pmpf = campoMoeda(qi, "PMPF");
                e.litros = campoMoeda(qi, "LITROS");
                e.precoLitroNF = campoMoeda(qi, "PRECOLITRONF");
                e.fem = qi.fieldByName(QStringLiteral("FEM")).asBoolean();
                e.itemBrelva = l.item;
                e.frete = frete;
                if (e.pmpf.isZero())
                    freteBase += e.valorNF + e.valorIPI;
                linhas << l;
            }
            for (const Linha &x : linhas) {
                const ItemValores v = CalculaItem(contexto, x.e, [freteBase] { return freteBase; });
                ComparacaoLinha l;
                l.nroItem = x.nro;
                l.itemBrelva = x.item;
                l.descricao = x.descricao;
                l.bcCalculada = v.valorFinal;
                l.mvaCalculada = x.e.mva;
                l.stCalculado = v.icmsARecolher;
                l.aliqCredito = x.e.creditoICMS;
                if (const auto it = aliqDeclarada.constFind(x.nro); it != aliqDeclarada.cend())
                    l.aliqDeclarada = *it;
                const auto dcl = declarado.value(l.nroItem);
                l.bcDeclarada = dcl[0];
                l.mvaDeclarada = dcl[1];
                l.stDeclarado = dcl[2];
                n.stCalculado += l.stCalculado;
                n.linhas << l;
            }
        }
        qi.close();
        out << n;
    }
    qn.close();
    return out;
}

} // namespace stb
