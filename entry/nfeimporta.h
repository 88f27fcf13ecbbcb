// Import of electronic invoices into the current calculation, and the
// comparison of the ST they declare with the ST this program computes.
//
// An import runs in three steps: the files are read and each line gets its
// proposed annex entry (PreparaNota; nothing is written), the user settles
// the lines left open (EscolheBrelvaLinha), and GravaImportacao stores every
// invoice of the import in one transaction. An imported invoice is an
// ordinary invoice afterwards; what the sender declared is kept beside it
// (tables NFeImportadas and NFeItensDeclarados, and NFeCreditoEfetivo for
// the lines stored with an effective credit rate) for the comparison.
//
// Everything here is free of widgets: the review dialog, the main-window
// command and the command-line tool share it.
#pragma once

#include "core/itemcalc.h"
#include "core/nfe.h"
#include "platform/currency.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

namespace stb {

class TDM;

// The calculation the invoices go into (the current row of TabCalc).
struct ContextoImportacao {
    int idCalculo = 0;
    int tipoCalculo = 0;
    int grupo = 0; // 0 for a standard calculation
    bool opInterna = true;
    bool difal() const { return tipoCalculo == 2 || tipoCalculo == 3; }
    bool medicamento() const;
};
ContextoImportacao contextoImportacao(TDM &dm);

// An annex row a line may be classified under.
struct CandidatoBrelva {
    int id = 0, item = 0, ex = 0, subItem = 0, ambito = 0;
    QString codigo; // "03.001.00"
    QString descricao, cest;
    Currency mva;
    bool fem = false;
    // The rules of the code under the reference settings, read once per
    // import (a line would read them again for every line otherwise).
    bool regrasLidas = false;
    Currency aliqICMS; // AliqICMSCodigo, mode 0
    Currency aliqMVAAjustada; // the rate the margin is adjusted to, with aliqICMS as the internal rate
    bool excluidoMVAAjustada = false;
};

// The annex rows by product code (the NBM columns), read once per import.
class PropostaBrelva {
public:
    PropostaBrelva() = default; // no rows (medicine calculations)
    explicit PropostaBrelva(TDM &dm);
    // The rows whose product codes begin the NCM; when the line has a CEST
    // and some of them carry that CEST, only those.
    QList<CandidatoBrelva> candidatos(const QString &ncm, const QString &cest) const;
    // The row of an annex code ("03.001.00"); empty when the table has none.
    std::optional<CandidatoBrelva> porCodigo(const QString &codigo) const;

private:
    QList<CandidatoBrelva> m_linhas;
    QHash<QString, QList<int>> m_porNBM; // digits of a product code -> the rows that carry it, in order
    QHash<QString, int> m_porCodigo;
};

// One line of an invoice as it will be stored.
struct LinhaImportada {
    int indice = 0; // into NFeDocumento::itens
    QList<CandidatoBrelva> candidatos;
    std::optional<CandidatoBrelva> brelva; // the annex entry chosen (general goods)
    QString problema; // why the line cannot be stored yet; empty when it can

    // Itens
    QString descricaoNF;
    Currency valorNF, valorIPI, aliqICMS, mva, mvaPreAjustada, creditoICMS, valorCreditoICMS;
    bool fem = false;
    // The rate the invoice declared, when the line's credit rate is the
    // effective one instead (AliqCreditoEfetiva): a reduced base, say.
    std::optional<Currency> aliqDeclarada;
    // ItensMedic
    QString codBarra, descricaoMedic, laboratorio, lista;
    int qtd = 0;
    Currency debVlMerc;
};

struct NotaImportada {
    QString arquivo;
    NFeDocumento nfe;
    QList<LinhaImportada> linhas;
    bool duplicada = false; // its key is already in the calculation (or earlier in this import)
    QStringList avisos;
    bool pronta() const; // every line can be stored
};

// The rate questions the item dialog asks when an annex entry is applied: the
// messages attached to the internal rate of the code ("MensAliqICMS") and to
// the rate its margin is adjusted to ("MVAAjustada.MensAliq"). A message with
// "::" is a yes/no question (ConfirmaPadraoNao with the "Não mostre mais"
// box) offering the rate after it; one with "@" is a choice among rates.
// An import asks each code once and gives its answer to every line of the
// code; a ticked box stops the question for the rest of the import.
class PerguntasAliquota {
public:
    // The choice of a "@" message (the rate chooser dialog in the window);
    // without one the first rate is taken, as the chooser's default.
    std::function<Currency(const QString &mensagem)> escolhe;

