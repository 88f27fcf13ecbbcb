// The medicine price table (CMED/ABCFarma): an in-memory table "Medic" with
// indexes on Descricao and CodBarra, loaded from the text table TabMedic.txt
// of the data folder or from its snapshot Medic.Tab, searched by bar code or
// by a word of the description, and replaced by a new monthly table.
//
// TabMedic.txt: one medicine per line, nine fields separated by ";": bar
// code, description, Valor1..Valor4 (decimal comma), generic marker ("GEN"),
// laboratory, list ("+" positive, "-" negative, anything else neutral).
// Valor1 is the price at 18 % (Valor3 when it is 0), Valor2 the generic's
// price at 12 % (Valor4 when it is 0).
#pragma once

#include "platform/currency.h"
#include "platform/db/dataset.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

namespace stb {

class IniFile;

// A medicine as the item dialog takes it from the chooser.
struct MedicEscolhido {
    QString codBarra;
    QString descricao;
    QString laboratorio;
    QString lista; // "Positiva", "Negativa" or "Neutra"
    Currency aliqICMS;
    Currency preco;
    bool generico = false;
};

// "Positiva" for "+", "Negativa" for "-", "Neutra" for anything else.
QString NomeListaMedic(const QString &codigo);

// The ICMS rate and the consumer price of a medicine: 12 % and Valor2 (Valor4
// when Valor2 is 0) for a generic, 18 % and Valor1 (Valor3 when 0) otherwise.
struct PrecoMedic {
    Currency aliqICMS;
    Currency preco;
};
PrecoMedic PrecoMedicamento(bool generico, Currency valor1, Currency valor2, Currency valor3, Currency valor4);

// Key of the list MVA in section "MVA.Medic.15.1" of STBrelva2.ini: list part
// ("stNeg" Negativa, "stPos" Positiva, "stNeu" anything else), state part
// ("QZ" internal operation, "UF" otherwise), rate part ("18" when the rate is
// exactly 18, "12" otherwise).
QString ChaveMVAMedic(const QString &lista, bool opInterna, Currency aliqICMS);
// The list MVA (percent, 0 when the key is missing) from the given section.
double MVAListaMedic(IniFile &ini, const QString &lista, bool opInterna, Currency aliqICMS,
    const QString &secao = QStringLiteral("MVA.Medic.15.1"));

// Section "Medicamento", key "TabMedic.txt": the month and year of the table
// in use ("OUTUBRO/2024"; default "Outubro/2007"), kept in STBrelva2.ini in the
// taxpayer edition and in STBrelva3.ini otherwise, with its "NovaTabela" flag.
IniFile &IniMedicamento();
QString TabMedicMesAno(IniFile &ini);
void SetTabMedicMesAno(IniFile &ini, const QString &mesAno);

// The month name in capitals ("MARÇO") of a month 1..12.
QString NomeMesMaiusculo(int month);

// Status texts of the table's long steps, for whoever shows them (the main
// window's status line).
class MedicStatus : public QObject {
    Q_OBJECT

public:
    static MedicStatus &instance();
    void show(const QString &text) { emit status(text); }

signals:
    void status(const QString &text);
};

class Medic {
public:
    enum class Busca {
        CodBarra, // CODBARRA equal to the text
        Prefixo, // the first word begins the description (from the item dialog)
        Contem, // the first word anywhere in the description (the chooser's own search)
    };

    // A parsed line of the text table.
    struct Linha {
        QString codBarra, descricao, laboratorio, lista;
        Currency valor[4];
        bool generico = false;
    };
    // The line, or the reason it cannot be read.
    static std::optional<Linha> leLinha(const QString &line, QString *erro);
    // The whole text of a table file: UTF-8 (with or without a byte-order mark)
    // when it reads as such, else Windows Latin-1.
    static QString decodifica(const QByteArray &bytes);

    struct Carga {
        int linhas = 0; // rows loaded
        QStringList problemas; // "Linha N: reason" of the lines skipped
    };
    using Status = std::function<void(const QString &)>;

    Medic();
    ~Medic();
    Medic(const Medic &) = delete;
    Medic &operator=(const Medic &) = delete;

    db::Database &database() { return m_db; }
    db::MemTable &tabela() { return m_tab; }
    int count();

    // Replaces the rows with the lines of a text table, inside one transaction;
    // malformed lines are skipped and listed. Throws db::EngineError when the
    // file cannot be read.
    Carga carregaTexto(const QString &path, const Status &status = {});
    // Writes the snapshot next to `path` and moves it over `path` in one step,
    // so a reader never sees half a file. Throws db::EngineError.
    void salvaSnapshot(const QString &path);
    // Throws db::EngineError when the snapshot is missing or damaged (the rows stay).
    void carregaSnapshot(const QString &path);

    // The opening of the chooser: the snapshot while it is newer than the text
    // table, else the text table (then saved as the snapshot and deleted).
    // Returns whether a table is loaded; the messages are the user's.
    bool abre(const QString &dataDir, IniFile &ini, const Status &status = {});
    bool aberta() const { return m_aberta; }
    QString mesAno() const { return m_mesAno; }

    // Sets the query's statement and parameter for a search (values bound,
    // LIKE wildcards of the text taken literally) and opens it.
    void pesquisa(db::Query &query, const QString &texto, Busca busca);
    // The first word of a text, upper-cased ("dipirona sódica" -> "DIPIRONA").
    static QString primeiraPalavra(const QString &texto);
    // The medicine on the query's current row.
    static MedicEscolhido escolhido(const db::DataSet &ds);

    // Message of the lines skipped by a load (empty when none).
    static QString textoProblemas(const Carga &carga);

private:
    db::Database m_db;
    db::MemTable m_tab;
    bool m_aberta = false;
    QString m_mesAno;
};

// Installs a new text table chosen or downloaded by the user: copies it over
// `alvo` (data folder + TabMedic.txt), writes `mesAno` into the key and
// rebuilds the snapshot Medic.Tab. On any failure the previous table, snapshot
// and key stay as they were. The user's messages are shown here.
bool InstalaTabelaMedic(
    const QString &novoTxt, const QString &alvo, const QString &mesAno, IniFile &ini, const Medic::Status &status = {});

} // namespace stb
