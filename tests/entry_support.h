// Helpers of the entry dialog tests: the data module on a temporary
// installation (no main window: the dialogs open over a plain window), a
// calculation to work in, and ways to reach the dialogs that open one inside
// another.
#pragma once

#include "core/datamodule.h"
#include "core/messages.h"
#include "entry/dlgnovanf.h"
#include "entry/dlgnovocalculo.h"
#include "entry/partes.h"
#include "tests/support/testenv.h"

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <memory>

namespace entrytest {

inline int count(const QString &sql)
{
    stb::db::Query q(&stb::DM().BaseDados);
    q.setSql(sql);
    q.open();
    return q.field(0).asInteger();
}

inline void clickOk(QWidget *w) { stbtest::child<QPushButton>(w, "BtnOk")->click(); }

// The officer, registered, and typed into the header being edited.
inline void preencheFiscal()
{
    stb::TDM &dm = stb::DM();
    stb::GravaRemetente(QStringLiteral("00.000.000/0000-00"), QStringLiteral("X")); // opens the registers
    dm.TabFisc.append();
    dm.TabFisc.fieldByName(QStringLiteral("Masp")).setAsString(QStringLiteral("123.456-7"));
    dm.TabFisc.fieldByName(QStringLiteral("Fiscal")).setAsString(QStringLiteral("MARIA FISCAL"));
    dm.PostCadastro(dm.TabFisc);
    dm.TabCalc.fieldByName(QStringLiteral("Masp")).setAsString(QStringLiteral("123.456-7"));
    dm.TabCalc.recalculate();
}

// Calls `fn` once a modal dialog with this object name is the active one:
// unlike stbtest::whenModal it waits for a dialog opened on top of the one
// that is active now. The poll ends with `dono` (one test) or after the time
// out; the flag tells whether `fn` ran.
inline std::shared_ptr<bool> quandoAbrir(
    QObject *dono, const QString &name, std::function<void(QWidget *)> fn, int timeoutMs = 15000)
{
    auto ran = std::make_shared<bool>(false);
    auto *timer = new QTimer(dono);
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    QObject::connect(timer, &QTimer::timeout, timer, [=] {
        QWidget *w = QApplication::activeModalWidget();
        const bool found = w && w->isVisible() && w->objectName() == name;
        if (found || clock->elapsed() > timeoutMs) {
            timer->stop();
            timer->deleteLater();
        }
        if (found) {
            *ran = true;
            fn(w);
            // Whatever `fn` did, the dialog does not stay open.
            if (auto *d = qobject_cast<QDialog *>(w); d && d->isVisible())
                d->reject();
        }
    });
    timer->start(20);
    return ran;
}

// The window the dialogs open over (the session's plain window, or the main
// window in the whole-program tests); keys go to it when no dialog is open.
inline QPointer<QWidget> &janelaBase()
{
    static QPointer<QWidget> w;
    return w;
}

// Keys go to the window on top: a window manager activates a dialog as it
// opens and the window below one that closes; the offscreen platform may
// lag behind or not do it, so the keys below make sure first.
inline void ativaJanela()
{
    QWidget *top = QApplication::activeModalWidget();
    if (!top)
        top = janelaBase();
    if (!top || !top->isVisible())
        return;
    if (QApplication::activeWindow() != top) {
        top->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(top));
    }
    // The focus follows the activation.
    static_cast<void>(QTest::qWaitFor(
        [top] {
            QWidget *f = QApplication::focusWidget();
            return f && f->window() == top;
        },
        1000));
}

// Object name of the focused control (a combo's editor counts as the combo).
inline QString foco()
{
    ativaJanela();
    for (QWidget *w = QApplication::focusWidget(); w; w = w->parentWidget())
        if (!w->objectName().isEmpty() && !w->objectName().startsWith(QLatin1String("qt_")))
            return w->objectName();
    return {};
}

// Key presses go where the focus is, as they do for a user.
inline void tecla(Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier)
{
    ativaJanela();
    QWidget *w = QApplication::focusWidget();
    QVERIFY2(w, "no control has the focus");
    QTest::keyClick(w, key, mods);
}

inline void digita(const QString &text)
{
    ativaJanela();
    QWidget *w = QApplication::focusWidget();
    QVERIFY2(w, "no control has the focus");
    QTest::keyClicks(w, text);
}