    // The internal rate the user chose for `codigo`, if a message offered one.
    std::optional<Currency> aliqInterna(const QString &codigo);
    // The rate the margin of `codigo` is adjusted to, if a message offered one.
    std::optional<Currency> aliqMVAAjustada(const QString &codigo);

private:
    std::optional<Currency> pergunta(const QString &mensagem, const QString &chave);
    QHash<QString, std::optional<Currency>> m_respostas; // code + "p1"/"p2" -> answer
};

// Prepares an invoice already read: values of every line, the proposed
// annex entry, duplicates. `perguntas` (may be null: no questions, the
// configured rates) asks the rate questions of the proposed entries.
// `jaImportadas`, when given, holds the keys already in the calculation (read
// once for many invoices); otherwise the key is looked up.
NotaImportada PreparaNota(TDM &dm, const ContextoImportacao &ctx, const PropostaBrelva &proposta, NFeDocumento nfe,
    const QString &arquivo, PerguntasAliquota *perguntas = nullptr, const QSet<QString> *jaImportadas = nullptr);
// Classifies a general-goods line under `c`: description, MVA (adjusted for
// an interstate operation), internal rate and FEM as the item dialog sets
// them, with the rate questions of the code when `perguntas` is given. A
// refused scope leaves the line open with its reason.
void EscolheBrelvaLinha(TDM &dm, const ContextoImportacao &ctx, const NFeItem &origem, LinhaImportada &linha,
    const std::optional<CandidatoBrelva> &c, PerguntasAliquota *perguntas = nullptr);

// The files of an import: each folder in `caminhos` gives its ".xml" files
// (any case), in name order; files are taken as given.
QStringList ArquivosNFe(const QStringList &caminhos);

// Every file of an import read and prepared; `erros` holds the message of
// each refused file. An import with any refused file stores nothing.
struct LoteNFe {
    QList<NotaImportada> notas;
    QStringList erros;
};
LoteNFe LeArquivosNFe(TDM &dm, const ContextoImportacao &ctx, const QStringList &arquivos,
    const std::function<void(int, int)> &progresso = {}, PerguntasAliquota *perguntas = nullptr);

// Whether the key is already imported into the calculation.
bool ChaveJaImportada(TDM &dm, int idCalculo, const QString &chave);
// Every key imported into the calculation.
QSet<QString> ChavesImportadas(TDM &dm, int idCalculo);

// Stores the invoices that are not duplicates, all in one transaction:
// senders and recipients unknown to the registers, the invoices, their
// lines and what the sender declared. `progresso` is told after each invoice
// (done, total); an exception from it, like any failure, rolls everything
// back and passes on. Throws std::runtime_error (Portuguese text) when a
// line is still open. Returns the new invoice ids.
QList<int> GravaImportacao(TDM &dm, const ContextoImportacao &ctx, const QList<NotaImportada> &notas,
    const std::function<void(int, int)> &progresso = {});

// ---- comparison ------------------------------------------------------------------

// A difference above one cent is shown highlighted.
bool DiferencaRelevante(Currency diferenca);

struct ComparacaoLinha {
    int nroItem = 0;
    QString itemBrelva, descricao;
    Currency bcDeclarada, mvaDeclarada, stDeclarado; // vBCST, pMVAST, vICMSST
    Currency bcCalculada, mvaCalculada, stCalculado; // ValorFinal, MVA, ICMSaRecolher
    // The rate the invoice declared and the effective credit rate the line
    // was stored with instead, when they differ.
    std::optional<Currency> aliqDeclarada;
    Currency aliqCredito;
    // What the comparison says of the line beside its amounts (empty when nothing).
    QString observacao() const;
    Currency diferencaBC() const { return bcCalculada - bcDeclarada; }
    Currency diferencaMVA() const { return mvaCalculada - mvaDeclarada; }
    Currency diferencaST() const { return stCalculado - stDeclarado; }
    bool destaca() const;
};

struct ComparacaoNota {
    int idNota = 0;
    QString nroNF, chave, remetente;
    Currency stDeclarado; // total/ICMSTot/vST
    Currency stCalculado; // the lines' computed ST
    Currency diferenca() const { return stCalculado - stDeclarado; }
    bool destaca() const { return DiferencaRelevante(diferenca()); }
    QList<ComparacaoLinha> linhas;
};

// The imported invoices of the current calculation of `dm` (only those in
// `idNotas` when it is not empty), each line computed under `contexto`.
QList<ComparacaoNota> ComparaImportadas(TDM &dm, const ContextoCalculo &contexto, const QList<int> &idNotas = {});

} // namespace stb
