// The medicine report: the general report's skeleton with its own lines
// (a working table MemMedic holding the printed medicine lines of a run, one
// per medicine or one per invoice), summaries and codes.
#include "outputs/formrep.h"

#include "core/datamodule.h"
#include "core/grupos.h"
#include "core/schema.h"
#include "outputs/medic.h"
#include "platform/formatting.h"

namespace stb {

namespace {

// The medicine lines as the report prints them, one row per printed line.
db::TableDef definicaoMemMedic()
{
    db::TableDef def = schema::itensMedic();
    def.name = QStringLiteral("MemMedic");
    def.fields << db::FieldDef {QStringLiteral("DescricaoNF"), db::FieldType::String, 80, false};
    for (const char *n : {"ValorCreditoICMS", "FreteProp", "ICMSARecolher", "Soma", "ValorFinal", "ValorICMS",
             "ValorMR", "ValorMRRed", "TotalARecolher"})
        def.fields << db::FieldDef {QLatin1String(n), db::FieldType::Currency, 0, false};
    def.indexes = {{QStringLiteral("IdNota"), QStringLiteral("IdNota;NroItem"), 0}};
    return def;
}

// "BARRA Lista Descricao": the bar-code field leads only when it is a short
// sub-item code (4 to 6 characters with a "." second or third).
QString descricaoNF(const ItemMedicLido &it)
{
    const QString &cb = it.codBarra;
    const bool subItem
        = cb.size() >= 4 && cb.size() <= 6 && (cb.at(1) == QLatin1Char('.') || cb.at(2) == QLatin1Char('.'));
    return (subItem ? cb + QLatin1Char(' ') : QString()) + it.lista + QLatin1Char(' ') + it.descricao;
}

} // namespace

TFormRepMedic::TFormRepMedic(TDM &dm, const ConfigRelatorio &cfg, bool analitica)
    : RelatorioCalculo(dm, cfg),
      m_analitica(analitica)
{
}

TFormRepMedic::~TFormRepMedic() = default;

void TFormRepMedic::preparaNotas(const CalculoLido &c)
{
    m_imp.medicamento = true;
    m_imp.analitica = m_analitica;
    m_imp.rotuloAlterna
        = m_analitica ? QStringLiteral("Clique aqui para Sintética") : QStringLiteral("Clique aqui para Analítica");
    m_combustivel = false;
    m_diferencial = c.diferencialAliq;
    if (c.diferencialAliq)
        m_imp.rotuloDIFAL = QStringLiteral("(Dif. Alíquota)");

    auto &col = m_imp.colunas;
    const char *const titulos[NumColunas] = {"#", "Lote", "", "Descrição", "", "", "Pr Unit", "Qtd", "BC/ST", "Aliq",
        "ICMSTotal", "Aliq", "Créd ICMS", "Destaque ICMS/ST", "ICMS/ST a recolher", "", "", "Total a recolher", ""};
    for (int k = 0; k < NumColunas; ++k)
        if (k != ColMR && k != ColMRRed)
            col[static_cast<size_t>(k)].titulo = QString::fromUtf8(titulos[k]);
    for (int k : {ColLitros, ColIPI, ColFrete, ColICMSFEM})
        col[static_cast<size_t>(k)].visivel = false;
    if (!m_analitica)
        for (int k : {ColSubItem, ColSoma, ColMVA, ColAliq, ColAliqCred})
            col[static_cast<size_t>(k)].titulo.clear();
    if (c.diferencialAliq)
        for (int k : {ColMVA, ColAliq, ColICMS, ColAliqCred, ColCred})
            col[static_cast<size_t>(k)].visivel = false;

    // The working table of the run, created empty.
    m_memMedic = std::make_unique<db::MemTable>(QStringLiteral("MemMedic"), &m_dm.BaseMemoria);
    db::MemTable &mem = *m_memMedic;
    mem.definition() = definicaoMemMedic();
    mem.setIndexName(QStringLiteral("IdNota"));
    mem.open();
    struct Fecha {
        db::MemTable &m;
        ~Fecha() { m.close(); }
    } fecha {mem};

    auto set = [&mem](const char *campo, Currency v) { mem.fieldByName(QLatin1String(campo)).setAsCurrency(v); };
    for (const NotaLida &n : c.notas) {
        Currency s;
        for (const ItemMedicLido &it : n.itensMedic)
            s += it.debVlMerc;
        if (m_analitica) {
            int k = 0;
            for (const ItemMedicLido &it : n.itensMedic) {
                mem.append();
                mem.fieldByName(QStringLiteral("IdNota")).setAsInteger(n.idNota);
                mem.fieldByName(QStringLiteral("NroItem")).setAsInteger(++k);
                mem.fieldByName(QStringLiteral("DescricaoNF")).setAsString(descricaoNF(it));
                mem.fieldByName(QStringLiteral("Qtd")).setAsInteger(it.qtd);
                mem.fieldByName(QStringLiteral("Lote")).setAsString(it.lote);
                mem.fieldByName(QStringLiteral("Lista")).setAsString(it.lista);
                set("Soma", it.qtd ? (Expr(it.debVlMerc) / Expr::inteiro(it.qtd)).moeda() : Currency());
                set("DebVlMerc", it.debVlMerc);
                set("ValorFinal", it.debVlMerc);
                set("DebAliqICMS", it.debAliqICMS);
                set("CreditoICMS", it.creditoICMS);
                const ValoresLinhaMedic r
                    = LinhaMedicAnalitica(it.debVlMerc, it.debAliqICMS, n.creditoICMSMedic, s, m_fatores);
                set("ValorICMS", r.icms);
                set("ValorCreditoICMS", r.credito);
                set("ICMSARecolher", r.aRecolher);
                set("ValorMR", r.valorMR);
                set("ValorMRRed", r.valorMRRed);
                set("TotalARecolher", r.totalARecolher);
                mem.post();
            }
        } else {
            Currency valor, icms;
            for (const ItemMedicLido &it : n.itensMedic) {
                valor += ArredondaValor(it.debVlMerc);
                icms += ArredondaValor(it.debVlICMS);
            }
            const ValoresLinhaMedic r = LinhaMedicSintetica(icms, n.creditoICMSMedic, m_fatores);
            mem.append();
            mem.fieldByName(QStringLiteral("IdNota")).setAsInteger(n.idNota);
            mem.fieldByName(QStringLiteral("NroItem")).setAsInteger(1);
            mem.fieldByName(QStringLiteral("DescricaoNF")).setAsString(QStringLiteral("Total da nota"));
            set("DebVlMerc", valor);
            set("ValorFinal", valor);
            set("ValorICMS", icms);
            set("ValorCreditoICMS", r.credito);
            set("ICMSARecolher", r.aRecolher);
            set("ValorMR", r.valorMR);
            set("ValorMRRed", r.valorMRRed);
            set("TotalARecolher", r.totalARecolher);
            mem.post();
        }
    }

    // The rows read back, per invoice.
    struct Linha {
        int nro, qtd;
        QString descricao, lote;
        Currency soma, valorFinal, aliq, aliqCred, icms, credito, aRecolher, mr, mrRed, total;
    };
    QHash<int, std::vector<Linha>> porNota;
    for (mem.first(); !mem.eof(); mem.next()) {
        auto cur = [&mem](const char *campo) { return mem.fieldByName(QLatin1String(campo)).asCurrency(); };
        porNota[mem.fieldByName(QStringLiteral("IdNota")).asInteger()].push_back(
            {mem.fieldByName(QStringLiteral("NroItem")).asInteger(), mem.fieldByName(QStringLiteral("Qtd")).asInteger(),
                mem.fieldByName(QStringLiteral("DescricaoNF")).asString(),
                mem.fieldByName(QStringLiteral("Lote")).asString(), cur("Soma"), cur("ValorFinal"), cur("DebAliqICMS"),
                cur("CreditoICMS"), cur("ValorICMS"), cur("ValorCreditoICMS"), cur("ICMSARecolher"), cur("ValorMR"),
                cur("ValorMRRed"), cur("TotalARecolher")});
    }

    Conjunto remet, dest, mva;
    Currency d, v;
    const QString item15 = QString::number(ItemAnexo::Medicamentos);
    for (const NotaLida &n : c.notas) {
        NotaImpressa ni;
        ni.idNota = n.idNota;
        ni.nroNF = n.nroNF;
        ni.valorARecolher = n.valorARecolher;
        ni.textoNF = QStringLiteral("NF ") + n.nroNF;
        if (!m_cfg.contribuinte && !n.xRemetente.isEmpty())
            ni.textoRem = QStringLiteral("Rem: ") + n.cnpjRemet + QLatin1Char(' ') + n.xRemetente;
        if (!m_cfg.contribuinte && !n.xDestinatario.isEmpty())
            ni.textoDest = QStringLiteral("Dest: ") + n.ieDest + QLatin1Char(' ') + n.xDestinatario;

        const std::vector<Linha> &linhas = porNota[n.idNota];
        Totais somaNota; // the printed rows added up
        for (const Linha &r : linhas) {
            LinhaImpressa l;
            Celulas &cs = l.celulas;
            cs[ColNro] = celTexto(QString::number(r.nro));
            cs[ColSubItem] = celTexto(r.lote);
            cs[ColValor] = celTexto(r.descricao);
            if (m_analitica) {
                cs[ColSoma] = celN(r.soma);
                cs[ColMVA] = Celula {QString::number(r.qtd), Currency::fromInt(r.qtd)};
                cs[ColAliq] = celPct(r.aliq);
                cs[ColAliqCred] = celPct(m_diferencial ? r.aliq - r.aliqCred : r.aliqCred);
            }
            cs[ColBC] = celN(r.valorFinal);
            cs[ColICMS] = celN(r.icms);
            cs[ColCred] = celN(r.credito);
            Currency parte;
            if (!n.destaqueICMSST.isZero()) {
                cs[ColDestaque] = celN(ParteDestaque(r.aRecolher, n.destaqueICMSST, n.valorARecolher));
                parte = lido(cs[ColDestaque]);
            }
            cs[ColARecolher] = celN(r.aRecolher - parte);
            aplicaMR(cs, r.total);
            ni.itens.push_back(std::move(l));
            somaNota.valorFinal += r.valorFinal;
            somaNota.valorICMS += r.icms;
            somaNota.creditoICMS += r.credito;
            somaNota.icmsARecolher += r.aRecolher;
            somaNota.valorMR += r.mr;
            somaNota.valorMRRed += r.mrRed;
            somaNota.totalARecolher += r.total;
        }
        if (linhas.size() > 1) {
            LinhaImpressa t;
            t.rotulo = QStringLiteral("Total da Nota");
            Celulas &cs = t.celulas;
            cs[ColBC] = celN(somaNota.valorFinal);
            cs[ColICMS] = celN(somaNota.valorICMS);
            cs[ColCred] = celN(somaNota.creditoICMS);
            cs[ColDestaque] = celNBranco(n.destaqueICMSST);
            cs[ColARecolher] = celN(AposDestaque(somaNota.icmsARecolher, n.destaqueICMSST));
            aplicaMR(cs, somaNota.totalARecolher);
            ni.total = std::move(t);
        }

        // The summaries: the invoice's medicines, its credit, and the fine of its rows.
        Currency valor, icmsNota;
        for (const ItemMedicLido &it : n.itensMedic) {
            valor += it.debVlMerc;
            icmsNota += it.debVlICMS;
        }
        for (Conjunto::Linha *row : {&remet.linha(n.cnpjRemet, n.xRemetente), &dest.linha(n.ieDest, n.xDestinatario),
                 &mva.linha(item15, QString())}) {
            row->t.valorNF += valor;
            row->t.soma += valor;
            row->t.valorFinal += valor;
            row->t.valorICMS += icmsNota;
            row->t.creditoICMS += n.creditoICMSMedic;
            row->t.icmsARecolher = row->t.valorICMS - row->t.creditoICMS;
            row->t.valorMR += somaNota.valorMR;
            row->t.valorMRRed += somaNota.valorMRRed;
            row->t.totalARecolher += somaNota.totalARecolher;
        }
        remet.linha(n.cnpjRemet, n.xRemetente).t.destaque += n.destaqueICMSST;
        dest.linha(n.ieDest, n.xDestinatario).t.destaque += n.destaqueICMSST;
        d += n.destaqueICMSST;
        v += n.valorARecolher;
        if (!n.itensMedic.empty())
            guardaRegimes(n.cnpjRemet, n.ieDest, item15);
        m_imp.notas.push_back(std::move(ni));
    }
    montaResumos(remet, dest, mva, d, v);
    // Printed in the order recipients, annex item, senders; none in the taxpayer edition.
    std::swap(m_imp.resumos[0], m_imp.resumos[1]);
    for (ResumoImpresso &r : m_imp.resumos)
        r.visivel = !m_cfg.contribuinte;
}

void TFormRepMedic::preparaCodigos(const CalculoLido &c)
{
    const int op = m_imp.opcaoMR;
    QString r;
    if (c.diferencialAliq) {
        r = QStringLiteral("ICMS: 324-4   ");
        if (op != 1)
            r += QStringLiteral("MR: 526-4");
    } else {
        r = QStringLiteral("ICMS-ST: 323-6  ");
        if (op == 2 || op == 4)
            r += QStringLiteral("MR: 522-3  ICMS-FEM: 310-3  MR 50%: 521-5");
        else if (op != 1)
            r += QStringLiteral("MR: 523-1  ICMS-FEM: 310-3  MR 100%: 527-2");
    }
    m_imp.codReceita = r;
    m_imp.codOcorrencia = QStringLiteral("01.069.001=Retenção/recolhimento a menor, 01.069.002=Falta de "
                                         "retenção/recolhimento, 01.069.006=Falta de recolhimento do ICMS retido");
    m_imp.codMercadoria = {QStringLiteral("1114 = MEDIC DE REFERENCIA P/USO HUMANO"),
        QStringLiteral("1115 = MEDIC GENERICO OU SIMILAR P/USO HUMANO"), QStringLiteral("1116 = MEDIC HOSPITALAR"),
        QStringLiteral("1118 = OUTROS MEDIC OU PROD FARMAC P/USO HUMANO")};
    m_imp.avisoMultaIsolada = op != 1;
    if (c.grupo == Grupo::MedicamentosMVA) {
        m_imp.baseNegrito = QStringLiteral("ICMS CALCULADO COM BASE NA MVA");
        // The margins the lines took: the lists of the calculation's operation
        // (the interstate ones before any adjustment) at the lines' rate.
        // The 12 % margins when every line is at 12 %, the 18 % ones otherwise.
        bool algum = false, todas12 = true;
        for (const NotaLida &n : c.notas)
            for (const ItemMedicLido &it : n.itensMedic) {
                algum = true;
                todas12 = todas12 && it.debAliqICMS == Currency::fromInt(12);
            }
        const Currency aliq = Currency::fromInt(algum && todas12 ? 12 : 18);
        auto margem = [&](const char *lista) {
            return m_cfg.codigos ? MVAListaMedic(*m_cfg.codigos, QLatin1String(lista), c.opInterna, aliq) : 0.0;
        };
        m_imp.baseLinha = Format(QStringLiteral("Lista Positiva (+): %n%%, Negativa (-): %n%%, Neutra (N/C): %n%%"),
            {margem("Positiva"), margem("Negativa"), margem("Neutra")});
        if (!c.opInterna)
            m_imp.baseLinha += QStringLiteral(" - MVA Ajustada");
    } else {
        m_imp.baseNegrito = QStringLiteral("ICMS CALCULADO COM BASE NA TABELA CMED/ABCFARMA");
    }
}

} // namespace stb
