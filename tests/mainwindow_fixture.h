// Shared set-up of the suites that drive the running main window headless:
// an installation in a temporary folder, the main window after its start,
// the messages recorded instead of shown, a stored calculation with its
// invoices, the include command driven one dialog at a time, and the
// command-line tool run on the lines the dialogs stored.
#pragma once

#include "core/datamodule.h"
#include "core/messages.h"
#include "entry/dlgmvaajustada.h"
#include "entry/dlgnovanf.h"
#include "entry/dlgnovocalculo.h"
#include "platform/annexconsult.h"
#include "platform/clock.h"
#include "platform/zlbarchive.h"
#include "shell/mainwindow.h"
#include "tests/support/testenv.h"

#include <QBuffer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>
#include <functional>
#include <memory>

namespace mainwindowtest {

inline const QString kIncompleto = QStringLiteral("Os dados não estão completos!");

inline stb::Currency valor(const QString &text) { return *stb::Currency::parsePlain(text); }

// Replaces the text of an edit as a user types it.
inline void digita(QLineEdit *e, const QString &text)
{
    e->setFocus();
    e->selectAll();
    QTest::keyClicks(e, text);
}

// The text table inside the sample medicine archive.
inline QByteArray amostraMedic(const QString &zlb)
{
    QByteArray texto;
    stb::TZLBArchive sample;
    if (sample.open(zlb)) {
        QBuffer b(&texto);
        b.open(QIODevice::WriteOnly);
        sample.readEntry(0, b);
    }
    return texto;
}

} // namespace mainwindowtest

class MainWindowSuite : public QObject {
protected:
    template<typename Dlg> using Passos = QList<std::function<void(Dlg &)>>;

    // `prepara` runs on the installation before the program starts.
    void abre(const std::function<void(stbtest::TestInstall &)> &prepara = {})
    {
        m_sink = stb::RecordingSink();
        stb::setMessageSink(&m_sink);
        m_inst = std::make_unique<stbtest::TestInstall>();
        if (prepara)
            prepara(*m_inst);
        m_inst->applyToProcess();
        // No annex program here: the flows answer locally.
        stb::annex::setPastaPrograma(m_inst->path(QStringLiteral("semprograma")));
        m_main = std::make_unique<stb::TMain>();
        QSignalSpy done(m_main.get(), &stb::TMain::startupFinished);
        QVERIFY(done.wait(20000));
        stb::TFormDlgMVAAjustada::NaoMostraImportada = true;
        m_sink.clear();
    }
    void fecha()
    {
        stbtest::dropModalWatches();
        stb::TFormDlgNovoCalculo::libera();
        stb::TFormDlgNovaNF::libera();
        m_main.reset();
        m_inst.reset();
        stb::annex::setPastaPrograma(QString());
        stb::Clock::reset();
        stb::setMessageSink(nullptr);
    }

    // A stored calculation shown in the main window, with `notas` invoices
    // (numbers 100, 101...) of that issue date, the first one current.
    int calculo(int tipo, bool interna, int grupo = 0, const QDate &emissao = stb::Clock::today(), int notas = 1)
    {
        stb::TDM &dm = stb::DM();
        stb::db::Table &calc = dm.TabCalc;
        calc.append();
        calc.fieldByName(QStringLiteral("DataHora")).setAsDateTime(stb::Clock::now());
        calc.fieldByName(QStringLiteral("TipoCalculo")).setAsInteger(tipo);
        calc.fieldByName(QStringLiteral("DiferencialAliq")).setAsBoolean(tipo == 2 || tipo == 3);
        calc.fieldByName(QStringLiteral("OpInterna")).setAsBoolean(interna);
        if (grupo)
            calc.fieldByName(QStringLiteral("Grupo")).setAsInteger(grupo);
        calc.post();
        const int id = calc.fieldByName(QStringLiteral("IdCalculo")).asInteger();
        m_main->OpenCalcView();
        for (int i = 0; i < notas; ++i) {
            stb::db::Table &n = dm.TabNotas;
            n.append();
            n.fieldByName(QStringLiteral("IdCalculo")).setAsInteger(id);
            n.fieldByName(QStringLiteral("IdNota")).setAsInteger(dm.ProximoIdNota());
            n.fieldByName(QStringLiteral("NroNF")).setAsString(QString::number(100 + i));
            n.fieldByName(QStringLiteral("DataEmissao")).setAsDate(emissao);
            for (const char *f : {"Frete", "DestaqueICMSST", "CreditoICMSMedic"})
                n.fieldByName(QLatin1String(f)).setAsCurrency(stb::Currency());
            n.post();
        }
        dm.TabNotas.first();
        m_sink.clear();
        return id;
    }

    // Runs the include command; each step fills the dialog named `nome` for
    // one line (and presses OK); the dialog is then cancelled.
    template<typename Dlg> void inclui(const QString &nome, Passos<Dlg> passos)
    {
        proximos<Dlg>(nome, std::move(passos));
        m_main->SBIncluiItem->click();
    }

    // The first invoice of what "stbrelva-cli compute" gives for `entrada`
    // on the program's date.
    bool computaCli(const QString &cli, const QJsonObject &entrada, QJsonObject *nota, QString *erro)
    {
        const QString file = m_inst->path(QStringLiteral("calculo.json"));
        QFile f(file);
        if (!f.open(QIODevice::WriteOnly) || f.write(QJsonDocument(entrada).toJson()) < 0) {
            *erro = f.errorString();
            return false;
        }
        f.close();
        QProcess p;
        p.start(cli,
            {QStringLiteral("compute"), QStringLiteral("--today"), stb::Clock::today().toString(Qt::ISODate), file});
        if (!p.waitForFinished(60000) || p.exitCode() != 0) {
            *erro = QString::fromUtf8(p.readAllStandardError()) + p.errorString();
            return false;
        }
        *nota = QJsonDocument::fromJson(p.readAllStandardOutput())
                    .object()
                    .value(QStringLiteral("notas"))
                    .toArray()
                    .at(0)
                    .toObject();
        return true;
    }

    std::unique_ptr<stbtest::TestInstall> m_inst;
    std::unique_ptr<stb::TMain> m_main;
    stb::RecordingSink m_sink;

private:
    template<typename Dlg> void proximos(const QString &nome, Passos<Dlg> passos)
    {
        stbtest::whenModalNamed(nome, [this, nome, passos](QWidget *w) mutable {
            auto *dlg = qobject_cast<Dlg *>(w);
            QVERIFY2(dlg, qPrintable(w->objectName()));
            if (passos.isEmpty()) {
                dlg->BtnCancel->click();
                return;
            }
            const auto passo = passos.takeFirst();
            passo(*dlg);
            proximos<Dlg>(nome, passos);
        });
    }
};
