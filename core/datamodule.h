// TDM, the data module: the database handle, every table, query and
// in-memory dataset of the program, and the working state the calculated
// fields of a calculation share. Windows and reports reach the data only
// through it.
//
// The item amounts (TabItensCalcFields, core/itemcalc.cpp) exist only while a
// computation runs (CalculoEmCurso); the invoice amount to collect
// (TabNotasCalcFields, core/totals.cpp) is computed by SQL sums whenever an
// invoice row is fetched.
#pragma once

#include "core/annexlookup.h"
#include "platform/currency.h"
#include "platform/db/dataset.h"
#include "platform/winmsg.h"

#include <QHash>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

namespace stb {

class CalculoEmCurso;
struct ContextoCalculo;

class TDM : public QObject {
    Q_OBJECT
public:
    // A data module over the data folder `dataDir` (ARM in its "ARM" sub-folder).
    // Tables are opened later, each creating its file first when missing.
    explicit TDM(const QString &dataDir);
    ~TDM();
    TDM(const TDM &) = delete;
    TDM &operator=(const TDM &) = delete;

    // ---- the process's data module (DM) ---------------------------------
    // Set the data folder before the first DM(); the module is then created
    // on first use and ends with the DataModuleScope that main() holds, so it
    // never outlives the engine's own process-wide state.
    static void setDefaultDataDir(const QString &dir);
    static TDM &instance();
    static bool hasInstance();
    static void destroyInstance();

    // Closes every dataset and points the databases at another data folder.
    void setDataDir(const QString &dir);
    const QString &dataDir() const { return m_dataDir; }
    // Closes every dataset and puts BaseDados and BaseARM on a server (the
    // backends of the data folder's and the ARM sub-folder's tables);
    // setDataDir puts them back on folders.
    void setServerBackends(std::unique_ptr<db::ServerBackend> dados, std::unique_ptr<db::ServerBackend> arm);

    // ---- databases ---------------------------------------------------------
    db::Database BaseDados; // "BaseDados", the data folder
    db::Database BaseARM; // the ARM sub-folder (collection documents)
    db::Database BaseMemoria; // the in-memory datasets of this module

    // ---- tables --------------------------------------------------------------
    db::Table TabCalc; // Calculos
    db::Table TabNotas; // Notas, detail of TabCalc by IdCalculo
    db::Table TabItens; // Itens, detail of TabNotas by IdNota
    db::Table TabItensMedic; // ItensMedic, detail of TabNotas by IdNota
    db::Table TabFisc; // Fiscais
    db::Table TabRemet; // Remetentes
    db::Table TabDest; // Destinatarios
    db::Table TabBrelva; // Brelva, read-only, ordered by Id
    db::Table TabPMPF;
    db::Table TabBebidas;
    db::Table TabRacoesPET;
    db::Table TabRegimeEspecial;
    db::Table TabIndexNBM; // ProdutosNBM
    db::Table TabMedic;
    db::Table TabCodMerc;
    db::Table TabTEC;
    db::Table TabVoceSabia;
    db::Table TabSys; // STBrelva, marker of the data folder
    db::Table TabARM; // ARM, on BaseARM

    // ---- queries -------------------------------------------------------------
    db::Query Qry; // free text
    db::Query QryICMSARecolher; // invoice ST total (lines 2 and 6 replaced per run)
    db::Query QryMedicICMSARecolher; // medicine invoice debit (line 3 replaced per run)
    db::Query QryBase; // freight base of an invoice (:IdNota)
    db::Query QryItensPMPF; // PMPF lines of an invoice (:IdNota), fuel totals

    // ---- in-memory datasets --------------------------------------------------
    db::MemTable MemGrupo; // goods groups (annex headings), for XGrupo
    db::MemTable MemRemet; // report summary by sender
    db::MemTable MemDest; // report summary by recipient
    db::MemTable MemMVA; // report summary by annex item

    // ---- working state -------------------------------------------------------
    // Where the refresh of Notas that follows a line change stands: the first
    // total computed during it serves every further fetch of the same invoice.
    enum class EstadoRefresh {
        Parado, // no such refresh runs
        Iniciado, // the refresh has started
        PrimeiroCalculado, // the first total of the refresh has been computed
    };
    bool FCalculando = false; // item amounts are computed only while true (CalculoEmCurso)
    int FNroItemExcluido = 0; // NroItem of the line being deleted
    int FIdNotaFreteBase = -1; // invoice of the cached freight base; -1 empties the cache
    Currency FFreteBase;
    EstadoRefresh FEstadoRefresh = EstadoRefresh::Parado;
    int FIdNotaCalculada = 0; // invoice whose total was computed last
    Currency UltimoValorARecolher;
    // The running computation (report run) and its context (fuel group, fine
    // factors, DIFAL share), if any.
    CalculoEmCurso *FCalculoEmCurso = nullptr;
    // The context amounts are computed under: the running computation's, or
    // that of the current calculation on the clock's today when none runs
    // (the invoice totals the main window shows).
    ContextoCalculo contextoAtual() const;
    // List MVAs of the medicines (section "ListaMedic"), read when the module is created.
    Currency ListaNegativa, ListaPositiva, ListaNeutra;

