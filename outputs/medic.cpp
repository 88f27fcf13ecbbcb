#include "outputs/medic.h"

#include "core/edition.h"
#include "core/messages.h"
#include "core/schema.h"
#include "core/settings.h"
#include "platform/formatting.h"
#include "platform/inifile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringConverter>
#include <filesystem>
#include <system_error>

namespace stb {

namespace {

const QString kSecao = QStringLiteral("Medicamento");
const QString kChave = QStringLiteral("TabMedic.txt");
const QString kChaveNova = QStringLiteral("TabMedic.txt.NovaTabela");
const QString kSnapshot = QStringLiteral("Medic.Tab");
const QString kTexto = QStringLiteral("TabMedic.txt");
constexpr int kCampos = 9;
constexpr int kMaxProblemasMostrados = 10;

// A file of the data folder named without regard to case.
QString arquivoDados(const QString &dataDir, const QString &name)
{
    const QDir dir(dataDir);
    const QStringList found = dir.entryList({name}, QDir::Files | QDir::Hidden);
    for (const QString &f : found)
        if (f.compare(name, Qt::CaseInsensitive) == 0)
            return dir.filePath(f);
    return dir.filePath(name);
}

// Moves `from` over `to` in one step (the target is replaced if present).
bool substitui(const QString &from, const QString &to)
{
    std::error_code ec;
    std::filesystem::rename(QFile::encodeName(from).toStdString(), QFile::encodeName(to).toStdString(), ec);
    return !ec;
}

} // namespace

QString NomeListaMedic(const QString &codigo)
{
    if (codigo == QLatin1String("+"))
        return QStringLiteral("Positiva");
    if (codigo == QLatin1String("-"))
        return QStringLiteral("Negativa");
    return QStringLiteral("Neutra");
}

PrecoMedic PrecoMedicamento(bool generico, Currency valor1, Currency valor2, Currency valor3, Currency valor4)
{
    if (generico)
        return {Currency::fromInt(12), valor2.isZero() ? valor4 : valor2};
    return {Currency::fromInt(18), valor1.isZero() ? valor3 : valor1};
}

QString ChaveMVAMedic(const QString &lista, bool opInterna, Currency aliqICMS)
{
    const QString parteLista = lista == QLatin1String("Negativa") ? QStringLiteral("stNeg")
        : lista == QLatin1String("Positiva")                      ? QStringLiteral("stPos")
                                                                  : QStringLiteral("stNeu");
    return parteLista + (opInterna ? QStringLiteral("QZ") : QStringLiteral("UF"))
        + (aliqICMS == Currency::fromInt(18) ? QStringLiteral("18") : QStringLiteral("12"));
}

double MVAListaMedic(IniFile &ini, const QString &lista, bool opInterna, Currency aliqICMS, const QString &secao)
{
    return ini.readFloat(secao, ChaveMVAMedic(lista, opInterna, aliqICMS), 0);
}

IniFile &IniMedicamento() { return Contribuinte ? IniLocal2() : IniDados(); }

QString TabMedicMesAno(IniFile &ini) { return ini.readString(kSecao, kChave, QStringLiteral("Outubro/2007")); }

void SetTabMedicMesAno(IniFile &ini, const QString &mesAno) { ini.writeString(kSecao, kChave, mesAno); }

QString NomeMesMaiusculo(int month)
{
    static const char *const nomes[] = {"JANEIRO", "FEVEREIRO", "MARÇO", "ABRIL", "MAIO", "JUNHO", "JULHO", "AGOSTO",
        "SETEMBRO", "OUTUBRO", "NOVEMBRO", "DEZEMBRO"};
    return month >= 1 && month <= 12 ? QString::fromUtf8(nomes[month - 1]) : QString();
}

MedicStatus &MedicStatus::instance()
{
    static MedicStatus s;
    return s;
}

// ===== Medic ====================================================================

Medic::Medic()
    : m_db(QStringLiteral("Medicamentos"), db::Database::Storage::Memory),
      m_tab(QStringLiteral("Medic"), &m_db)
{
    m_tab.objectName = QStringLiteral("Medic");
    m_tab.definition() = schema::medic();
    for (const char *f : {"Valor1", "Valor2", "Valor3", "Valor4"})
        m_tab.fieldSetup(QLatin1String(f)).displayFormat = QStringLiteral(",0.00");
}

Medic::~Medic()
{
    m_tab.close();
    m_db.close();
}

int Medic::count()
{
    if (!m_db.tableExists(QStringLiteral("Medic")))
        return 0;
    db::Query q(&m_db);
    q.setSql(QStringLiteral("SELECT COUNT(*) FROM MEDIC"));
    q.open();
    return q.field(0).asInteger();
}

QString Medic::decodifica(const QByteArray &bytes)
{
    QByteArray data = bytes;
    if (data.startsWith("\xEF\xBB\xBF"))
        return QString::fromUtf8(data.mid(3));
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8.decode(data);
    if (!utf8.hasError())
        return text;
    QStringDecoder ansi("windows-1252");
    if (ansi.isValid())
        return ansi.decode(data);
    return QString::fromLatin1(data);
}

std::optional<Medic::Linha> Medic::leLinha(const QString &line, QString *erro)
{
    auto falha = [erro](const QString &why) {
        if (erro)
            *erro = why;
        return std::optional<Linha>();
    };
    QStringList f = line.split(QLatin1Char(';'));
    // A ";" at the end of the line leaves empty fields that say nothing.
    while (f.size() > kCampos && f.last().trimmed().isEmpty())
        f.removeLast();
    if (f.size() < kCampos)
        return falha(QStringLiteral("faltam campos (%1 de %2)").arg(f.size()).arg(kCampos));
    if (f.size() > kCampos)
        return falha(QStringLiteral("campos demais (%1 de %2)").arg(f.size()).arg(kCampos));
    for (QString &s : f)
        s = s.trimmed();
    Linha l;
    l.codBarra = f[0];
    if (l.codBarra.size() > 13)
        return falha(QStringLiteral("código de barras com mais de 13 caracteres"));
    l.descricao = f[1];
    if (l.descricao.isEmpty())
        return falha(QStringLiteral("sem descrição"));
    for (int i = 0; i < 4; ++i) {
        const QString &t = f[2 + i];
        if (t.isEmpty())
            continue;
        const std::optional<Currency> v = StrToCurr(t);
        if (!v || *v < Currency())
            return falha(QStringLiteral("valor %1 inválido \"%2\"").arg(i + 1).arg(t));
        l.valor[i] = *v;
    }
    l.generico = f[6] == QLatin1String("GEN");
    l.laboratorio = f[7];
    l.lista = f[8].left(1);
    return l;
}

Medic::Carga Medic::carregaTexto(const QString &path, const Status &status)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw db::EngineError(
            db::Err::TableNotFound, QStringLiteral("Não consegui abrir %1 (%2)").arg(path, file.errorString()));
    const QString text = decodifica(file.readAll());
    if (file.error() != QFileDevice::NoError)
        throw db::EngineError(
            db::Err::DataDamaged, QStringLiteral("Não consegui ler %1 (%2)").arg(path, file.errorString()));
    file.close();
    QStringList lines = text.split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    const int total = static_cast<int>(lines.size());

