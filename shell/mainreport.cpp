#include "shell/mainreport.h"

#include "core/datamodule.h"
#include "core/edition.h"
#include "core/grupos.h"
#include "core/messages.h"
#include "entry/dbgrid.h"
#include "outputs/dlgprintcalculo.h"
#include "outputs/visualiza.h"
#include "shell/appglobals.h"
#include "shell/mainwindow.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QToolButton>

namespace stb {

namespace {

// The invoice and item grids let go of their datasets while the report walks
// them, and get them back, with their columns, at the end.
class GradesDesligadas {
public:
    explicit GradesDesligadas(std::initializer_list<DBGrid *> grades)
    {
        for (DBGrid *g : grades) {
            Grade s {g, g->dataSet(), {}};
            if (s.ds && g->dataModel())
                s.colunas = g->dataModel()->columns();
            g->setDataSet(nullptr);
            m_grades.push_back(std::move(s));
        }
    }
    ~GradesDesligadas()
    {
        for (Grade &s : m_grades) {
            s.grade->setDataSet(s.ds);
            if (s.ds)
                s.grade->setColumns(s.colunas);
        }
    }
    GradesDesligadas(const GradesDesligadas &) = delete;
    GradesDesligadas &operator=(const GradesDesligadas &) = delete;

private:
    struct Grade {
        DBGrid *grade;
        db::DataSet *ds;
        QList<DataSetModel::Column> colunas;
    };
    std::vector<Grade> m_grades;
};

// The wait cursor while a report is prepared (not while the preview waits for the user).
class CursorEspera {
public:
    ~CursorEspera() { restaura(); }
    void espera()
    {
        if (!m_ativo)
            QApplication::setOverrideCursor(Qt::WaitCursor);
        m_ativo = true;
    }
    void restaura()
    {
        if (m_ativo)
            QApplication::restoreOverrideCursor();
        m_ativo = false;
    }

private:
    bool m_ativo = false;
};

} // namespace

ComandosRelatorio::ComandosRelatorio(TMain *main) : QObject(main), m_main(main)
{
    setObjectName(QStringLiteral("ComandosRelatorio"));
    connect(main->SBPrintCalc, &QToolButton::clicked, this, &ComandosRelatorio::SBPrintCalcClick);
    ImprimeCalculo = new QAction(QStringLiteral("Visualiza e imprime o cálculo"), this);
    ImprimeCalculo->setObjectName(QStringLiteral("ImprimeCalculo"));
    ImprimeCalculo->setEnabled(main->SBPrintCalc->isEnabled());
    if (main->PopMenuNotas) {
        main->PopMenuNotas->addSeparator();
        main->PopMenuNotas->addAction(ImprimeCalculo);
    }
    connect(ImprimeCalculo, &QAction::triggered, this, &ComandosRelatorio::SBPrintCalcClick);
    connect(main, &TMain::calcViewChanged, this, [this](bool aberto) { ImprimeCalculo->setEnabled(aberto); });
}

void ComandosRelatorio::SBPrintCalcClick()
{
    if (!m_main->calcViewOpen())
        return;
    TDM &dm = DM();
    db::DataSet &calc = dm.TabCalc;
    if (!calc.isActive() || calc.isEmpty())
        return;

    // The options: the taxpayer edition, and a program that does not
    // calculate the fine, print at once without MR.
    int opcao = 1;
    bool analitica = false;
    QString observ;
    if (!Contribuinte && App().CalculaMR) {
        const int grupo = calc.fieldByName(QStringLiteral("Grupo")).asInteger();
        if (!m_dialogo)
            m_dialogo = new TFormDlgPrintCalculo(m_main);
        m_dialogo->prepara(App().AppDir + QStringLiteral("STMsgMR.html"), isGrupoMedicamento(grupo),
            calc.fieldByName(QStringLiteral("PrintMR")).asInteger(),
            calc.fieldByName(QStringLiteral("PrintObserv")).asString());
        if (m_dialogo->exec() != QDialog::Accepted)
            return;
        opcao = m_dialogo->opcao();
        analitica = m_dialogo->analitica();
        observ = m_dialogo->observacao();
    }

    m_main->ShowStatus(QStringLiteral("Preparando o Relatório..."));
    CursorEspera cursor;
    {
        const GradesDesligadas grades {m_main->dxDBGridNotas, m_main->dxDBGridItens, m_main->dxDBGridItensMedic};
        ImpressaoCalculo impressao(dm, ConfigRelatorio::doPrograma(), OpcoesVisualizacao::doPrograma(), m_main);
        connect(&impressao, &ImpressaoCalculo::preparando, this, [&cursor] { cursor.espera(); });
        connect(&impressao, &ImpressaoCalculo::preparado, this, [&cursor] { cursor.restaura(); });
        try {
            impressao.executa(opcao, analitica, observ);
        } catch (const db::EngineError &e) {
            cursor.restaura();
            MsgErro(e.message());
        } catch (const std::exception &e) {
            cursor.restaura();
            MsgErro(QStringLiteral("Não foi possível preparar o relatório: %1").arg(QString::fromUtf8(e.what())));
        }
    }
    m_main->ShowVersionStatus();
    if (dm.TabNotas.isActive())
        dm.TabNotasAfterScroll(dm.TabNotas);
}

} // namespace stb