// Types `teclas` as an officer who does not wait for the screen: one key
// per pass of the event loop, each to the control that has the focus when
// it arrives, so that whatever the program does between two keys (a
// deferred check, a dialog that opens) happens while she goes on typing.
// "\t" is Tab, "\r" Enter, "\x1b" Escape. `fim` is set as the last key goes.
class Datilografo : public QObject {
public:
    Datilografo(QObject *dono, const QString &teclas) : QObject(dono), m_resto(teclas)
    {
        m_timer.setInterval(0);
        connect(&m_timer, &QTimer::timeout, this, &Datilografo::proxima);
        m_timer.start();
    }
    std::shared_ptr<bool> fim = std::make_shared<bool>(false);
    int teclas = 0; // keys pressed so far

private:
    void proxima()
    {
        if (m_resto.isEmpty()) {
            m_timer.stop();
            *fim = true;
            return;
        }
        QWidget *w = QApplication::focusWidget();
        if (!w)
            w = QApplication::activeModalWidget();
        if (!w)
            return;
        const QChar c = m_resto.front();
        m_resto.remove(0, 1);
        ++teclas;
        // Set before the last key, which may open a dialog that waits.
        if (m_resto.isEmpty()) {
            m_timer.stop();
            *fim = true;
        }
        if (c == QLatin1Char('\t'))
            QTest::keyClick(w, Qt::Key_Tab);
        else if (c == QLatin1Char('\r'))
            QTest::keyClick(w, Qt::Key_Return);
        else if (c == QChar(0x1b))
            QTest::keyClick(w, Qt::Key_Escape);
        else
            QTest::keyClick(w, c.toLatin1());
    }
    QString m_resto;
    QTimer m_timer;
};

inline std::shared_ptr<bool> datilografa(QObject *dono, const QString &teclas)
{
    return (new Datilografo(dono, teclas))->fim;
}

// The data module on a temporary installation with the tables the entry
// dialogs use open, as the program has them after its start; `janela` stands
// for the main window. Questions are answered by `sink`.
class Sessao {
public:
    // Over a data folder of its own, or over `pastaDados` (another
    // workstation's, as it stands).
    void inicia(const QString &pastaDados = {})
    {
        sink = stb::RecordingSink();
        stb::setMessageSink(&sink);
        inst = std::make_unique<stbtest::TestInstall>();
        inst->applyToProcess();
        if (pastaDados.isEmpty())
            stbtest::copyPristine(inst->dataDir());
        stb::TDM::setDefaultDataDir(pastaDados.isEmpty() ? inst->dataDir() : pastaDados);
        stb::TDM &dm = stb::DM();
        dm.setPristineDir(stbtest::TestInstall::pristineDir());
        dm.DataModuleCreate();
        dm.CarregaMemGrupo();
        for (stb::db::Table *t :
            {&dm.TabFisc, &dm.TabRemet, &dm.TabDest, &dm.TabCalc, &dm.TabNotas, &dm.TabItens, &dm.TabBrelva})
            t->open();
        dm.setAvisoTabelaAusente(true);
        dm.closeCalculation();
        janela = std::make_unique<QWidget>();
        janela->setObjectName(QStringLiteral("janela"));
        janela->resize(800, 600);
        janelaBase() = janela.get();
        sink.clear();
        escopo = std::make_unique<QObject>();
    }
    void encerra()
    {
        escopo.reset();
        stb::TFormDlgNovoCalculo::libera();
        stb::TFormDlgNovaNF::libera();
        janela.reset();
        stb::TDM::destroyInstance();
        inst.reset();
        stb::setMessageSink(nullptr);
    }
    // Shows the calculation just stored, as the main window does.
    void abreCalculo() { stb::DM().openCalculation(); }
    // Creates a calculation through the header dialog (`fill` runs on the open
    // dialog); its id, or -1.
    int novoCalculo(std::function<void(stb::TFormDlgNovoCalculo &)> fill = {})
    {
        stbtest::whenModal([fill](QWidget *w) {
            auto &dlg = static_cast<stb::TFormDlgNovoCalculo &>(*w);
            preencheFiscal();
            if (fill)
                fill(dlg);
            clickOk(w);
        });
        if (!stb::IncluiCalculo(janela.get()))
            return -1;
        return stb::DM().TabCalc.fieldByName(QStringLiteral("IdCalculo")).asInteger();
    }

    std::unique_ptr<stbtest::TestInstall> inst;
    std::unique_ptr<QObject> escopo; // owns the polls of one test
    std::unique_ptr<QWidget> janela;
    stb::RecordingSink sink;
};

} // namespace entrytest