    Carga carga;
    m_tab.close();
    m_tab.open();
    db::Field &id = m_tab.fieldByName(QStringLiteral("Id"));
    db::Field &codBarra = m_tab.fieldByName(QStringLiteral("CodBarra"));
    db::Field &descricao = m_tab.fieldByName(QStringLiteral("Descricao"));
    db::Field *valor[4] = {&m_tab.fieldByName(QStringLiteral("Valor1")), &m_tab.fieldByName(QStringLiteral("Valor2")),
        &m_tab.fieldByName(QStringLiteral("Valor3")), &m_tab.fieldByName(QStringLiteral("Valor4"))};
    db::Field &generico = m_tab.fieldByName(QStringLiteral("Generico"));
    db::Field &laboratorio = m_tab.fieldByName(QStringLiteral("Laboratorio"));
    db::Field &lista = m_tab.fieldByName(QStringLiteral("Lista"));
    // One transaction: the rows are applied together at the end.
    m_tab.disableControls();
    m_db.startTransaction();
    try {
        for (int i = 0; i < total; ++i) {
            QString line = lines.at(i);
            if (line.endsWith(QLatin1Char('\r')))
                line.chop(1);
            if ((i + 1) % 10 == 0 && status)
                status(QStringLiteral("Processando %1 de %2...").arg(i + 1).arg(total));
            if (line.trimmed().isEmpty())
                continue;
            QString erro;
            const std::optional<Linha> l = leLinha(line, &erro);
            if (!l) {
                carga.problemas << QStringLiteral("Linha %1: %2").arg(i + 1).arg(erro);
                continue;
            }
            m_tab.append();
            id.setAsInteger(i);
            codBarra.setAsString(l->codBarra);
            descricao.setAsString(l->descricao);
            for (int k = 0; k < 4; ++k)
                valor[k]->setAsCurrency(l->valor[k]);
            generico.setAsBoolean(l->generico);
            laboratorio.setAsString(l->laboratorio);
            lista.setAsString(l->lista);
            m_tab.post();
            ++carga.linhas;
        }
        if (status)
            status(QStringLiteral("Gravando dados..."));
        m_db.commit();
    } catch (...) {
        if (m_tab.state() != db::DataSet::State::Browse && m_tab.isActive())
            m_tab.cancel();
        m_db.rollback();
        m_tab.enableControls();
        m_tab.close();
        throw;
    }
    m_tab.enableControls();
    return carga;
}

