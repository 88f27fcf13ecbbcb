#include "shell/noticias.h"

#include "core/settings.h"
#include "shell/mainwindow.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QRegularExpression>
#include <QTextBrowser>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextList>
#include <QTimer>
#include <QVBoxLayout>

namespace stb {

namespace {
constexpr int kEntradas = 3;
// A page this old (ms) has been written completely.
constexpr qint64 kAssentaMs = 2000;

QString formatoData() { return QStringLiteral("dd/MM/yyyy hh:mm:ss"); }
} // namespace

QString Pagina::nome() const { return QFileInfo(arquivo).fileName(); }

QString Pagina::legenda() const
{
    return QFileInfo(arquivo).completeBaseName() + QStringLiteral(" - ") + data.toString(QStringLiteral("dd/MM/yyyy"));
}

QList<Pagina> paginasDaPasta(const QString &pasta)
{
    QList<Pagina> paginas;
    const QFileInfoList arquivos = QDir(pasta).entryInfoList(QDir::Files | QDir::Readable, QDir::Time);
    for (const QFileInfo &fi : arquivos)
        if (fi.suffix().compare(QLatin1String("html"), Qt::CaseInsensitive) == 0)
            paginas.append({fi.absoluteFilePath(), fi.lastModified()});
    return paginas;
}

ListaPaginas listaPaginas(const QString &pastaNovidades, const QStringList &pastasMensagens)
{
    ListaPaginas lista;
    lista.novidades = paginasDaPasta(pastaNovidades);
    for (const QString &pasta : pastasMensagens)
        lista.mensagens += paginasDaPasta(pasta);
    std::stable_sort(lista.mensagens.begin(), lista.mensagens.end(),
        [](const Pagina &a, const Pagina &b) { return a.data > b.data; });
    return lista;
}

QString tituloPagina(const QString &arquivo)
{
    QFile f(arquivo);
    if (f.open(QIODevice::ReadOnly)) {
        static const QRegularExpression titulo(QStringLiteral("<title[^>]*>(.*?)</title>"),
            QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
        const QRegularExpressionMatch m = titulo.match(QString::fromUtf8(f.read(64 * 1024)));
        if (m.hasMatch()) {
            const QString t = m.captured(1).simplified();
            if (!t.isEmpty())
                return t;
        }
    }
    return QFileInfo(arquivo).completeBaseName();
}

QString marcaPagina(const Pagina &p) { return p.data.toString(formatoData()); }

// ---- TFormNovidade ------------------------------------------------------------

TFormNovidade::TFormNovidade(const QString &arquivo, const QString &appDir, QWidget *parent)
    : QDialog(parent),
      m_appDir(appDir)
{
    setObjectName(QStringLiteral("FormNovidade"));
    setAttribute(Qt::WA_DeleteOnClose);
    auto *layout = new QVBoxLayout(this);
    auto *topo = new QHBoxLayout;
    topo->addWidget(new QLabel(QStringLiteral("Exibir arquivo:"), this));
    ComboArquivos = new QComboBox(this);
    ComboArquivos->setObjectName(QStringLiteral("ComboArquivos"));
    topo->addWidget(ComboArquivos, 1);
    layout->addLayout(topo);
    Browser = new QTextBrowser(this);
    Browser->setObjectName(QStringLiteral("Browser"));
    Browser->setOpenLinks(false);
    connect(Browser, &QTextBrowser::anchorClicked, this, &TFormNovidade::anchorClicked);
    layout->addWidget(Browser, 1);
    auto *base = new QHBoxLayout;
    CheckNaoExibir = new QCheckBox(QStringLiteral("Não exibir este aviso novamente"), this);
    CheckNaoExibir->setObjectName(QStringLiteral("CheckNaoExibir"));
    BtnImprime = new QPushButton(QStringLiteral("Imprime"), this);
    BtnImprime->setObjectName(QStringLiteral("BtnImprime"));
    BtnFecha = new QPushButton(QStringLiteral("Fecha"), this);
    BtnFecha->setObjectName(QStringLiteral("BtnFecha"));
    base->addWidget(CheckNaoExibir);
    base->addStretch(1);
    base->addWidget(BtnImprime);
    base->addWidget(BtnFecha);
    layout->addLayout(base);
    connect(BtnFecha, &QPushButton::clicked, this, &QDialog::accept);
    connect(BtnImprime, &QPushButton::clicked, this, &TFormNovidade::imprime);
    for (const Pagina &p : paginasDaPasta(QFileInfo(arquivo).absolutePath()))
        ComboArquivos->addItem(p.nome(), p.arquivo);
    mostraArquivo(arquivo);
    connect(ComboArquivos, &QComboBox::activated, this,
        [this](int i) { mostraArquivo(ComboArquivos->itemData(i).toString()); });
    resize(640, 480);
}

TFormNovidade::~TFormNovidade() = default;

void TFormNovidade::mostraArquivo(const QString &arquivo)
{
    m_arquivo = QFileInfo(arquivo).absoluteFilePath();
    const QFileInfo fi(m_arquivo);
    setWindowTitle(
        tituloPagina(m_arquivo) + QStringLiteral(" de ") + fi.lastModified().toString(QStringLiteral("dd/MM/yyyy")));
    Browser->setSearchPaths({fi.absolutePath()});
    // The same page chosen again is read again: it may have changed.
    const QUrl url = QUrl::fromLocalFile(m_arquivo);
    if (Browser->source() == url)
        Browser->reload();
    else
        Browser->setSource(url);
    const int i = ComboArquivos->findData(m_arquivo);
    if (i >= 0)
        ComboArquivos->setCurrentIndex(i);
    // The box shows whether the page is kept from showing by itself.
    const Pagina p {m_arquivo, fi.lastModified()};
    CheckNaoExibir->setChecked(Settings::instance().novidade(p.nome()) == marcaPagina(p));
}

void TFormNovidade::anchorClicked(const QUrl &url)
{
    // The program's own help page is named as a bare file link in the pages.
    if (url.scheme() == QLatin1String("file")
        && QFileInfo(url.toString(QUrl::RemoveScheme))
                .fileName()
                .compare(QLatin1String("STBrelva.html"), Qt::CaseInsensitive)
            == 0) {
        TMain::shellOpen(m_appDir + QStringLiteral("STBrelva.html"));
        return;
    }
    if (url.isRelative() || url.isLocalFile()) {
        const QString local = url.isLocalFile() ? url.toLocalFile()
                                                : QFileInfo(m_arquivo).absolutePath() + QLatin1Char('/') + url.path();
        TMain::shellOpen(local);
        return;
    }
    TMain::shellOpen(url.toString());
}

QPrinter &TFormNovidade::impressora()
{
    if (!m_impressora)
        m_impressora = std::make_unique<QPrinter>(QPrinter::HighResolution);
    return *m_impressora;
}

void TFormNovidade::imprime()
{
    QPrinter &printer = impressora();
    // The dialog proposes a PDF file named after the document: the page's
    // file name, since the caption carries a date with slashes.
    printer.setDocName(QFileInfo(m_arquivo).completeBaseName());
    QPrintDialog dlg(&printer, this);
    dlg.setWindowTitle(QStringLiteral("Imprime"));
    if (dlg.exec() == QDialog::Accepted)
        imprimeEm(printer);
}

void TFormNovidade::imprimeEm(QPrinter &printer) const
{
    // A copy of the page, so the heading never shows in the window; parented
    // to the browser so that its images load from the page's folder.
    std::unique_ptr<QTextDocument> doc(Browser->document()->clone(Browser));
    QTextCursor c(doc.get());
    c.movePosition(QTextCursor::Start);
    c.insertBlock(); // the page moves down one block, keeping its formats
    c.movePosition(QTextCursor::Start);
    // A page opening with a list would number the heading too.
    if (QTextList *lista = c.currentList())
        lista->remove(c.block());
    c.setBlockFormat(QTextBlockFormat());
    QTextCharFormat titulo;
    titulo.setFontWeight(QFont::Bold);
    const qreal pontos = doc->defaultFont().pointSizeF();
    titulo.setFontPointSize((pontos > 0 ? pontos : 10) * 1.3);
    c.insertText(windowTitle(), titulo);
    doc->print(&printer);
}

void TFormNovidade::done(int r)
{
    const QFileInfo fi(m_arquivo);
    const Pagina p {m_arquivo, fi.lastModified()};
    Settings &s = Settings::instance();
    if (CheckNaoExibir->isChecked())
        s.setNovidade(p.nome(), marcaPagina(p));
    else
        s.iniSistema().deleteKey(QStringLiteral("Novidades"), p.nome());
    QDialog::done(r);
}

// ---- Novidades --------------------------------------------------------------------

Novidades::Novidades(const QString &appDir, const QString &dataDir, QMenu *menu, QWidget *janela)
    : QObject(janela),
      m_appDir(appDir),
      m_dataDir(dataDir),
      m_janela(janela)
{
    setObjectName(QStringLiteral("Novidades"));
    menu->addSeparator();
    for (int i = 0; i < kEntradas; ++i) {
        Nov[i] = menu->addAction(QString());
        Nov[i]->setObjectName(QStringLiteral("Nov%1").arg(i + 1));
        Nov[i]->setVisible(false);
    }
    for (int i = 0; i < kEntradas; ++i) {
        Msg[i] = menu->addAction(QString());
        Msg[i]->setObjectName(QStringLiteral("Msg%1").arg(i + 1));
        Msg[i]->setVisible(false);
    }
    m_espera = new QTimer(this);
    m_espera->setInterval(50);
    connect(m_espera, &QTimer::timeout, this, [this] {
        if (m_varredura.valid() && m_varredura.wait_for(std::chrono::seconds(0)) == std::future_status::ready)
            aguardaVarredura();
    });
    m_reexame = new QTimer(this);
    m_reexame->setSingleShot(true);
    m_reexame->setInterval(1000);
    connect(m_reexame, &QTimer::timeout, this, &Novidades::varreAgora);
    for (QAction *a : Nov)
        connect(a, &QAction::triggered, this, [this, a] { abre(a->data().toString()); });
    for (QAction *a : Msg)
        connect(a, &QAction::triggered, this, [this, a] { abre(a->data().toString()); });
}

Novidades::~Novidades()
{
    if (m_varredura.valid())
        m_varredura.wait();
    for (const QPointer<TFormNovidade> &f : m_abertas)
        delete f.data();
}

void Novidades::preencheMenuBandeja(QMenu *menu)
{
    for (QAction *a : Nov)
        menu->addAction(a);
}

void Novidades::iniciaVarredura()
{
    const QString novidades = m_appDir + QStringLiteral("Novidades");
    const QStringList mensagens {m_dataDir + QStringLiteral("Msg"), m_appDir + QStringLiteral("Msg")};
    m_varredura = std::async(std::launch::async, [novidades, mensagens] { return listaPaginas(novidades, mensagens); });
    // The result is taken on this thread as soon as it is there.
    m_espera->start();
}

void Novidades::aguardaVarredura()
{
    m_espera->stop();
    if (m_varredura.valid())
        aplica(m_varredura.get());
}

void Novidades::varreAgora()
{
    aguardaVarredura();
    aplica(listaPaginas(
        m_appDir + QStringLiteral("Novidades"), {m_dataDir + QStringLiteral("Msg"), m_appDir + QStringLiteral("Msg")}));
}

TFormNovidade *Novidades::abre(const QString &arquivo)
{
    auto *f = new TFormNovidade(arquivo, m_appDir, m_janela);
    f->setWindowFlag(Qt::Window);
    m_abertas << f;
    f->show();
    f->raise();
    return f;
}

void Novidades::aplica(const ListaPaginas &lista)
{
    m_lista = lista;
    auto preenche = [](QAction *const(&acoes)[kEntradas], const QList<Pagina> &paginas) {
        for (int i = 0; i < kEntradas; ++i) {
            const bool tem = i < paginas.size();
            acoes[i]->setVisible(tem);
            acoes[i]->setText(tem ? paginas[i].legenda() : QString());
            acoes[i]->setData(tem ? paginas[i].arquivo : QString());
        }
    };
    preenche(Nov, lista.novidades);
    preenche(Msg, lista.mensagens);
    if (!exibeAutomaticamente)
        return;
    Settings &s = Settings::instance();
    // Pages that went away before they were complete are forgotten.
    for (auto it = m_pendentes.begin(); it != m_pendentes.end();)
        it = QFileInfo::exists(it.key()) ? std::next(it) : m_pendentes.erase(it);
    for (const QList<Pagina> *paginas : {&lista.novidades, &lista.mensagens})
        for (const Pagina &p : *paginas) {
            const QString chave = p.arquivo + QLatin1Char('|') + marcaPagina(p);
            if (m_exibidas.contains(chave) || s.novidade(p.nome()) == marcaPagina(p) || !assentada(p))
                continue;
            m_exibidas.insert(chave);
            abre(p.arquivo);
        }
    if (!m_pendentes.isEmpty())
        m_reexame->start();
}

bool Novidades::assentada(const Pagina &p)
{
    // A page still being copied into the folder must not show half empty. It
    // shows once it is two seconds old, or once two scans a second apart
    // find it unchanged (the shared folder's clock may differ from ours).
    const QFileInfo fi(p.arquivo);
    const QPair<qint64, QDateTime> agora(fi.size(), fi.lastModified());
    const auto pendente = m_pendentes.constFind(p.arquivo);
    if (fi.lastModified().msecsTo(QDateTime::currentDateTime()) >= kAssentaMs
        || (pendente != m_pendentes.constEnd() && *pendente == agora)) {
        m_pendentes.remove(p.arquivo);
        return true;
    }
    m_pendentes.insert(p.arquivo, agora);
    return false;
}

} // namespace stb