    // ---- what the windows tell the module ---------------------------------------
    // The installation's pristine tables (AppDir + "Sys/Dados/"): a table
    // missing from the data folder is copied from there before it opens
    // (TabBeforeOpen). Empty: a missing table is created from its definition.
    void setPristineDir(const QString &dir) { m_pristineDir = dir; }
    const QString &pristineDir() const { return m_pristineDir; }
    // Whether a missing table is announced before it is restored (the system
    // turns the notice off while it deletes annex files itself).
    void setAvisoTabelaAusente(bool on) { m_avisoTabelaAusente = on; }
    bool avisoTabelaAusente() const { return m_avisoTabelaAusente; }
    // While set, every table but Notas opens exclusively (the operation that
    // asks for it must keep other workstations out of the tables it rebuilds).
    void setAberturaExclusiva(bool on) { m_aberturaExclusiva = on; }
    bool aberturaExclusiva() const { return m_aberturaExclusiva; }
    // Set by DataModuleCreate: tables may open from then on.
    bool iniciado() const { return m_iniciado; }
    // Whether a calculation is open in the main window (OpenCalcView and
    // CloseCalcView say so). Until told, a calculation counts as open when the
    // calculation table is open on a row (headless runs).
    void setCalculoAberto(bool aberto) { m_calculoAberto = aberto; }
    bool CalculoAberto() const;
    // The data side of showing or leaving the current calculation: says it is
    // open, links (or unlinks) its invoices and lines, and on open moves to
    // its first invoice (opening the medicine lines for a medicine group).
    // Leaving cancels an unposted edit of the header.
    void openCalculation();
    void closeCalculation();

    // Runs before any table of the module opens, in this order: the module
    // must have been created; a missing table is restored from the pristine
    // folder (or created from its definition); a missing index file is copied
    // from there and the table repaired (an index file that no longer matches
    // its table is repaired too); an older format is upgraded; and the open
    // mode follows the exclusive-opening request.
    void TabBeforeOpen(db::Table &table);

    // ---- module operations ------------------------------------------------------
    // Gives every currency field without a text-entry handler the lenient
    // handler below, and keeps the connection open.
    void DataModuleCreate();
    // Typed text to currency: "%", "U$", "US$", blanks, "gr", "CT" and
    // parentheses are dropped, the number is truncated to four decimals and a
    // value beyond the currency range becomes the largest or smallest value.
    static void OnSetTextCurrencyField(db::Field &field, const QString &text);
    static QString ListaParaNome(const QString &lista);
    static QString NomeParaLista(const QString &nome);

    // Creates the table's files from its definition when they are missing.
    void CriaTabela(db::Table &table);
    // Creates every missing table of the data folder and of the ARM folder.
    void CriaTabelas();
    // Fills MemGrupo from the annex headings.
    void CarregaMemGrupo();

    // Next invoice id: one more than any IdNota of Notas, Itens or ItensMedic.
    int ProximoIdNota();
    // Next line number of the current invoice; `sufixo` "" for Itens, "MEDIC" for ItensMedic.
    int ProximoNroItem(const QString &sufixo = QString());
    // Posts a sender or recipient row; a key violation (the party exists
    // already) cancels the row silently and returns false.
    bool PostCadastro(db::Table &table);

    // ---- row events ----------------------------------------------------------------
    void TabCalcCalcFields(db::DataSet &ds);
    void TabNotasAfterOpen(db::DataSet &ds);
    void TabNotasCalcFields(db::DataSet &ds); // core/totals.cpp
    void TabNotasAfterScroll(db::DataSet &ds); // core/totals.cpp
    void TabItensCalcFields(db::DataSet &ds); // core/itemcalc.cpp
    void TabItensMedicCalcFields(db::DataSet &ds);
    void TabItensBeforeDelete(db::DataSet &ds);
    void TabItensAfterDelete(db::DataSet &ds);
    void TabItensAfterPost(db::DataSet &ds);

    // ---- item computation (core/itemcalc.cpp) ---------------------------------------
    // Freight base of the current invoice (value + IPI of its non-PMPF lines), cached per invoice.
    Currency FreteBaseNota();
    // Factors of the running computation; 0 when none runs. PercentualMR is
    // the fine as a fraction (0.5000 for 50 %).
    Currency PercentualMR() const;
    Currency FatorReducaoMR() const;

    // Item heading caption for the invoice row (TabNotasAfterScroll).
    QString CaptionItens();
    // " - NAME " of the current calculation's special goods group (the name of
    // its annex heading, else of the group table), upper case; empty for a
    // standard calculation.
    QString TextoGrupoEspecial();