void Medic::salvaSnapshot(const QString &path)
{
    const QString novo = path + QStringLiteral(".novo");
    m_tab.saveToFile(novo);
    if (!substitui(novo, path)) {
        QFile::remove(novo);
        throw db::EngineError(db::Err::TableInUse, QStringLiteral("Não consegui substituir %1").arg(path));
    }
}

void Medic::carregaSnapshot(const QString &path)
{
    // The rows go straight into the table: searches read them with SQL, so
    // the dataset does not fetch a copy of every row.
    m_db.loadTableFromFile(QStringLiteral("Medic"), path);
}

QString Medic::textoProblemas(const Carga &carga)
{
    if (carga.problemas.isEmpty())
        return {};
    QStringList shown = carga.problemas.mid(0, kMaxProblemasMostrados);
    QString text
        = QStringLiteral("%1 linha(s) da Tabela de Medicamentos foram ignoradas:\r").arg(carga.problemas.size())
        + shown.join(QLatin1Char('\r'));
    if (carga.problemas.size() > kMaxProblemasMostrados)
        text += QStringLiteral("\r... e mais %1.").arg(carga.problemas.size() - kMaxProblemasMostrados);
    return text;
}

bool Medic::abre(const QString &dataDir, IniFile &ini, const Status &status)
{
    m_aberta = false;
    const QString snapshot = arquivoDados(dataDir, kSnapshot);
    const QString texto = arquivoDados(dataDir, kTexto);
    if (ini.readBool(kSecao, kChaveNova, false)) {
        QFile::remove(snapshot);
        ini.writeBool(kSecao, kChaveNova, false);
    }
    m_tab.close();
    m_tab.open();
    m_mesAno = TabMedicMesAno(ini);
    const QFileInfo snap(snapshot), txt(texto);
    if (snap.isFile() && (!txt.exists() || snap.lastModified() > txt.lastModified())) {
        if (status)
            status(QStringLiteral("Abrindo Tabela de Medicamentos de %1...").arg(m_mesAno));
        try {
            carregaSnapshot(snapshot);
            if (txt.exists())
                QFile::remove(texto);
            m_aberta = true;
            return true;
        } catch (const db::EngineError &) {
            // A damaged snapshot is not used: the text table, when there is
            // one, is loaded instead; otherwise the user is told to download.
            m_tab.close();
            m_tab.open();
            if (!txt.exists()) {
                MsgAviso(QStringLiteral("A Tabela de Medicamentos (%1) está danificada.").arg(kSnapshot));
            }
        }
    }
    if (!txt.exists()) {
        MsgAviso(QStringLiteral("Não consegui abrir a Tabela de Medicamentos.\rClique no botão Opções, "
                                "\"Atualização da Tabela Medicamentos\" e baixe uma nova tabela."));
        SetTabMedicMesAno(ini, QStringLiteral("-"));
        m_mesAno = QStringLiteral("-");
        return false;
    }
    if (status)
        status(QStringLiteral("Aguarde... Carregando Tabela de Medicamentos..."));
    try {
        const Carga carga = carregaTexto(texto, status);
        if (!carga.problemas.isEmpty())
            MsgAviso(textoProblemas(carga));
        salvaSnapshot(snapshot);
        QFile::remove(texto);
    } catch (const db::EngineError &) {
        // The rows read stay usable for this run; the text table stays for the next.
        MsgAviso(
            QStringLiteral("Não consegui atualizar a tabela. Talvez outra estação esteja usando o sistema ST/Brelva!"));
        m_aberta = m_tab.isActive() && m_tab.recordCount() > 0;
        return m_aberta;
    }
    m_aberta = true;
    return true;
}

QString Medic::primeiraPalavra(const QString &texto)
{
    const QString t = texto.trimmed();
    const qsizetype blank = t.indexOf(QLatin1Char(' '));
    return db::upperText(blank < 0 ? t : t.left(blank));
}

