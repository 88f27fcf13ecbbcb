#include "core/datamodule.h"

#include "core/grupos.h"
#include "core/itemcalc.h"
#include "core/schema.h"
#include "core/settings.h"
#include "core/totals.h"
#include "platform/db/serverbackend.h"
#include "platform/formatting.h"

#include <QDir>
#include <algorithm>
#include <memory>
#include <utility>

namespace stb {

using db::DataSet;
using db::Field;
using db::FieldType;
using db::Table;

namespace {

QString g_defaultDataDir;
TDM *g_dm = nullptr; // owned through DataModuleScope

QString pastaARM(const QString &dataDir)
{
    return dataDir.isEmpty() ? QString() : QDir(dataDir).filePath(QStringLiteral("ARM"));
}

// "A26075800041" is shown "A26/0758/00041": "/" inserted at position 4, then
// at position 9 of the lengthened text (at the end when the text is shorter).
QString formataNroTRM(const QString &nro)
{
    if (nro.isEmpty())
        return nro;
    QString s = nro;
    s.insert(std::min<qsizetype>(3, s.size()), QLatin1Char('/'));
    s.insert(std::min<qsizetype>(8, s.size()), QLatin1Char('/'));
    return s;
}

// The currency totals every summary row of the report carries.
QList<db::FieldDef> totaisResumo()
{
    QList<db::FieldDef> fs;
    for (const char *n :
        {"ValorNF", "ValorIPI", "Frete", "Soma", "ValorFinal", "ValorICMS", "CreditoICMS", "ICMSaRecolher", "ValorMR",
            "ValorMRRed", "TotalARecolher", "ValorFEM", "ValorFEMMR", "ValorFEMMRRed", "DestaqueICMSST"})
        fs << db::FieldDef {QString::fromLatin1(n), FieldType::Currency, 0, false};
    return fs;
}

db::FieldDef campo(const char *name, FieldType type, int size = 0)
{
    return db::FieldDef {QString::fromLatin1(name), type, size, false};
}

} // namespace

// ===== life ========================================================================

TDM::TDM(const QString &dataDir)
    : BaseDados(QStringLiteral("BaseDados")),
      BaseARM(QStringLiteral("BaseARM")),
      BaseMemoria(QStringLiteral("Memoria"), db::Database::Storage::Memory),
      TabCalc(&BaseDados, QStringLiteral("Calculos")),
      TabNotas(&BaseDados, QStringLiteral("Notas")),
      TabItens(&BaseDados, QStringLiteral("Itens")),
      TabItensMedic(&BaseDados, QStringLiteral("ItensMedic")),
      TabFisc(&BaseDados, QStringLiteral("Fiscais")),
      TabRemet(&BaseDados, QStringLiteral("Remetentes")),
      TabDest(&BaseDados, QStringLiteral("Destinatarios")),
      TabBrelva(&BaseDados, QStringLiteral("Brelva")),
      TabPMPF(&BaseDados, QStringLiteral("PMPF")),
      TabBebidas(&BaseDados, QStringLiteral("Bebidas")),
      TabRacoesPET(&BaseDados, QStringLiteral("RacoesPET")),
      TabRegimeEspecial(&BaseDados, QStringLiteral("RegimeEspecial")),
      TabIndexNBM(&BaseDados, QStringLiteral("ProdutosNBM")),
      TabMedic(&BaseDados, QStringLiteral("Medic")),
      TabCodMerc(&BaseDados, QStringLiteral("CodMerc")),
      TabTEC(&BaseDados, QStringLiteral("TEC")),
      TabVoceSabia(&BaseDados, QStringLiteral("VoceSabia")),
      TabSys(&BaseDados, QStringLiteral("STBrelva")),
      TabARM(&BaseARM, QStringLiteral("ARM")),
      Qry(&BaseDados),
      QryICMSARecolher(&BaseDados),
      QryMedicICMSARecolher(&BaseDados),
      QryBase(&BaseDados),
      QryItensPMPF(&BaseDados),
      MemGrupo(QStringLiteral("MemGrupo"), &BaseMemoria),
      MemRemet(QStringLiteral("MemRemet"), &BaseMemoria),
      MemDest(QStringLiteral("MemDest"), &BaseMemoria),
      MemMVA(QStringLiteral("MemMVA"), &BaseMemoria)
{
    setDataDir(dataDir);
    setupTables();
    setupMemTables();
    setupFields();
    setupQueries();
    setupEvents();
    DataModuleCreate();
}

TDM::~TDM()
{
    // Details first, so no dataset follows a master that is closing.
    for (DataSet *ds : {static_cast<DataSet *>(&TabItens), static_cast<DataSet *>(&TabItensMedic),
             static_cast<DataSet *>(&TabNotas), static_cast<DataSet *>(&TabCalc)}) {
        ds->afterScroll = nullptr;
        ds->onCalcFields = nullptr;
    }
    BaseDados.close();
    BaseARM.close();
}

void TDM::setDefaultDataDir(const QString &dir) { g_defaultDataDir = dir; }

TDM &TDM::instance()
{
    if (!g_dm)
        g_dm = new TDM(g_defaultDataDir);
    return *g_dm;
}

bool TDM::hasInstance() { return g_dm != nullptr; }

void TDM::destroyInstance() { delete std::exchange(g_dm, nullptr); }

void TDM::setDataDir(const QString &dir)
{
    BaseDados.close();
    BaseARM.close();
    m_dataDir = dir;
    BaseDados.setDirectory(dir);
    BaseARM.setDirectory(pastaARM(dir));
    FIdNotaFreteBase = -1;
}

void TDM::setServerBackends(std::unique_ptr<db::ServerBackend> dados, std::unique_ptr<db::ServerBackend> arm)
{
    BaseDados.close();
    BaseARM.close();
    BaseDados.setServer(std::move(dados));
    BaseARM.setServer(std::move(arm));
    FIdNotaFreteBase = -1;
}

void TDM::setupTables()
{
    TabCalc.definition() = schema::calculos();
    TabNotas.definition() = schema::notas();
    TabItens.definition() = schema::itens();
    TabItensMedic.definition() = schema::itensMedic();
    TabFisc.definition() = schema::fiscais();
    TabRemet.definition() = schema::remetentes();
    TabDest.definition() = schema::destinatarios();
    TabBrelva.definition() = schema::brelva();
    TabPMPF.definition() = schema::pmpf();
    TabBebidas.definition() = schema::bebidas();
    TabRacoesPET.definition() = schema::racoesPet();
    TabRegimeEspecial.definition() = schema::regimeEspecial();
    TabIndexNBM.definition() = schema::produtosNbm();
    TabMedic.definition() = schema::medic();
    TabCodMerc.definition() = schema::codMerc();
    TabTEC.definition() = schema::tec();
    TabVoceSabia.definition() = schema::voceSabia();
    TabSys.definition() = schema::sysTable();
    TabARM.definition() = schema::arm();

    TabCalc.objectName = QStringLiteral("TabCalc");
    TabNotas.objectName = QStringLiteral("TabNotas");
    TabItens.objectName = QStringLiteral("TabItens");
    TabItensMedic.objectName = QStringLiteral("TabItensMedic");
    TabFisc.objectName = QStringLiteral("TabFisc");
    TabRemet.objectName = QStringLiteral("TabRemet");
    TabDest.objectName = QStringLiteral("TabDest");
    TabBrelva.objectName = QStringLiteral("TabBrelva");
    TabPMPF.objectName = QStringLiteral("TabPMPF");
    TabIndexNBM.objectName = QStringLiteral("TabIndexNBM");
    TabSys.objectName = QStringLiteral("TabSys");
    TabARM.objectName = QStringLiteral("TabARM");
    Qry.objectName = QStringLiteral("Qry");
    QryICMSARecolher.objectName = QStringLiteral("QryICMSARecolher");
    QryMedicICMSARecolher.objectName = QStringLiteral("QryMedicICMSARecolher");
    QryBase.objectName = QStringLiteral("QryBase");
    QryItensPMPF.objectName = QStringLiteral("QryItensPMPF");

    // Orders the program relies on.
    TabNotas.setIndexFieldNames(QStringLiteral("IdCalculo;NroNF"));
    TabItens.setIndexName(QStringLiteral("IdNota")); // IdNota;NroItem
    TabItensMedic.setIndexName(QStringLiteral("IdNota")); // IdNota;NroItem
    TabBrelva.setIndexName(QStringLiteral("Id"));
    TabBrelva.setReadOnly(true);

    TabNotas.setMasterSource(&TabCalc, QStringLiteral("IdCalculo"), QStringLiteral("IdCalculo"));
    TabItens.setMasterSource(&TabNotas, QStringLiteral("IdNota"), QStringLiteral("IdNota"));
    TabItensMedic.setMasterSource(&TabNotas, QStringLiteral("IdNota"), QStringLiteral("IdNota"));

    for (Table *t : {&TabCalc, &TabNotas, &TabItens, &TabItensMedic, &TabFisc, &TabRemet, &TabDest, &TabBrelva,
             &TabPMPF, &TabBebidas, &TabRacoesPET, &TabRegimeEspecial, &TabIndexNBM, &TabMedic, &TabCodMerc, &TabTEC,
             &TabVoceSabia, &TabSys, &TabARM})
        bindOpenHook(*t);
}

void TDM::setupMemTables()
{
    MemGrupo.definition().fields = {campo("Grupo", FieldType::SmallInt), campo("Descricao", FieldType::String, 100),
        campo("UF", FieldType::String, 128)};
    MemRemet.definition().fields
        = {campo("CNPJRemet", FieldType::String, 20), campo("Remetente", FieldType::String, 50)};
    MemRemet.definition().fields << totaisResumo() << campo("RegimeEspecial", FieldType::String, 1);
    MemRemet.definition().indexes = {{QStringLiteral("Remetente"), QStringLiteral("Remetente"), 0}};
    MemRemet.setIndexName(QStringLiteral("Remetente"));
    MemDest.definition().fields
        = {campo("IEDest", FieldType::String, 20), campo("Destinatario", FieldType::String, 50)};
    MemDest.definition().fields << totaisResumo() << campo("RegimeEspecial", FieldType::String, 1);
    MemDest.definition().indexes = {{QStringLiteral("Destinatario"), QStringLiteral("Destinatario"), 0}};
    MemDest.setIndexName(QStringLiteral("Destinatario"));
    MemMVA.definition().fields = {campo("MVA", FieldType::Currency)};
    MemMVA.definition().fields << totaisResumo();
    MemMVA.definition().indexes = {{QStringLiteral("MVA"), QStringLiteral("MVA"), 0}};
    MemMVA.setIndexName(QStringLiteral("MVA"));
    MemGrupo.objectName = QStringLiteral("MemGrupo");
    MemRemet.objectName = QStringLiteral("MemRemet");
    MemDest.objectName = QStringLiteral("MemDest");
    MemMVA.objectName = QStringLiteral("MemMVA");
}

void TDM::setupFields()
{
    const QString maspMask = QStringLiteral("000.000-0;1;_");
    const QString cnpjMask = QStringLiteral("99.999.999/9999-99;1;_");
    const QString ieMask = QStringLiteral("999.999.999.9999;1;_");
    const QString dois = QStringLiteral(",0.00");

    // Calculos
    TabCalc.fieldSetup(QStringLiteral("IdCalculo")).displayLabel = QStringLiteral("Nro Cálculo");
    TabCalc.fieldSetup(QStringLiteral("Masp")).editMask = maspMask;
    TabCalc.fieldSetup(QStringLiteral("CNPJRemet")).editMask = cnpjMask;
    TabCalc.fieldSetup(QStringLiteral("IEDest")).editMask = ieMask;
    TabCalc.fieldSetup(QStringLiteral("NroTRM")).onGetText
        = [](const Field &f, bool) { return formataNroTRM(f.asString()); };
    TabCalc.fieldSetup(QStringLiteral("Observ")).onGetText = [](const Field &f, bool) { return f.asString(); };
    TabCalc.addLookupField(QStringLiteral("XFiscal"), FieldType::String, 50, &TabFisc, QStringLiteral("Masp"),
        QStringLiteral("Fiscal"), QStringLiteral("Masp"));
    m_xRemetenteCalc = &TabCalc.addLookupField(QStringLiteral("XRemetente"), FieldType::String, 50, &TabRemet,
        QStringLiteral("CNPJRemet"), QStringLiteral("Remetente"), QStringLiteral("CNPJRemet"));
    m_xDestinatarioCalc = &TabCalc.addLookupField(QStringLiteral("XDestinatario"), FieldType::String, 50, &TabDest,
        QStringLiteral("IEDest"), QStringLiteral("Destinatario"), QStringLiteral("IEDest"));
    TabCalc.addLookupField(QStringLiteral("XGrupo"), FieldType::String, 100, &MemGrupo, QStringLiteral("Grupo"),
        QStringLiteral("Descricao"), QStringLiteral("Grupo"));
    m_xRemetDest = &TabCalc.addCalcField(QStringLiteral("XRemetDest"), FieldType::String, 50);
    m_xOpInterna = &TabCalc.addCalcField(QStringLiteral("XOpInterna"), FieldType::String, 20);

    // Notas
    TabNotas.fieldSetup(QStringLiteral("CNPJRemet")).editMask = cnpjMask;
    TabNotas.fieldSetup(QStringLiteral("IEDest")).editMask = ieMask;
    for (const char *n : {"Frete", "CreditoICMSMedic", "DestaqueICMSST"})
        TabNotas.fieldSetup(QString::fromLatin1(n)).displayFormat = dois;
    TabNotas.addLookupField(QStringLiteral("XRemetente"), FieldType::String, 50, &TabRemet, QStringLiteral("CNPJRemet"),
        QStringLiteral("Remetente"), QStringLiteral("CNPJRemet"));
    TabNotas.addLookupField(QStringLiteral("XDestinatario"), FieldType::String, 50, &TabDest, QStringLiteral("IEDest"),
        QStringLiteral("Destinatario"), QStringLiteral("IEDest"));
    m_valorARecolher = &TabNotas.addCalcField(QStringLiteral("ValorARecolher"), FieldType::Currency);
    m_valorARecolher->displayFormat = dois;

    // Itens
    const QString semZero = QStringLiteral(",0.00;-,0.00; ");
    TabItens.fieldSetup(QStringLiteral("ValorNF")).displayFormat = semZero;
    TabItens.fieldSetup(QStringLiteral("ValorIPI")).displayFormat = dois;
    TabItens.fieldSetup(QStringLiteral("MVA")).displayFormat = QStringLiteral(",0.00%;-,0.00%; ");
    TabItens.fieldSetup(QStringLiteral("CreditoICMS")).displayFormat = QStringLiteral(",0.00%");
    TabItens.fieldSetup(QStringLiteral("ValorCreditoICMS")).displayFormat = QStringLiteral(",0.00; ; ");
    TabItens.fieldSetup(QStringLiteral("PMPF")).displayFormat = QStringLiteral(",0.0000;-,0.0000; ");
    TabItens.fieldSetup(QStringLiteral("Litros")).displayFormat = semZero;
    TabItens.fieldSetup(QStringLiteral("PrecoLitroNF")).displayFormat = semZero;
    m_xDescrBrelva = &TabItens.addLookupField(QStringLiteral("XDescrBrelva"), FieldType::String, 250, &TabBrelva,
        QStringLiteral("ID"), QStringLiteral("DESCRICAO"), QStringLiteral("IdBrelva"));
    m_xDescricao = &TabItens.addCalcField(QStringLiteral("XDescricao"), FieldType::String, 96);
    m_freteProp = &TabItens.addCalcField(QStringLiteral("FreteProp"), FieldType::Currency);
    m_icmsARecolher = &TabItens.addCalcField(QStringLiteral("ICMSaRecolher"), FieldType::Currency);
    m_soma = &TabItens.addCalcField(QStringLiteral("Soma"), FieldType::Currency);
    m_valorFinal = &TabItens.addCalcField(QStringLiteral("ValorFinal"), FieldType::Currency);
    m_valorFinal->displayFormat = dois;
    m_valorICMS = &TabItens.addCalcField(QStringLiteral("ValorICMS"), FieldType::Currency);
    m_valorMR = &TabItens.addCalcField(QStringLiteral("ValorMR"), FieldType::Currency);
    m_valorMRRed = &TabItens.addCalcField(QStringLiteral("ValorMRRed"), FieldType::Currency);
    m_totalARecolher = &TabItens.addCalcField(QStringLiteral("TotalARecolher"), FieldType::Currency);
    m_valorFEM = &TabItens.addCalcField(QStringLiteral("ValorFEM"), FieldType::Currency);

    // ItensMedic
    TabItensMedic.fieldSetup(QStringLiteral("DebVlMerc")).displayFormat = dois;
    TabItensMedic.fieldSetup(QStringLiteral("DebAliqICMS")).displayFormat = QStringLiteral(",0.0%");
    m_debVlICMS = &TabItensMedic.addCalcField(QStringLiteral("DebVlICMS"), FieldType::Currency);
    m_debVlICMS->displayFormat = dois;

    // Parties
    TabFisc.fieldSetup(QStringLiteral("Masp")).editMask = maspMask;
    DataSet::FieldSetup &cnpj = TabRemet.fieldSetup(QStringLiteral("CNPJRemet"));
    cnpj.editMask = QStringLiteral("00.000.000/0000-00;1;_");
    cnpj.displayLabel = QStringLiteral("CNPJ Remetente");
    DataSet::FieldSetup &ie = TabDest.fieldSetup(QStringLiteral("IEDest"));
    ie.editMask = QStringLiteral("000.000.000.0000;1;_");
    ie.displayLabel = QStringLiteral("IE Destinatário");
    TabDest.fieldSetup(QStringLiteral("Destinatario")).displayLabel = QStringLiteral("Destinatário");

    // Reference prices with four decimals.
    for (const char *n : {"PMPFAlcool", "PMPFGasolina", "PMPFDiesel", "PMPFGlp", "PMPFQav"})
        TabPMPF.fieldSetup(QString::fromLatin1(n)).displayFormat = QStringLiteral(",0.0000");
}

void TDM::setupQueries()
{
    QryICMSARecolher.sql() = totals::textoICMSARecolher();
    QryMedicICMSARecolher.sql() = totals::textoMedicICMSARecolher();
    QryBase.sql() = totals::textoBase();
    QryItensPMPF.setSql(QStringLiteral("SELECT IT.LITROS, IT.PMPF, IT.PRECOLITRONF, IT.ALIQICMS, IT.CREDITOICMS "
                                       "FROM ITENS IT WHERE IT.IDNOTA = :IdNota AND IT.PMPF <> 0"));
}

void TDM::setupEvents()
{
    TabCalc.onCalcFields = [this](DataSet &ds) { TabCalcCalcFields(ds); };
    TabNotas.afterOpen = [this](DataSet &ds) { TabNotasAfterOpen(ds); };
    TabNotas.onCalcFields = [this](DataSet &ds) { TabNotasCalcFields(ds); };
    TabNotas.afterScroll = [this](DataSet &ds) { TabNotasAfterScroll(ds); };
    TabItens.onCalcFields = [this](DataSet &ds) { TabItensCalcFields(ds); };
    TabItensMedic.onCalcFields = [this](DataSet &ds) { TabItensMedicCalcFields(ds); };
    for (Table *t : {&TabItens, &TabItensMedic}) {
        t->beforeDelete = [this](DataSet &ds) { TabItensBeforeDelete(ds); };
        t->afterDelete = [this](DataSet &ds) { TabItensAfterDelete(ds); };
        t->afterPost = [this](DataSet &ds) { TabItensAfterPost(ds); };
    }
}

void TDM::bindOpenHook(Table &table)
{
    // The cached field pointers of a dataset die with its opening.
    auto esquece = [this](DataSet &ds) {
        if (&ds == &TabCalc)
            m_calcCache = {};
        else if (&ds == &TabNotas)
            m_notasCache = {};
        else if (&ds == &TabItens)
            m_itensCache = {};
        else if (&ds == &TabItensMedic)
            m_medicCache = {};
    };
    table.beforeOpen = [this, &table, esquece](DataSet &ds) {
        esquece(ds);
        TabBeforeOpen(table);
    };
    table.afterClose = esquece;
}

void TDM::DataModuleCreate()
{
    // Every currency field of the module gets the lenient text entry.
    auto handler = [](Field &f, const QString &text) { OnSetTextCurrencyField(f, text); };
    for (Table *t : {&TabCalc, &TabNotas, &TabItens, &TabItensMedic, &TabFisc, &TabRemet, &TabDest, &TabBrelva,
             &TabPMPF, &TabBebidas, &TabRacoesPET, &TabRegimeEspecial, &TabIndexNBM, &TabMedic, &TabCodMerc, &TabTEC,
             &TabVoceSabia, &TabSys, &TabARM, static_cast<Table *>(&MemGrupo), static_cast<Table *>(&MemRemet),
             static_cast<Table *>(&MemDest), static_cast<Table *>(&MemMVA)}) {
        for (const db::FieldDef &fd : t->definition().fields) {
            if (fd.type != FieldType::Currency)
                continue;
            DataSet::FieldSetup &s = t->fieldSetup(fd.name);
            if (!s.onSetText)
                s.onSetText = handler;
        }
    }
    for (Field *f : {m_valorARecolher, m_freteProp, m_icmsARecolher, m_soma, m_valorFinal, m_valorICMS, m_valorMR,
             m_valorMRRed, m_totalARecolher, m_valorFEM, m_debVlICMS})
        if (!f->onSetText)
            f->onSetText = handler;
    BaseDados.setKeepConnection(true);
    m_iniciado = true;
    Settings &s = Settings::instance();
    ListaNegativa = s.listaNegativa();
    ListaPositiva = s.listaPositiva();
    ListaNeutra = s.listaNeutra();
}

// ===== tables =========================================================================

void TDM::CriaTabela(Table &table)
{
    db::Database *base = table.database();
    if (!base || base->storage() == db::Database::Storage::Memory || table.exists())
        return;
    if (!base->directory().isEmpty())
        QDir().mkpath(base->directory());
    db::TableDef def = schema::byName(table.tableName());
    if (def.fields.isEmpty())
        def = table.definition();
    def.name = table.tableName();
    base->createTable(def);
}

void TDM::CriaTabelas()
{
    for (Table *t : {&TabCalc, &TabNotas, &TabItens, &TabItensMedic, &TabFisc, &TabRemet, &TabDest, &TabBrelva,
             &TabPMPF, &TabBebidas, &TabRacoesPET, &TabRegimeEspecial, &TabIndexNBM, &TabMedic, &TabCodMerc, &TabTEC,
             &TabVoceSabia, &TabSys, &TabARM})
        CriaTabela(*t);
}

void TDM::CarregaMemGrupo()
{
    if (!TabBrelva.isActive() && !TabBrelva.exists())
        TabBeforeOpen(TabBrelva);
    Qry.close();
    Qry.setSql(QStringLiteral("SELECT ITEM, DESCRICAO FROM BRELVA WHERE AMBITO = 0 AND ITEM < 99"));
    try {
        Qry.open();
        MemGrupo.close(); // empties it
        MemGrupo.open();
        Field &grupo = MemGrupo.fieldByName(QStringLiteral("Grupo"));
        Field &descricao = MemGrupo.fieldByName(QStringLiteral("Descricao"));
        for (Qry.first(); !Qry.eof(); Qry.next()) {
            MemGrupo.append();
            grupo.setAsInteger(GrupoDoItemAnexo(Qry.field(0).asInteger()));
            descricao.setAsString(Qry.field(1).asString());
            MemGrupo.post();
        }
        Qry.close();
    } catch (...) {
        Qry.close();
        throw;
    }
    MemGrupo.first();
}

// ===== text entry and list codes ============================================================

void TDM::OnSetTextCurrencyField(Field &field, const QString &text)
{
    QString s = text;
    for (const char *token : {"US$", "U$", "%", "gr", "CT", "(", ")"})
        s.remove(QLatin1String(token));
    s.removeIf([](QChar c) { return c.isSpace(); });
    if (s.isEmpty()) {
        field.clear();
        return;
    }
    // Truncated to four decimals; only a value beyond the range fails the
    // exact reading, and it saturates.
    if (const auto c = StrToCurr(s)) {
        field.setAsCurrency(*c);
        return;
    }
    if (const auto x = StrToFloat(s)) {
        field.setAsCurrency(Currency::fromExtended(*x));
        return;
    }
    throw db::EngineError(db::Err::InvalidValue, QStringLiteral("'%1' não é um valor válido").arg(text));
}

QString TDM::ListaParaNome(const QString &lista)
{
    if (lista == QLatin1String("+"))
        return QStringLiteral("Positiva");
    if (lista == QLatin1String("-"))
        return QStringLiteral("Negativa");
    if (lista == QLatin1String("N") || lista == QLatin1String("C"))
        return QStringLiteral("Neutra");
    return {};
}

QString TDM::NomeParaLista(const QString &nome)
{
    if (nome.compare(QLatin1String("Positiva"), Qt::CaseInsensitive) == 0)
        return QStringLiteral("+");
    if (nome.compare(QLatin1String("Negativa"), Qt::CaseInsensitive) == 0)
        return QStringLiteral("-");
    if (nome.compare(QLatin1String("Neutra"), Qt::CaseInsensitive) == 0)
        return QStringLiteral("N");
    return {};
}

// ===== ids and line numbers ==================================================================

int TDM::ProximoIdNota()
{
    // Every table asked must exist, also before its first opening.
    for (Table *t : {&TabNotas, &TabItens, &TabItensMedic})
        if (!t->isActive() && !t->exists())
            TabBeforeOpen(*t);
    // Lines whose invoice was deleted still hold their id: it is never reused.
    qint64 maior = 0;
    for (const char *sql :
        {"SELECT MAX(IdNota) FROM NOTAS", "SELECT MAX(IdNota) FROM ITENS", "SELECT MAX(IdNota) FROM ITENSMEDIC"})
        maior = std::max(maior, valorInteiro(QString::fromLatin1(sql)));
    return static_cast<int>(maior + 1);
}

int TDM::ProximoNroItem(const QString &sufixo)
{
    Table &tabela = sufixo.isEmpty() ? TabItens : TabItensMedic;
    if (!tabela.isActive() && !tabela.exists())
        TabBeforeOpen(tabela);
    const int idNota = TabNotas.isActive() ? notasFields().idNota->asInteger() : 0;
    // The invoice's id is bound, so the statement is prepared once.
    const QString sql = QStringLiteral("SELECT MAX(NroItem) FROM ITENS%1 WHERE IDNota = :IdNota").arg(sufixo);
    return static_cast<int>(valorInteiro(sql, idNota)) + 1;
}

bool TDM::PostCadastro(Table &table)
{
    try {
        table.post();
        return true;
    } catch (const db::EngineError &e) {
        if (e.code() != db::Err::KeyViolation)
            throw;
        table.cancel(); // the party exists already: its stored name stays
        return false;
    }
}

// ===== row events ==============================================================================

bool TDM::calculoAbertoPadrao() const { return TabCalc.isActive() && !TabCalc.isEmpty(); }

QString TDM::TextoGrupoEspecial()
{
    if (!TabCalc.isActive() || TabCalc.isEmpty())
        return {};
    const Field *grupo = TabCalc.findField(QStringLiteral("Grupo"));
    if (!grupo || grupo->isNull() || grupo->asInteger() <= 0)
        return {};
    const Field *xGrupo = TabCalc.findField(QStringLiteral("XGrupo"));
    QString nome = xGrupo ? xGrupo->asString() : QString();
    if (nome.isEmpty())
        nome = NomeGrupo(grupo->asInteger());
    return QStringLiteral(" - %1 ").arg(nome.toUpper());
}

bool TDM::CalculoAberto() const { return m_calculoAberto ? *m_calculoAberto : calculoAbertoPadrao(); }

void TDM::openCalculation()
{
    setCalculoAberto(true);
    TabNotas.setMasterLinkActive(true);
    TabItens.setMasterLinkActive(true);
    TabItensMedic.setMasterLinkActive(true);
    if (TabNotas.isActive())
        TabNotas.first();
    const Field *grupo = TabCalc.findField(QStringLiteral("Grupo"));
    if (grupo && !grupo->isNull() && isGrupoMedicamento(grupo->asInteger()) && !TabItensMedic.isActive())
        TabItensMedic.open();
}

void TDM::closeCalculation()
{
    setCalculoAberto(false);
    if (TabCalc.isActive() && (TabCalc.state() == DataSet::State::Edit || TabCalc.state() == DataSet::State::Insert))
        TabCalc.cancel();
    TabNotas.setMasterLinkActive(false);
    TabItens.setMasterLinkActive(false);
    TabItensMedic.setMasterLinkActive(false);
}

void TDM::TabCalcCalcFields(DataSet &ds)
{
    const QString remetente = m_xRemetenteCalc->asString();
    const QString destinatario = m_xDestinatarioCalc->asString();
    if (destinatario.isEmpty())
        m_xRemetDest->setAsString(remetente);
    else if (remetente.isEmpty())
        m_xRemetDest->setAsString(destinatario);
    else
        m_xRemetDest->setAsString(remetente + QStringLiteral(" x ") + destinatario);

    const Field &opInterna = ds.fieldByName(QStringLiteral("OpInterna"));
    if (!opInterna.isNull())
        m_xOpInterna->setAsString(
            opInterna.asBoolean() ? QStringLiteral("Op Interna") : QStringLiteral("Op Interestadual"));
}

void TDM::TabNotasAfterOpen(DataSet &)
{
    if (TabNotas.indexFieldNames() != QLatin1String("IdCalculo;NroNF"))
        TabNotas.setIndexFieldNames(QStringLiteral("IdCalculo;NroNF"));
}

void TDM::TabItensBeforeDelete(DataSet &ds)
{
    FNroItemExcluido = ds.fieldByName(QStringLiteral("NroItem")).asInteger();
}

void TDM::TabItensAfterDelete(DataSet &ds)
{
    const DataSet::Event aposPost = ds.afterPost;
    Field &nroItem = ds.fieldByName(QStringLiteral("NroItem"));
    if (!ds.isEmpty() && nroItem.asInteger() > FNroItemExcluido) {
        // The lines after the deleted one move up by one, without the
        // per-post refresh; the current line is then the one that took the
        // deleted number.
        ds.disableControls();
        ds.afterPost = nullptr;
        auto restaura = [&] {
            ds.afterPost = aposPost;
            ds.enableControls();
        };
        try {
            int n = FNroItemExcluido;
            while (!ds.eof()) {
                ds.edit();
                nroItem.setAsInteger(n);
                ds.post();
                ds.next();
                ++n;
            }
            ds.locate(QStringLiteral("NroItem"), {FNroItemExcluido});
        } catch (...) {
            restaura();
            throw;
        }
        restaura();
    }
    if (aposPost)
        aposPost(ds);
}

void TDM::TabItensAfterPost(DataSet &)
{
    FIdNotaFreteBase = -1;
    if (!TabNotas.isActive())
        return;
    // The invoice totals are computed again, once per invoice.
    FEstadoRefresh = EstadoRefresh::Iniciado;
    try {
        TabNotas.refresh();
    } catch (...) {
        FEstadoRefresh = EstadoRefresh::Parado;
        throw;
    }
    FEstadoRefresh = EstadoRefresh::Parado;
}

// ===== cached fields ===========================================================================

const TDM::CalcFieldsCache &TDM::calcFields()
{
    if (!m_calcCache.bound && TabCalc.isActive()) {
        m_calcCache.grupo = &TabCalc.fieldByName(QStringLiteral("Grupo"));
        m_calcCache.tipoCalculo = &TabCalc.fieldByName(QStringLiteral("TipoCalculo"));
        m_calcCache.diferencialAliq = &TabCalc.fieldByName(QStringLiteral("DiferencialAliq"));
        m_calcCache.bound = true;
    }
    return m_calcCache;
}

const TDM::NotasFieldsCache &TDM::notasFields()
{
    if (!m_notasCache.bound && TabNotas.isActive()) {
        m_notasCache.idNota = &TabNotas.fieldByName(QStringLiteral("IdNota"));
        m_notasCache.nroNF = &TabNotas.fieldByName(QStringLiteral("NroNF"));
        m_notasCache.frete = &TabNotas.fieldByName(QStringLiteral("Frete"));
        m_notasCache.destaqueICMSST = &TabNotas.fieldByName(QStringLiteral("DestaqueICMSST"));
        m_notasCache.creditoICMSMedic = &TabNotas.fieldByName(QStringLiteral("CreditoICMSMedic"));
        m_notasCache.bound = true;
    }
    return m_notasCache;
}

const TDM::ItensFieldsCache &TDM::itensFields()
{
    if (!m_itensCache.bound) {
        auto f = [this](const char *name) { return &TabItens.fieldByName(QString::fromLatin1(name)); };
        m_itensCache.valorNF = f("ValorNF");
        m_itensCache.valorIPI = f("ValorIPI");
        m_itensCache.aliqICMS = f("AliqICMS");
        m_itensCache.mva = f("MVA");
        m_itensCache.creditoICMS = f("CreditoICMS");
        m_itensCache.valorCreditoICMS = f("ValorCreditoICMS");
        m_itensCache.fem = f("FEM");
        m_itensCache.pmpf = f("PMPF");
        m_itensCache.litros = f("Litros");
        m_itensCache.precoLitroNF = f("PrecoLitroNF");
        m_itensCache.itemBrelva = f("ItemBrelva");
        m_itensCache.descricaoNF = f("DescricaoNF");
        m_itensCache.nroItem = f("NroItem");
        m_itensCache.bound = true;
    }
    return m_itensCache;
}

const TDM::MedicFieldsCache &TDM::medicFields()
{
    if (!m_medicCache.bound) {
        m_medicCache.debVlMerc = &TabItensMedic.fieldByName(QStringLiteral("DebVlMerc"));
        m_medicCache.debAliqICMS = &TabItensMedic.fieldByName(QStringLiteral("DebAliqICMS"));
        m_medicCache.bound = true;
    }
    return m_medicCache;
}

} // namespace stb