    // ---- annex look-up (core/annexlookup.cpp) --------------------------------------------
    // Looks an annex row up: at once from the table when the code has an
    // extension or a sub-item and the row exists (true); otherwise through the
    // annex consultation program, which answers `janela` later (false).
    // `chamador` is 1 for the medicine dialog, 2 for the goods dialog;
    // `escolhe` picks among the MVAs of a row that has several.
    bool ProcuraItemBrelva(quint8 chamador, qint64 janela, ItemBrelvaConsulta &c, const EscolheOpcaoMVA &escolhe);
    static Currency EscolheMVABrelva(const QString &cabecalho, const QString &info1, Currency mva1,
        const QString &info2, Currency mva2, const QString &info3, Currency mva3, const EscolheOpcaoMVA &escolhe);
    // True when the code or its item is listed in "MVAAjustada.Exclui" of the
    // reference settings: its margin is never adjusted.
    bool ExcluidoMVAAjustada(const QString &code) const;
    // The request window of the last remote look-up (nullptr when none).
    MessageWindow *PedidoBrelva() const { return m_pedidoBrelva.get(); }
    void DescartaPedidoBrelva() { m_pedidoBrelva.reset(); }
    qint64 HandleBrelva = 0; // the annex program's main window, once found

signals:
    // The caption of the main window's item-list heading changed (TabNotasAfterScroll).
    void captionItensChanged(const QString &caption);
    // A step of work done before a table opens (the repair of the product
    // table reports its progress), for the status line.
    void statusText(const QString &text);

private:
    void setupTables();
    void setupFields();
    void setupQueries();
    void setupMemTables();
    void setupEvents();
    void bindOpenHook(db::Table &table);
    bool calculoAbertoPadrao() const;

    // Fields read by the calculated-field handlers, looked up once per opening.
    struct CalcFieldsCache {
        db::Field *grupo = nullptr, *tipoCalculo = nullptr, *diferencialAliq = nullptr;
        bool bound = false;
    };
    struct NotasFieldsCache {
        db::Field *idNota = nullptr, *nroNF = nullptr, *frete = nullptr, *destaqueICMSST = nullptr,
                  *creditoICMSMedic = nullptr;
        bool bound = false;
    };
    struct ItensFieldsCache {
        db::Field *valorNF = nullptr, *valorIPI = nullptr, *aliqICMS = nullptr, *mva = nullptr, *creditoICMS = nullptr,
                  *valorCreditoICMS = nullptr, *fem = nullptr, *pmpf = nullptr, *litros = nullptr,
                  *precoLitroNF = nullptr, *itemBrelva = nullptr, *descricaoNF = nullptr, *nroItem = nullptr;
        bool bound = false;
    };
    struct MedicFieldsCache {
        db::Field *debVlMerc = nullptr, *debAliqICMS = nullptr;
        bool bound = false;
    };
    const CalcFieldsCache &calcFields();
    const NotasFieldsCache &notasFields();
    const ItensFieldsCache &itensFields();
    const MedicFieldsCache &medicFields();

    // core/totals.cpp: steps 4 to 7 of the invoice total, under the context of
    // the computation that asks (its DIFAL share).
    Currency totalNota(int idNota, const ContextoCalculo &contexto);
    Currency totalNotaSemConferir(int idNota, const ContextoCalculo &contexto);
    Currency totalCombustivelPMPF(int idNota);
    Currency valorUnico(const QString &sql, std::optional<int> idNota = std::nullopt);
    qint64 valorInteiro(const QString &sql, std::optional<int> idNota = std::nullopt);

    QString m_dataDir;
    QString m_pristineDir;
    bool m_avisoTabelaAusente = true;
    bool m_aberturaExclusiva = false;
    bool m_iniciado = false;
    QHash<db::Table *, db::OpenMode> m_modoAntesExclusivo; // tables the exclusive request switched
    std::optional<bool> m_calculoAberto;
    std::unique_ptr<MessageWindow> m_pedidoBrelva; // the request window of the last remote look-up
    CalcFieldsCache m_calcCache;
    NotasFieldsCache m_notasCache;
    ItensFieldsCache m_itensCache;
    MedicFieldsCache m_medicCache;

    // Calculated and lookup fields (persistent across openings).
    db::Field *m_xRemetDest = nullptr, *m_xOpInterna = nullptr, *m_xRemetenteCalc = nullptr,
              *m_xDestinatarioCalc = nullptr;
    db::Field *m_valorARecolher = nullptr;
    db::Field *m_xDescricao = nullptr, *m_xDescrBrelva = nullptr;
    db::Field *m_freteProp = nullptr, *m_icmsARecolher = nullptr, *m_soma = nullptr, *m_valorFinal = nullptr,
              *m_valorICMS = nullptr, *m_valorMR = nullptr, *m_valorMRRed = nullptr, *m_totalARecolher = nullptr,
              *m_valorFEM = nullptr;
    db::Field *m_debVlICMS = nullptr;
};

// The process's data module.
inline TDM &DM() { return TDM::instance(); }

// Owner of the process's data module: main() holds one, and the module (with
// every table and connection) ends when it goes out of scope.
class DataModuleScope {
public:
    DataModuleScope() = default;
    ~DataModuleScope() { TDM::destroyInstance(); }
    DataModuleScope(const DataModuleScope &) = delete;
    DataModuleScope &operator=(const DataModuleScope &) = delete;
};

} // namespace stb