void Medic::pesquisa(db::Query &query, const QString &texto, Busca busca)
{
    query.close();
    QString condicao;
    QString valor;
    if (busca == Busca::CodBarra) {
        condicao = QStringLiteral("CODBARRA = :TEXTO");
        valor = texto.trimmed();
    } else {
        QString word = primeiraPalavra(texto);
        word.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
        word.replace(QLatin1Char('%'), QLatin1String("\\%"));
        word.replace(QLatin1Char('_'), QLatin1String("\\_"));
        // UPPER(DESCRICAO) LIKE :TEXTO, answered without upper-casing every row.
        condicao = QStringLiteral("ST_LIKECI(DESCRICAO, :TEXTO, '\\')");
        valor = (busca == Busca::Contem ? QStringLiteral("%") : QString()) + word + QLatin1Char('%');
    }
    query.setSql(
        QStringLiteral("SELECT ID, CODBARRA, DESCRICAO, VALOR1, VALOR2, VALOR3, VALOR4, GENERICO, LABORATORIO, LISTA "
                       "FROM MEDIC WHERE ")
        + condicao + QStringLiteral(" ORDER BY DESCRICAO"));
    query.paramByName(QStringLiteral("TEXTO")).setAsString(valor);
    for (const char *f : {"VALOR1", "VALOR2", "VALOR3", "VALOR4"})
        query.fieldSetup(QLatin1String(f)).displayFormat = QStringLiteral(",0.00");
    query.open();
}

MedicEscolhido Medic::escolhido(const db::DataSet &ds)
{
    MedicEscolhido m;
    m.codBarra = ds.fieldByName(QStringLiteral("CODBARRA")).asString();
    m.descricao = ds.fieldByName(QStringLiteral("DESCRICAO")).asString();
    m.laboratorio = ds.fieldByName(QStringLiteral("LABORATORIO")).asString();
    m.lista = NomeListaMedic(ds.fieldByName(QStringLiteral("LISTA")).asString());
    m.generico = ds.fieldByName(QStringLiteral("GENERICO")).asBoolean();
    const PrecoMedic p = PrecoMedicamento(m.generico, ds.fieldByName(QStringLiteral("VALOR1")).asCurrency(),
        ds.fieldByName(QStringLiteral("VALOR2")).asCurrency(), ds.fieldByName(QStringLiteral("VALOR3")).asCurrency(),
        ds.fieldByName(QStringLiteral("VALOR4")).asCurrency());
    m.aliqICMS = p.aliqICMS;
    m.preco = p.preco;
    return m;
}

// ===== installation of a new table ===================================================

bool InstalaTabelaMedic(
    const QString &novoTxt, const QString &alvo, const QString &mesAno, IniFile &ini, const Medic::Status &status)
{
    const QString dataDir = QFileInfo(alvo).absolutePath();
    const QString anterior = alvo + QStringLiteral(".anterior");
    const bool tinhaTexto = QFileInfo::exists(alvo);
    // The text table of the previous month (if one is waiting) is kept aside
    // until the new one is in place.
    QFile::remove(anterior);
    if (tinhaTexto && !substitui(alvo, anterior)) {
        MsgErro(QStringLiteral("Não consegui copiar a Tabela..."));
        return false;
    }
    auto restauraTexto = [&] {
        QFile::remove(alvo);
        if (tinhaTexto)
            substitui(anterior, alvo);
    };
    const QString copia = alvo + QStringLiteral(".copia");
    QFile::remove(copia);
    if (!QFile::copy(novoTxt, copia) || !substitui(copia, alvo)) {
        QFile::remove(copia);
        restauraTexto();
        MsgErro(QStringLiteral("Não consegui copiar a Tabela..."));
        return false;
    }
    const QString chaveAnterior = TabMedicMesAno(ini);
    SetTabMedicMesAno(ini, mesAno);
    bool ok = false;
    bool lida = false;
    Medic::Carga carga;
    try {
        Medic medic;
        carga = medic.carregaTexto(alvo, status);
        lida = true;
        if (carga.linhas > 0) {
            medic.salvaSnapshot(arquivoDados(dataDir, kSnapshot));
            ok = true;
        }
    } catch (const db::EngineError &) {
        ok = false;
    }
    if (!ok) {
        if (lida && carga.linhas == 0)
            MsgAviso(QStringLiteral("A nova Tabela de Medicamentos não tem nenhum medicamento válido.\r")
                + Medic::textoProblemas(carga));
        else
            MsgAviso(QStringLiteral(
                "Não consegui atualizar a tabela. Talvez outra estação esteja usando o sistema ST/Brelva!"));
        SetTabMedicMesAno(ini, chaveAnterior);
        restauraTexto();
        return false;
    }
    QFile::remove(alvo);
    QFile::remove(anterior);
    if (!carga.problemas.isEmpty())
        MsgAviso(Medic::textoProblemas(carga));
    MsgInformacao(QStringLiteral("Procedimento realizado com sucesso!"));
    return true;
}

} // namespace stb
