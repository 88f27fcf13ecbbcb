#include "outputs/formrep.h"

#include "outputs/comparanfe.h"

#include "core/datamodule.h"
#include "core/edition.h"
#include "core/grupos.h"
#include "core/settings.h"
#include "outputs/regimes.h"
#include "platform/formatting.h"
#include "platform/inifile.h"

#include <QPagedPaintDevice>
#include <algorithm>

namespace stb {

using rep::Alinha;
using rep::Banda;
using rep::Elemento;

namespace {

constexpr double kLinha = 3.5; // height of a line of 8-point text, mm
constexpr double kRegraFina = 0.1;

const char *const kSentencaContribuinte = " As informações do cálculo são de inteira responsabilidade do contribuinte.";

// Designed widths of the columns, mm; they add up to the width of the
// general report with the fuel column shown.
constexpr std::array<double, NumColunas> kLarguras
    = {6, 17, 13, 17, 14, 14, 17, 11, 17, 9, 17, 9, 16, 16, 17, 16, 16, 17, 17};

bool colunaNegrito(int c) { return c == ColSubItem || c == ColBC || c == ColARecolher || c == ColTotal; }
bool colunaPequena(int c) { return c == ColMVA || c == ColAliq || c == ColAliqCred; }

// The report's formats of amounts ("%n", "%.4n", "%.1n", "%g%%").
QString fmt(const char *formato, Currency v)
{
    const QLatin1StringView f(formato);
    if (f == QLatin1String("%n"))
        return textoNumero(v, 2);
    if (f == QLatin1String("%.4n"))
        return textoNumero(v, 4);
    if (f == QLatin1String("%.1n"))
        return textoNumero(v, 1);
    if (f == QLatin1String("%g%%"))
        return textoGeral(v) + QLatin1Char('%');
    return Format(QString(f), {v.toDouble()});
}

Elemento texto(const QString &nome, QRectF area, const QFont &fonte, Alinha alinha = Alinha::Esquerda)
{
    Elemento e;
    e.nome = nome;
    e.area = area;
    e.fonte = fonte;
    e.alinha = alinha;
    return e;
}

Elemento memo(const QString &nome, QRectF area, const QFont &fonte, Alinha alinha = Alinha::Esquerda)
{
    Elemento e = texto(nome, area, fonte, alinha);
    e.tipo = Elemento::Tipo::Memo;
    return e;
}

Elemento regra(double y, double largura, double espessura)
{
    Elemento e;
    e.tipo = Elemento::Tipo::Linha;
    e.area = QRectF(0, y, largura, 0);
    e.espessura = espessura;
    return e;
}

} // namespace

// ===== configuration ===============================================================

ConfigRelatorio ConfigRelatorio::doPrograma()
{
    Settings &s = Settings::instance();
    ConfigRelatorio c;
    c.somaMR = s.somaMR();
    c.mrNormal = s.mrNormal();
    c.mrEmDobro = s.mrEmDobro();
    c.mrReducao = s.mrReducao();
    c.contribuinte = Contribuinte;
    c.unidade = s.unitName();
    c.codigos = &s.iniLocal2();
    return c;
}

// ===== the skeleton =================================================================

// Geometry of the bands and the rows the band handlers are on.
struct RelatorioCalculo::Layout {
    std::array<double, NumColunas> x {}, w {};
    double largura = 0;
    int nota = 0, item = 0, linhaResumo = 0;
    size_t primeiraSubSecao = 0; // index in subResumo of the first sub-report of the added sections
    std::vector<std::unique_ptr<rep::FonteDados>> fontes;
    std::vector<std::unique_ptr<rep::SubRelatorio>> subs;
};

RelatorioCalculo::RelatorioCalculo(TDM &dm, const ConfigRelatorio &cfg)
    : m_dm(dm),
      m_cfg(cfg),
      m_bandas(std::make_unique<rep::RelatorioBandas>()),
      m_layout(std::make_unique<Layout>())
{
}

RelatorioCalculo::~RelatorioCalculo() = default;

QString RelatorioCalculo::tituloMR(const FatoresMR &f)
{
    return f.multaPorCento == 0 ? QString() : QStringLiteral("MR %1%").arg(f.multaPorCento);
}

QString RelatorioCalculo::tituloMRRed(const FatoresMR &f)
{
    if (f.multaPorCento == 0)
        return {};
    return f.reducaoPorCento == 0 ? QStringLiteral("MR S/R") : QStringLiteral("MR %1%").arg(f.reducaoPorCento);
}

void RelatorioCalculo::Prepara(int opcaoMR, const QString &observ)
{
    m_imp = Impressao {};
    m_regimes.clear();
    m_regimesLidos.clear();
    m_imp.opcaoMR = opcaoMR;
    m_fatores = fatoresMR(opcaoMR, m_cfg.mrNormal, m_cfg.mrEmDobro, m_cfg.mrReducao);

    const CalculoLido c = LeCalculo(m_dm, m_fatores);
    if (!m_cfg.contribuinte)
        m_dm.CriaTabela(m_dm.TabRegimeEspecial); // the special regimes are looked up below
    QString rodape = observ;
    if (m_cfg.contribuinte)
        rodape += QString::fromUtf8(kSentencaContribuinte);
    GravaImpressao(m_dm, c, opcaoMR, rodape);

    m_imp.unidade = m_cfg.unidade;
    m_imp.titulo = QStringLiteral("CÁLCULO ICMS-ST Brelva");
    m_imp.data = c.dataHora.isValid() ? c.dataHora.date().toString(QStringLiteral("dd/MM/yyyy")) : QString();
    m_imp.masp = c.masp;
    m_imp.idCalculo = QString::number(c.idCalculo);
    for (int k = 0; k < NumColunas; ++k)
        m_imp.colunas[static_cast<size_t>(k)].negrito = colunaNegrito(k) && k != ColSubItem;
    m_imp.colunas[ColMR].titulo = tituloMR(m_fatores);
    m_imp.colunas[ColMRRed].titulo = tituloMRRed(m_fatores);
    m_imp.colunas[ColMR].visivel = m_fatores.multaPorCento != 0;
    m_imp.colunas[ColMRRed].visivel = m_fatores.multaPorCento != 0;

    preparaNotas(c);
    m_imp.mostraCodigos = !m_cfg.contribuinte;
    if (m_imp.mostraCodigos)
        preparaCodigos(c);
    m_imp.rodape = rodape;
    for (const auto &s : m_secoes)
        s->prepara(m_dm, m_fatores);
    montaBandas();
}

void RelatorioCalculo::adicionaSecao(std::unique_ptr<SecaoRelatorio> secao) { m_secoes.push_back(std::move(secao)); }

int RelatorioCalculo::paginas()
{
    if (m_bandas->paginas() == 0)
        m_bandas->prepara();
    return m_bandas->paginas();
}

void RelatorioCalculo::imprime(QPagedPaintDevice &device, bool tela)
{
    paginas();
    m_bandas->imprime(device, tela);
}

bool RelatorioCalculo::gravaPdf(QIODevice &saida)
{
    paginas();
    return m_bandas->imprimePdf(
        saida, QStringLiteral("Memória de Cálculo %1").arg(m_imp.idCalculo), QStringLiteral("ST/Brelva"));
}

// ---- working sets ---------------------------------------------------------------------

void RelatorioCalculo::Totais::adiciona(const Totais &o)
{
    valorNF += o.valorNF;
    valorIPI += o.valorIPI;
    frete += o.frete;
    soma += o.soma;
    valorFinal += o.valorFinal;
    valorICMS += o.valorICMS;
    creditoICMS += o.creditoICMS;
    icmsARecolher += o.icmsARecolher;
    valorMR += o.valorMR;
    valorMRRed += o.valorMRRed;
    totalARecolher += o.totalARecolher;
    valorFEM += o.valorFEM;
    destaque += o.destaque;
}

RelatorioCalculo::Conjunto::Linha &RelatorioCalculo::Conjunto::linha(const QString &chave, const QString &nome)
{
    auto it = pos.constFind(chave);
    if (it != pos.cend())
        return linhas[static_cast<size_t>(*it)];
    pos.insert(chave, static_cast<int>(linhas.size()));
    linhas.push_back({chave, nome, {}});
    return linhas.back();
}

namespace {

// The working sets are emptied when a printing starts and closed when its
// summaries have been read, also after a failure.
class ConjuntosAbertos {
public:
    explicit ConjuntosAbertos(std::initializer_list<db::MemTable *> mems) : m_mems(mems)
    {
        for (db::MemTable *m : m_mems) {
            m->close();
            m->open();
        }
    }
    ~ConjuntosAbertos()
    {
        for (db::MemTable *m : m_mems)
            m->close();
    }
    ConjuntosAbertos(const ConjuntosAbertos &) = delete;
    ConjuntosAbertos &operator=(const ConjuntosAbertos &) = delete;

private:
    std::vector<db::MemTable *> m_mems;
};

const char *const kCamposTotais[]
    = {"ValorNF", "ValorIPI", "Frete", "Soma", "ValorFinal", "ValorICMS", "CreditoICMS", "ICMSaRecolher", "ValorMR",
        "ValorMRRed", "TotalARecolher", "ValorFEM", "DestaqueICMSST", "ValorFEMMR", "ValorFEMMRRed"};

std::array<Currency *, 15> camposDe(RelatorioCalculo::Totais &t)
{
    return {&t.valorNF, &t.valorIPI, &t.frete, &t.soma, &t.valorFinal, &t.valorICMS, &t.creditoICMS, &t.icmsARecolher,
        &t.valorMR, &t.valorMRRed, &t.totalARecolher, &t.valorFEM, &t.destaque, &t.valorFEMMR, &t.valorFEMMRRed};
}

void escreve(db::DataSet &ds, RelatorioCalculo::Totais t)
{
    const auto campos = camposDe(t);
    for (size_t k = 0; k < campos.size(); ++k)
        ds.fieldByName(QLatin1String(kCamposTotais[k])).setAsCurrency(*campos[k]);
}

RelatorioCalculo::Totais le(const db::DataSet &ds)
{
    RelatorioCalculo::Totais t;
    const auto campos = camposDe(t);
    for (size_t k = 0; k < campos.size(); ++k)
        *campos[k] = ds.fieldByName(QLatin1String(kCamposTotais[k])).asCurrency();
    return t;
}

} // namespace

void RelatorioCalculo::montaResumos(
    const Conjunto &remet, const Conjunto &dest, const Conjunto &mva, Currency d, Currency v)
{
    db::MemTable &memRemet = m_dm.MemRemet;
    db::MemTable &memDest = m_dm.MemDest;
    db::MemTable &memMVA = m_dm.MemMVA;
    const ConjuntosAbertos abertos {&memRemet, &memDest, &memMVA};

    auto grava = [this](db::MemTable &mem, const Conjunto &cj, const char *campoChave, const char *campoNome) {
        for (const Conjunto::Linha &l : cj.linhas) {
            Totais t = l.t;
            t.valorFEMMR = MultaMR(t.valorFEM, m_fatores);
            t.valorFEMMRRed = MultaReduzida(t.valorFEMMR, m_fatores);
            mem.append();
            if (campoNome) {
                mem.fieldByName(QLatin1String(campoChave)).setAsString(l.chave);
                mem.fieldByName(QLatin1String(campoNome)).setAsString(l.nome);
            } else {
                mem.fieldByName(QLatin1String(campoChave)).setAsCurrency(Currency::fromInt(l.chave.toInt()));
            }
            escreve(mem, t);
            mem.post();
        }
    };
    grava(memRemet, remet, "CNPJRemet", "Remetente");
    grava(memDest, dest, "IEDest", "Destinatario");
    grava(memMVA, mva, "MVA", nullptr);

    // The highlighted ICMS/ST of the invoices reduces every row by its share.
    if (d > Currency()) {
        for (db::MemTable *mem : {&memRemet, &memDest, &memMVA}) {
            db::Field &icms = mem->fieldByName(QStringLiteral("ICMSaRecolher"));
            for (mem->first(); !mem->eof(); mem->next()) {
                const RateioDestaque r = RateiaDestaque(icms.asCurrency(), d, v, m_fatores);
                mem->edit();
                mem->fieldByName(QStringLiteral("DestaqueICMSST")).setAsCurrency(r.parte);
                icms.setAsCurrency(r.aRecolher);
                mem->fieldByName(QStringLiteral("ValorMR")).setAsCurrency(r.valorMR);
                mem->fieldByName(QStringLiteral("ValorMRRed")).setAsCurrency(r.valorMRRed);
                mem->fieldByName(QStringLiteral("TotalARecolher")).setAsCurrency(r.totalARecolher);
                mem->post();
            }
        }
    }

    // The rows as the sets order them (by name, by item number).
    auto resumo = [this](db::MemTable &mem, const QString &chave, const QString &rotulo, const QString &rotuloTotal,
                      const char *campoChave, const char *campoNome) {
        ResumoImpresso r;
        r.chave = chave;
        Totais soma;
        for (mem.first(); !mem.eof(); mem.next()) {
            const Totais t = le(mem);
            soma.adiciona(t);
            QString nome;
            QString doc;
            if (campoNome) {
                nome = mem.fieldByName(QLatin1String(campoNome)).asString();
                doc = mem.fieldByName(QLatin1String(campoChave)).asString();
            } else {
                const int item
                    = static_cast<int>(mem.fieldByName(QLatin1String(campoChave)).asCurrency().raw() / Currency::Scale);
                nome = QStringLiteral("Item %1-%2").arg(item).arg(NomeGrupo(GrupoDoItemAnexo(item)));
                m_itensMVA.push_back(item);
            }
            LinhaImpressa l = linhaResumo(rotulo, nome, t, t.valorFEM != Currency(), false);
            if (!doc.isEmpty())
                l.regimes = m_regimes.value(doc);
            r.linhas.push_back(std::move(l));
        }
        r.total = linhaResumo(rotuloTotal, QString(), soma, soma.valorFEM != Currency(), true);
        return r;
    };
    m_imp.resumos.clear();
    m_itensMVA.clear();
    m_imp.resumos.push_back(
        resumo(memMVA, QStringLiteral("itens"), QStringLiteral("Brv"), QStringLiteral("Total"), "MVA", nullptr));
    m_imp.resumos.push_back(resumo(memDest, QStringLiteral("destinatarios"), QStringLiteral("Tt Dest"),
        QStringLiteral("Total dos Destinatários"), "IEDest", "Destinatario"));
    m_imp.resumos.push_back(resumo(memRemet, QStringLiteral("remetentes"), QStringLiteral("Tt Remt"),
        QStringLiteral("Total"), "CNPJRemet", "Remetente"));
}

void RelatorioCalculo::guardaRegimes(const QString &cnpj, const QString &ie, const QString &item)
{
    if (m_cfg.contribuinte)
        return; // the summaries that would show them are not printed
    auto consulta = [&](const QString &doc, bool porCNPJ) {
        if (doc.isEmpty())
            return;
        const QString chave = doc + QLatin1Char('|') + item;
        if (m_regimesLidos.contains(chave))
            return;
        const QString texto
            = porCNPJ ? RegimesRelatorioCNPJ(m_dm.Qry, doc, item) : RegimesRelatorioIE(m_dm.Qry, doc, item);
        m_regimesLidos.insert(chave, texto);
        if (!texto.isEmpty() && !m_regimes.contains(doc))
            m_regimes.insert(doc, texto);
    };
    consulta(cnpj, true);
    consulta(ie, false);
}

// ---- printed cells -------------------------------------------------------------------

Celula RelatorioCalculo::celN(Currency v) { return {fmt("%n", v), v}; }
Celula RelatorioCalculo::celNBranco(Currency v) { return v.isZero() ? Celula {QString(), v} : celN(v); }
Celula RelatorioCalculo::cel4Branco(Currency v)
{
    return v.isZero() ? Celula {QString(), v} : Celula {fmt("%.4n", v), v};
}
Celula RelatorioCalculo::cel1Branco(Currency v)
{
    return v.isZero() ? Celula {QString(), v} : Celula {fmt("%.1n", v), v};
}
Celula RelatorioCalculo::celPct(Currency v) { return {fmt("%g%%", v), v}; }
Celula RelatorioCalculo::celTexto(const QString &t) { return {t, std::nullopt}; }

Currency RelatorioCalculo::lido(const Celula &c)
{
    QString t = c.texto;
    t.remove(QLatin1Char('%'));
    return StrToCurr(t).value_or(Currency());
}

void RelatorioCalculo::aplicaMR(Celulas &c, Currency totalSemSoma) const
{
    const Currency aRecolher = lido(c[ColARecolher]);
    c[ColMR] = celN(MultaMR(aRecolher, m_fatores));
    c[ColMRRed] = celN(MultaReduzida(lido(c[ColMR]), m_fatores));
    c[ColTotal] = celN(m_cfg.somaMR ? aRecolher + lido(c[ColMRRed]) : totalSemSoma);
}

Celulas RelatorioCalculo::linhaFEM(Currency fem, const Celula &totalLinha) const
{
    Celulas f;
    f[ColARecolher] = celN(fem);
    f[ColMR] = celN(MultaMR(lido(f[ColARecolher]), m_fatores));
    f[ColMRRed] = celN(MultaReduzida(lido(f[ColMR]), m_fatores));
    f[ColTotal] = celN(m_cfg.somaMR ? lido(f[ColARecolher]) + lido(f[ColMRRed]) : lido(f[ColARecolher]));
    f[ColICMSFEM] = celN(lido(totalLinha) + lido(f[ColTotal]));
    return f;
}

LinhaImpressa RelatorioCalculo::linhaResumo(
    const QString &rotulo, const QString &nome, const Totais &t, bool fem, bool total) const
{
    LinhaImpressa l;
    l.rotulo = rotulo;
    l.nome = nome;
    Celulas &c = l.celulas;
    if (m_imp.medicamento) {
        // The value and sum columns hold the description and the unit price.
    } else if (m_combustivel) {
        c[ColIPI] = celN(t.valorNF);
        c[ColFrete] = celN(t.frete + t.valorIPI);
    } else {
        c[ColValor] = celN(t.valorNF);
        c[ColIPI] = celN(t.valorIPI);
        c[ColFrete] = celN(t.frete);
        c[ColSoma] = celN(t.soma);
    }
    c[ColBC] = celN(t.valorFinal);
    c[ColICMS] = celN(t.valorICMS);
    c[ColCred] = celN(t.creditoICMS);
    c[ColDestaque] = celNBranco(t.destaque);
    c[ColARecolher] = celN(t.icmsARecolher);
    if (total) {
        aplicaMR(c, t.totalARecolher);
        if (fem)
            l.fem = linhaFEM(t.valorFEM, c[ColTotal]);
        return l;
    }
    // A row of a working set prints its stored fine and total.
    c[ColMR] = celN(t.valorMR);
    c[ColMRRed] = celN(t.valorMRRed);
    c[ColTotal] = celN(t.totalARecolher);
    if (fem) {
        Celulas f;
        f[ColARecolher] = celN(t.valorFEM);
        f[ColMR] = celN(t.valorFEMMR);
        f[ColMRRed] = celN(t.valorFEMMRRed);
        const Currency femTotal = m_cfg.somaMR ? t.valorFEM + t.valorFEMMRRed : t.valorFEM;
        f[ColTotal] = celN(femTotal);
        f[ColICMSFEM] = celN(lido(c[ColTotal]) + lido(f[ColTotal]));
        l.fem = f;
    }
    return l;
}

// ---- band layout -------------------------------------------------------------------------

namespace {

// Element positions of a line band: the cells by column, then the others.
enum {
    IdxRotulo = NumColunas,
    IdxNome,
    IdxFEMRotulo,
    IdxFEM0,
    IdxRegra = IdxFEM0 + NumColunas,
    IdxRegimes,
};

} // namespace

void RelatorioCalculo::montaBandas()
{
    m_bandas = std::make_unique<rep::RelatorioBandas>();
    Layout &lay = *m_layout;
    lay.fontes.clear();
    lay.subs.clear();
    const double largura = larguraUtil();
    lay.largura = largura;
    rep::RelatorioBandas &rel = *m_bandas;
    const double margem = margemLateral();
    rel.pagina.setMargins(QMarginsF(margem, 25.4, margem, 25.4));

    // Columns: visible ones side by side; in the medicine report the
    // description takes the width the hidden columns leave.
    double usado = 0;
    for (int c = 0; c < NumColunas; ++c)
        if (m_imp.colunas[static_cast<size_t>(c)].visivel)
            usado += kLarguras[static_cast<size_t>(c)];
    double x = 0;
    for (int c = 0; c < NumColunas; ++c) {
        const auto k = static_cast<size_t>(c);
        lay.w[k] = m_imp.colunas[k].visivel ? kLarguras[k] : 0;
        if (m_imp.medicamento && c == ColValor)
            lay.w[k] += std::max(0.0, largura - usado);
        lay.x[k] = x;
        x += lay.w[k];
    }

    const QFont f8 = rep::fonteRelatorio(8);
    const QFont f8b = rep::fonteRelatorio(8, true);
    const QFont f7 = rep::fonteRelatorio(7);
    auto alinhaColuna = [this](int c) {
        if (c == ColNro)
            return Alinha::Centro;
        if (c == ColSubItem || (m_imp.medicamento && c == ColValor))
            return Alinha::Esquerda;
        return Alinha::Direita;
    };
    auto celula = [&](int c, double y, bool fem) {
        const auto k = static_cast<size_t>(c);
        const QFont &fonte = colunaPequena(c) ? f7 : (colunaNegrito(c) && !fem ? f8b : f8);
        Elemento e = texto(
            QString(), QRectF(lay.x[k] + 0.4, y, std::max(0.0, lay.w[k] - 0.8), kLinha), fonte, alinhaColuna(c));
        e.visivel = m_imp.colunas[k].visivel;
        return e;
    };

    // ---- page header ----
    Banda &cab = rel.cabecalhoPagina;
    cab.altura = 18.2;
    cab.add(regra(0, largura, 0.5));
    cab.add(texto(QStringLiteral("unidade"), QRectF(0, 1.2, largura / 2 - 62, 6.5), rep::fonteRelatorio(14)));
    cab.add(texto(
        QStringLiteral("titulo"), QRectF(largura / 2 - 60, 1.2, 120, 6.5), rep::fonteRelatorio(14), Alinha::Centro));
    cab.add(texto(QStringLiteral("difal"), QRectF(largura / 2 + 32, 1.2, 38, 6.5), rep::fonteRelatorio(9, true)));
    cab.add(texto(QStringLiteral("data"), QRectF(largura - 64, 1.2, 30, kLinha), f8, Alinha::Direita));
    cab.add(texto(QStringLiteral("masp"), QRectF(largura - 64, 1.2 + kLinha, 30, kLinha), f8, Alinha::Direita));
    cab.add(texto(QStringLiteral("pagina"), QRectF(largura - 33, 1.2, 33, kLinha), f8, Alinha::Direita));
    cab.add(texto(QStringLiteral("id"), QRectF(largura - 33, 1.2 + kLinha, 33, kLinha), f8, Alinha::Direita));
    {
        QFont link = rep::fonteRelatorio(8, true);
        link.setUnderline(true);
        Elemento e = texto(QStringLiteral("alterna"), QRectF(0, 7.6, 60, kLinha), link);
        e.soNaTela = true;
        cab.add(e);
    }
    cab.add(regra(10.6, largura, 0.3));
    for (int c = 0; c < NumColunas; ++c) {
        const auto k = static_cast<size_t>(c);
        Elemento e
            = memo(QStringLiteral("cabColuna%1").arg(c), QRectF(lay.x[k] + 0.2, 10.8, std::max(0.0, lay.w[k] - 0.4), 7),
                m_imp.colunas[k].negrito ? f8b : f8, Alinha::Centro);
        e.cresce = false;
        e.visivel = m_imp.colunas[k].visivel;
        e.texto = m_imp.colunas[k].titulo;
        cab.add(e);
    }
    cab.add(regra(18.0, largura, kRegraFina));
    cab.antesDaPagina = [this](Banda &b, const rep::InfoPagina &p) {
        b.setTexto(QStringLiteral("unidade"), m_imp.unidade);
        b.setTexto(QStringLiteral("titulo"), m_imp.titulo);
        b.setTexto(QStringLiteral("difal"), m_imp.rotuloDIFAL);
        b.setTexto(QStringLiteral("data"), m_imp.data);
        b.setTexto(QStringLiteral("masp"), m_imp.masp.isEmpty() ? QString() : QStringLiteral("Masp: ") + m_imp.masp);
        b.setTexto(QStringLiteral("pagina"), QStringLiteral("Página %1 de %2").arg(p.numero).arg(p.total));
        b.setTexto(QStringLiteral("id"), QStringLiteral("Nro Cálculo: ") + m_imp.idCalculo);
        b.setTexto(QStringLiteral("alterna"), m_imp.rotuloAlterna);
        // A page that an added section begins prints that section's own
        // heads, not the heads of the item columns.
        const bool secao = paginaDeSecao(p.numero);
        for (int c = 0; c < NumColunas; ++c)
            b.setVisivel(QStringLiteral("cabColuna%1").arg(c), m_imp.colunas[static_cast<size_t>(c)].visivel && !secao);
    };

    // ---- page footer: the remark, framed ----
    Banda &rod = rel.rodapePagina;
    rod.altura = 11;
    {
        Elemento moldura;
        moldura.tipo = Elemento::Tipo::Moldura;
        moldura.area = QRectF(0, 1.5, largura, 9.5);
        rod.add(moldura);
        Elemento e
            = memo(QStringLiteral("observ"), QRectF(2, 1.5, largura - 4, 9.5), rep::fonteRelatorio(10), Alinha::Centro);
        e.cresce = false;
        rod.add(e);
    }
    rod.antesDaPagina = [this](Banda &b, const rep::InfoPagina &) {
        b.visivel = !m_imp.rodape.trimmed().isEmpty();
        b.setTexto(QStringLiteral("observ"), m_imp.rodape);
    };

    // ---- a line band: cells, label, "FEM:" line, closing rule, regimes memo ----
    auto bandaLinha = [&](bool resumo) {
        Banda b;
        for (int c = 0; c < NumColunas; ++c)
            b.add(celula(c, 0, false));
        b.add(texto(QString(), QRectF(0, 0, lay.x[ColValor], kLinha), f8b)); // IdxRotulo
        b.add(texto(QString(), QRectF(14, 0, largura - 14, kLinha), f8b)); // IdxNome
        b.add(texto(QString(), QRectF(lay.x[ColSubItem] + 0.4, kLinha, 16, kLinha), f8b)); // IdxFEMRotulo
        for (int c = 0; c < NumColunas; ++c)
            b.add(celula(c, kLinha, true));
        b.add(regra(0, largura, kRegraFina)); // IdxRegra
        Elemento regimes = memo(QString(), QRectF(14, 0, largura - 14, 0), f8);
        b.add(regimes); // IdxRegimes
        if (!resumo)
            b.elementos[IdxNome].visivel = false;
        return b;
    };
    // Fills a line band: `emDuasLinhas` puts the label and name on a line of their own.
    auto preenche = [this](Banda &b, const LinhaImpressa &l, bool emDuasLinhas, bool regraFinal) {
        const double y0 = emDuasLinhas ? kLinha : 0;
        for (int c = 0; c < NumColunas; ++c) {
            Elemento &e = b.elementos[static_cast<size_t>(c)];
            e.texto = l.celulas[static_cast<size_t>(c)].texto;
            e.area.moveTop(y0);
        }
        b.elementos[IdxRotulo].texto = l.rotulo;
        b.elementos[IdxNome].texto = l.nome;
        // A label alone on its line (a summary's closing line) takes the whole width.
        double larguraRotulo = m_layout->x[ColValor] - 0.4;
        if (emDuasLinhas)
            larguraRotulo = l.nome.isEmpty() ? m_layout->largura : 14;
        b.elementos[IdxRotulo].area.setWidth(larguraRotulo);
        const bool fem = l.fem.has_value();
        b.elementos[IdxFEMRotulo].texto = fem ? QStringLiteral("FEM:") : QString();
        b.elementos[IdxFEMRotulo].area.moveTop(y0 + kLinha);
        for (int c = 0; c < NumColunas; ++c) {
            Elemento &e = b.elementos[static_cast<size_t>(IdxFEM0 + c)];
            e.texto = fem ? (*l.fem)[static_cast<size_t>(c)].texto : QString();
            e.area.moveTop(y0 + kLinha);
        }
        const double linhas = y0 + kLinha + (fem ? kLinha : 0);
        b.elementos[IdxRegimes].texto = l.regimes;
        b.elementos[IdxRegimes].area.moveTop(linhas);
        b.elementos[IdxRegra].visivel = regraFinal;
        b.elementos[IdxRegra].area.moveTop(linhas + 0.2);
        b.altura = linhas + 0.4;
    };

    // ---- invoices: header, lines, "Total da Nota" ----
    auto notas = std::make_unique<rep::FonteFuncao>(
        [this] { return static_cast<int>(m_imp.notas.size()); }, [this](int i) { m_layout->nota = i; });
    rel.dados = notas.get();
    lay.fontes.push_back(std::move(notas));
    rel.chaveGrupo = [this] { return QString::number(m_imp.notas[static_cast<size_t>(m_layout->nota)].idNota); };
    rel.manterGrupoJunto = true;
    Banda &grupo = rel.cabecalhoGrupo;
    grupo.altura = 6.6;
    grupo.add(regra(0, largura, 0.3));
    grupo.add(texto(QStringLiteral("nf"), QRectF(0, 0.6, 34, 5.2), rep::fonteRelatorio(10, true)));
    grupo.add(texto(QStringLiteral("frete"), QRectF(34, 0.6, 32, 5.2), f8));
    grupo.add(texto(QStringLiteral("rem"), QRectF(66, 0.6, largura / 2 - 66, 5.2), f8b));
    grupo.add(texto(QStringLiteral("dest"), QRectF(largura / 2, 0.6, largura / 2, 5.2), f8b, Alinha::Direita));
    grupo.add(regra(6.3, largura, kRegraFina));
    grupo.antesDeImprimir = [this](Banda &b) {
        const NotaImpressa &n = m_imp.notas[static_cast<size_t>(m_layout->nota)];
        b.setTexto(QStringLiteral("nf"), n.textoNF);
        b.setTexto(QStringLiteral("frete"), n.textoFrete);
        b.setTexto(QStringLiteral("rem"), n.textoRem);
        b.setTexto(QStringLiteral("dest"), n.textoDest);
    };
    rel.detalhe.visivel = false;

    auto sub = std::make_unique<rep::SubRelatorio>();
    auto itens = std::make_unique<rep::FonteFuncao>(
        [this] { return static_cast<int>(m_imp.notas[static_cast<size_t>(m_layout->nota)].itens.size()); },
        [this](int i) { m_layout->item = i; });
    sub->dados = itens.get();
    lay.fontes.push_back(std::move(itens));
    sub->detalhe = bandaLinha(false);
    sub->detalhe.antesDeImprimir = [this, preenche](Banda &b) {
        const NotaImpressa &n = m_imp.notas[static_cast<size_t>(m_layout->nota)];
        preenche(b, n.itens[static_cast<size_t>(m_layout->item)], false, true);
    };
    rel.subDetalhe.push_back(sub.get());
    lay.subs.push_back(std::move(sub));

    rel.rodapeGrupo = bandaLinha(false);
    rel.rodapeGrupo.antesDeImprimir = [this, preenche](Banda &b) {
        const NotaImpressa &n = m_imp.notas[static_cast<size_t>(m_layout->nota)];
        b.visivel = n.total.has_value();
        if (n.total)
            preenche(b, *n.total, false, false);
    };

    // ---- summary: a rule, the summaries, the codes ----
    rel.resumo.altura = 2;
    rel.resumo.add(regra(0.5, largura, 0.3));
    for (size_t r = 0; r < m_imp.resumos.size(); ++r) {
        auto s = std::make_unique<rep::SubRelatorio>();
        s->visivel = m_imp.resumos[r].visivel;
        auto fonte
            = std::make_unique<rep::FonteFuncao>([this, r] { return static_cast<int>(m_imp.resumos[r].linhas.size()); },
                [this](int i) { m_layout->linhaResumo = i; });
        s->dados = fonte.get();
        lay.fontes.push_back(std::move(fonte));
        s->detalhe = bandaLinha(true);
        s->detalhe.antesDeImprimir = [this, r, preenche](Banda &b) {
            preenche(b, m_imp.resumos[r].linhas[static_cast<size_t>(m_layout->linhaResumo)], true, true);
        };
        s->rodape = bandaLinha(true);
        s->rodape.antesDeImprimir = [this, r, preenche](Banda &b) {
            preenche(b, m_imp.resumos[r].total, true, false);
            b.altura += 2; // room before what follows
        };
        rel.subResumo.push_back(s.get());
        lay.subs.push_back(std::move(s));
    }

    // The codes block: one band under the summaries.
    auto codigos = std::make_unique<rep::SubRelatorio>();
    auto umaLinha = std::make_unique<rep::FonteFuncao>([] { return 1; }, [](int) {});
    codigos->dados = umaLinha.get();
    lay.fontes.push_back(std::move(umaLinha));
    Banda &cod = codigos->detalhe;
    const QFont f9 = rep::fonteRelatorio(9);
    const QFont f9b = rep::fonteRelatorio(9, true);
    const double l9 = 4.0;
    if (!m_imp.medicamento) {
        cod.altura = 3 * l9 + 1;
        cod.add(memo(QStringLiteral("receita"), QRectF(0, 1, largura, l9), f9));
        cod.add(texto(QStringLiteral("rotuloOcorrencia"), QRectF(0, 1 + l9, 34, l9), f9));
        cod.add(memo(QStringLiteral("ocorrencia"), QRectF(34, 1 + l9, largura - 34, l9), f9));
        cod.add(texto(QStringLiteral("rotuloMercadoria"), QRectF(0, 1 + 2 * l9, 34, l9), f9));
        cod.add(memo(QStringLiteral("mercadoria"), QRectF(34, 1 + 2 * l9, largura - 34, l9), f9));
        cod.antesDeImprimir = [this](Banda &b) {
            b.setTexto(QStringLiteral("receita"), QStringLiteral("Código Receita     :    %1").arg(m_imp.codReceita));
            b.setTexto(QStringLiteral("rotuloOcorrencia"), QStringLiteral("Código Ocorrência:"));
            b.setTexto(QStringLiteral("ocorrencia"), m_imp.codOcorrencia);
            b.setTexto(QStringLiteral("rotuloMercadoria"), QStringLiteral("Código Mercadoria:"));
            b.setTexto(QStringLiteral("mercadoria"), m_imp.codMercadoria.join(QLatin1Char('\n')));
        };
    } else {
        // Medicines: the occurrences, the revenue codes and the warning at
        // the left, the merchandise list right of them, the basis lines under.
        const double esq = largura * 0.5;
        cod.altura = 5 * l9 + 1;
        cod.add(memo(QStringLiteral("ocorrencia"), QRectF(0, 1, esq, l9), f9));
        cod.add(texto(QStringLiteral("rotuloMercadoria"), QRectF(esq + 2, 1, 20, l9), f9));
        cod.add(memo(QStringLiteral("mercadoria"), QRectF(esq + 22, 1, largura - esq - 22, l9), f9));
        cod.add(memo(QStringLiteral("receita"), QRectF(0, 1 + l9, esq, l9), f9));
        cod.add(memo(QStringLiteral("aviso"), QRectF(0, 1 + 2 * l9, esq, l9), f9b));
        cod.add(memo(QStringLiteral("base"), QRectF(0, 1 + 3 * l9, largura, l9), f9b));
        cod.add(memo(QStringLiteral("baseLinha"), QRectF(0, 1 + 4 * l9, largura, l9), f9));
        cod.antesDeImprimir = [this](Banda &b) {
            b.setTexto(
                QStringLiteral("ocorrencia"), QStringLiteral("Códigos -> Ocorrência: %1").arg(m_imp.codOcorrencia));
            b.setTexto(QStringLiteral("rotuloMercadoria"), QStringLiteral("Mercadoria:"));
            b.setTexto(QStringLiteral("mercadoria"), m_imp.codMercadoria.join(QLatin1Char('\n')));
            b.setTexto(QStringLiteral("receita"), QStringLiteral("Códigos -> Receita: %1").arg(m_imp.codReceita));
            b.setTexto(QStringLiteral("aviso"),
                m_imp.avisoMultaIsolada ? QStringLiteral("ATENÇÃO: VERIFICAR INCIDÊNCIA DE MULTA ISOLADA") : QString());
            b.setTexto(QStringLiteral("base"), m_imp.baseNegrito);
            b.setTexto(QStringLiteral("baseLinha"), m_imp.baseLinha);
        };
    }
    codigos->visivel = m_imp.mostraCodigos;
    rel.subResumo.push_back(codigos.get());
    lay.subs.push_back(std::move(codigos));

    lay.primeiraSubSecao = rel.subResumo.size();
    for (const auto &s : m_secoes)
        s->monta(rel, largura);
}

bool RelatorioCalculo::paginaDeSecao(int pagina) const
{
    for (const rep::BandaPosicionada &b : m_bandas->posicoes()) {
        if (b.pagina != pagina)
            continue;
        // The first band of the page: "resumo.subK..." with K among the sections' sub-reports.
        static const QLatin1String prefixo("resumo.sub");
        if (!b.nome.startsWith(prefixo))
            return false;
        const QString k = b.nome.mid(prefixo.size()).section(QLatin1Char('.'), 0, 0);
        return k.toInt() >= static_cast<int>(m_layout->primeiraSubSecao) && m_layout->primeiraSubSecao > 0;
    }
    return false;
}

// ===== general report ===================================================================

TFormRep::TFormRep(TDM &dm, const ConfigRelatorio &cfg) : RelatorioCalculo(dm, cfg) {}

void TFormRep::preparaNotas(const CalculoLido &c)
{
    m_imp.medicamento = false;
    m_combustivel = c.grupo == Grupo::Combustiveis;
    const bool difal = c.tipoCalculo == 2 || c.tipoCalculo == 3;
    m_diferencial = c.diferencialAliq;
    if (difal)
        m_imp.rotuloDIFAL = c.tipoCalculo == 3 ? QStringLiteral("(DIFAL proporcional)") : QStringLiteral("(DIFAL)");

    // Heads: the fuel layout, or the standard one.
    auto &col = m_imp.colunas;
    const char *const titulos[NumColunas] = {"#", "SubItem\r\nBrelva", "Litros", "Valor Prod", "Valor IPI", "Frete",
        "Soma", "MVA", "BC/ST", "Aliq", "ICMSTotal", "Aliq", "Créd ICMS", "Destaque ICMS/ST", "ICMS/ST a recolher", "",
        "", "Total a recolher", "ICMS + FEM"};
    for (int k = 0; k < NumColunas; ++k)
        if (k != ColMR && k != ColMRRed)
            col[static_cast<size_t>(k)].titulo = QString::fromUtf8(titulos[k]);
    col[ColLitros].visivel = m_combustivel;
    if (m_combustivel) {
        col[ColValor].titulo = QStringLiteral("$ Lt/NF");
        col[ColIPI].titulo = QStringLiteral("Valor NF");
        col[ColFrete].titulo = QStringLiteral("Frete+IPI");
        col[ColMVA].titulo = QStringLiteral("PMPF ou MVA");
    }
    if (difal)
        for (int k : {ColMVA, ColAliq, ColICMS, ColAliqCred, ColCred})
            col[static_cast<size_t>(k)].visivel = false;

    Conjunto remet, dest, mva;
    Currency d, v;
    m_arroz = false;
    bool mostraRem = false, mostraDest = false;
    for (const NotaLida &n : c.notas) {
        NotaImpressa ni;
        ni.idNota = n.idNota;
        ni.nroNF = n.nroNF;
        ni.valorARecolher = n.valorARecolher;
        ni.textoNF = QStringLiteral("NF ") + n.nroNF;
        if (!n.frete.isZero())
            ni.textoFrete
                = QStringLiteral("Frete ") + fmt("%n", n.frete) + (n.creditoFrete ? QStringLiteral(" Cr") : QString());
        if (!m_cfg.contribuinte && !n.xRemetente.isEmpty()) {
            ni.textoRem = QStringLiteral("Rem: ") + n.cnpjRemet + QLatin1Char(' ') + n.xRemetente;
            mostraRem = true;
        }
        if (!m_cfg.contribuinte && !n.xDestinatario.isEmpty()) {
            ni.textoDest = QStringLiteral("Dest: ") + n.ieDest + QLatin1Char(' ') + n.xDestinatario;
            mostraDest = true;
        }
        Conjunto::Linha &r = remet.linha(n.cnpjRemet, n.xRemetente);
        Conjunto::Linha &de = dest.linha(n.ieDest, n.xDestinatario);
        r.t.destaque += n.destaqueICMSST;
        de.t.destaque += n.destaqueICMSST;
        d += n.destaqueICMSST;
        v += n.valorARecolher;
        for (const ItemLido &it : n.itens) {
            if (it.itemBrelva.left(2) == QLatin1String("98"))
                m_arroz = true;
            Totais t;
            t.valorNF = it.valorNF;
            t.valorIPI = it.valorIPI;
            t.frete = it.freteProp;
            t.soma = it.soma;
            t.valorFinal = it.valorFinal;
            t.valorICMS = it.valorICMS;
            t.creditoICMS = it.valorCreditoICMS;
            t.icmsARecolher = it.icmsARecolher;
            t.valorMR = it.valorMR;
            t.valorMRRed = it.valorMRRed;
            t.totalARecolher = it.totalARecolher;
            t.valorFEM = it.valorFEM;
            // The references may move as rows are appended: located again.
            remet.linha(n.cnpjRemet, n.xRemetente).t.adiciona(t);
            dest.linha(n.ieDest, n.xDestinatario).t.adiciona(t);
            const QString item = it.itemBrelva.section(QLatin1Char('.'), 0, 0);
            guardaRegimes(n.cnpjRemet, n.ieDest, item);
            const int numero = item.trimmed().toInt();
            mva.linha(QString::number(numero), QString()).t.adiciona(t);
            ni.itens.push_back(linhaItem(n, it));
        }
        if (n.itens.size() > 1)
            ni.total = totalNota(n);
        m_imp.notas.push_back(std::move(ni));
    }
    montaResumos(remet, dest, mva, d, v);
    m_imp.resumos[0].visivel = false; // the summary by annex item is not printed in this report
    m_imp.resumos[1].visivel = mostraDest;
    m_imp.resumos[2].visivel = mostraRem;
}

LinhaImpressa TFormRep::linhaItem(const NotaLida &n, const ItemLido &it) const
{
    LinhaImpressa l;
    Celulas &c = l.celulas;
    c[ColNro] = celTexto(QString::number(it.nroItem));
    c[ColSubItem] = celTexto(it.itemBrelva);
    if (m_combustivel) {
        c[ColLitros] = cel1Branco(it.litros);
        c[ColValor] = cel4Branco(it.precoLitroNF);
        // The ethanol line whose credit comes from the invoice's price per
        // litre shows, without a value of its own, the litres at that price.
        const bool litrosNF = it.valorNF.isZero() && it.itemBrelva == ItemCombustivelCredito;
        c[ColIPI] = celN(litrosNF ? (Expr(it.litros) * Expr(it.precoLitroNF)).moeda() : it.valorNF);
        c[ColFrete] = celN(it.freteProp + it.valorIPI);
        c[ColSoma] = celNBranco(it.soma);
        c[ColMVA] = it.pmpf.isZero() ? celPct(it.mva) : Celula {fmt("%.4n", it.pmpf), it.pmpf};
        c[ColCred] = celNBranco(it.valorCreditoICMS);
    } else {
        c[ColValor] = celN(it.valorNF);
        c[ColIPI] = celN(it.valorIPI);
        c[ColFrete] = celN(it.freteProp);
        c[ColSoma] = celN(it.soma);
        c[ColMVA] = celPct(it.mva);
        c[ColCred] = celN(it.valorCreditoICMS);
    }
    c[ColBC] = celN(it.valorFinal);
    c[ColAliq] = celPct(it.aliqICMS);
    c[ColICMS] = celN(it.valorICMS);
    const Currency aliqCred = m_diferencial ? it.aliqICMS - it.creditoICMS : it.creditoICMS;
    c[ColAliqCred] = m_combustivel && aliqCred.isZero() ? Celula {QString(), aliqCred} : celPct(aliqCred);
    Currency parte;
    if (!n.destaqueICMSST.isZero()) {
        c[ColDestaque] = celN(ParteDestaque(it.icmsARecolher, n.destaqueICMSST, n.valorARecolher));
        parte = lido(c[ColDestaque]);
    }
    c[ColARecolher] = celN(it.icmsARecolher - parte);
    aplicaMR(c, it.totalARecolher);
    if (it.fem)
        l.fem = linhaFEM(it.valorFEM, c[ColTotal]);
    return l;
}

LinhaImpressa TFormRep::totalNota(const NotaLida &n) const
{
    Totais t;
    bool fem = false;
    for (const ItemLido &it : n.itens) {
        t.valorNF += it.valorNF;
        t.valorIPI += it.valorIPI;
        t.frete += it.freteProp;
        t.soma += it.soma;
        t.valorFinal += it.valorFinal;
        t.valorICMS += it.valorICMS;
        t.creditoICMS += it.valorCreditoICMS;
        t.icmsARecolher += it.icmsARecolher;
        t.totalARecolher += it.totalARecolher;
        t.valorFEM += it.valorFEM;
        fem = fem || it.fem;
    }
    LinhaImpressa l;
    l.rotulo = QStringLiteral("Total da Nota");
    Celulas &c = l.celulas;
    if (!m_combustivel) {
        c[ColValor] = celN(t.valorNF);
        c[ColIPI] = celN(t.valorIPI);
        c[ColFrete] = celN(t.frete);
        c[ColSoma] = celN(t.soma);
    }
    c[ColBC] = celN(t.valorFinal);
    c[ColICMS] = celN(t.valorICMS);
    c[ColCred] = celN(t.creditoICMS);
    c[ColDestaque] = celNBranco(n.destaqueICMSST);
    c[ColARecolher] = celN(AposDestaque(t.icmsARecolher, n.destaqueICMSST));
    aplicaMR(c, t.totalARecolher);
    if (fem)
        l.fem = linhaFEM(t.valorFEM, c[ColTotal]);
    return l;
}

void TFormRep::preparaCodigos(const CalculoLido &c)
{
    const int op = m_imp.opcaoMR;
    const bool mr50 = op == 2 || op == 4;
    QString r;
    if (c.tipoCalculo == 2 || c.tipoCalculo == 3) {
        r = QStringLiteral("ICMS: 721-1");
        if (op != 1)
            r += QStringLiteral("  MR: 526-4");
        r += QStringLiteral("  FEM: 718-7");
        if (mr50)
            r += QStringLiteral("  MR-FEM: 521-5");
        else if (op != 1)
            r += QStringLiteral("  MR-FEM: 527-2");
    } else {
        r = QStringLiteral("ICMS-ST: 323-6  ");
        if (m_arroz)
            r += QStringLiteral("ICMS-Notif-Arroz: 322-8  ");
        if (mr50)
            r += QStringLiteral("MR: 522-3  FEM: 310-3  MR-FEM: 521-5");
        else if (op != 1)
            r += QStringLiteral("MR: 523-1  FEM: 310-3  MR-FEM: 527-2");
    }
    m_imp.codReceita = r;

    const QString padrao = QStringLiteral(
        "01.069.001=Retenção/recolhimento a menor, 01.069.002=Falta de retenção/recolhimento, 01.069.006=Falta de "
        "recolhimento do ICMS retido,^p01.015.002=Falta de recolhimento antecipado na saída de mercadoria, "
        "01.015.004=Falta de recolhimento antecipado na entrada de mercadoria,^p01.001.002=Diferencial de alíquota.");
    QString ocorrencias = m_cfg.codigos
        ? m_cfg.codigos->readString(QStringLiteral("CodOcorrencia"), QStringLiteral("Ocorrencias"), padrao)
        : padrao;
    m_imp.codOcorrencia = ocorrencias.replace(QLatin1String("^p"), QLatin1String("\n"));

    // One line per controlled-goods code of the annex items printed, sorted, once each.
    QStringList linhas;
    for (int item : m_itensMVA) {
        const QString chave = QString::number(item);
        const QString lista = m_cfg.codigos
            ? m_cfg.codigos->readString(QStringLiteral("CodMercadoria"), chave, QStringLiteral("999"))
            : QStringLiteral("999");
        for (const QString &cod : lista.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
            const QString k = cod.trimmed();
            const QString nome = m_cfg.codigos
                ? m_cfg.codigos->readString(QStringLiteral("Mercadorias"), k, QStringLiteral("???"))
                : QStringLiteral("???");
            linhas << k + QStringLiteral(" = ") + nome;
        }
    }
    std::sort(linhas.begin(), linhas.end(),
        [](const QString &a, const QString &b) { return a.compare(b, Qt::CaseInsensitive) < 0; });
    linhas.erase(std::unique(linhas.begin(), linhas.end(),
                     [](const QString &a, const QString &b) { return a.compare(b, Qt::CaseInsensitive) == 0; }),
        linhas.end());
    m_imp.codMercadoria = linhas;
}

std::unique_ptr<RelatorioCalculo> CriaRelatorio(TDM &dm, const ConfigRelatorio &cfg, bool analitica)
{
    db::Field *g = dm.TabCalc.isActive() ? dm.TabCalc.findField(QStringLiteral("Grupo")) : nullptr;
    const int grupo = g && !g->isNull() ? g->asInteger() : 0;
    std::unique_ptr<RelatorioCalculo> rel;
    if (isGrupoMedicamento(grupo))
        rel = std::make_unique<TFormRepMedic>(dm, cfg, analitica);
    else
        rel = std::make_unique<TFormRep>(dm, cfg);
    // Imported NF-e that declare ST get their comparison after the codes.
    rel->adicionaSecao(std::make_unique<SecaoComparacaoNFe>());
    return rel;
}

} // namespace stb
