#include "outputs/medicdownload.h"

#include "core/messages.h"
#include "core/settings.h"
#include "outputs/medic.h"
#include "platform/zlbarchive.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSaveFile>
#include <QTemporaryDir>
#include <QUrl>
#include <filesystem>
#include <system_error>

namespace stb {

namespace {
// Hosts of the dynamic-name service the server used before; they no longer answer.
const char *const kServicoAntigo = "dyndns";
const QString kTenteNovamente = QStringLiteral("\rTente novamente.");

int httpStatus(QNetworkReply *r) { return r->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(); }

bool naoConectou(QNetworkReply *r)
{
    // Errors of the connection itself (below the HTTP replies) and of the proxy.
    const int e = r->error();
    return e != QNetworkReply::NoError && e < QNetworkReply::ContentAccessDenied && httpStatus(r) == 0;
}
} // namespace

MedicDownload::Config MedicDownload::configDoSistema(Settings &settings)
{
    Config c;
    c.host = hostEfetivo(settings.host());
    QString proxyHost;
    int port = 0;
    if (settings.proxyIE()) {
        if (settings.browserProxyEnabled()) {
            const QString server = settings.browserProxyServer();
            proxyHost = server.section(QLatin1Char(':'), 0, 0);
            port = server.section(QLatin1Char(':'), 1, 1).toInt();
        }
    } else {
        proxyHost = settings.proxy();
        port = settings.porta().toInt();
    }
    if (!proxyHost.isEmpty())
        c.proxy = QNetworkProxy(QNetworkProxy::HttpProxy, proxyHost, static_cast<quint16>(port > 0 ? port : 80));
    return c;
}

QString MedicDownload::hostEfetivo(const QString &host)
{
    QString h = host.trimmed();
    if (h.startsWith(QLatin1String("http://"), Qt::CaseInsensitive))
        h = h.mid(7);
    while (h.endsWith(QLatin1Char('/')))
        h.chop(1);
    if (h.isEmpty() || h.contains(QLatin1String(kServicoAntigo), Qt::CaseInsensitive))
        return Settings::hostPadrao();
    return h;
}

QString MedicDownload::nomeArquivo(int mes, int ano)
{
    return QStringLiteral("TB_MEDICAMENTO_%1%2.zlb")
        .arg(mes, 2, 10, QLatin1Char('0'))
        .arg(ano, 4, 10, QLatin1Char('0'));
}

MedicDownload::MedicDownload(const Config &config, QObject *parent)
    : QObject(parent),
      m_config(config),
      m_nam(new QNetworkAccessManager(this))
{
    m_nam->setProxy(m_config.proxy);
}

MedicDownload::~MedicDownload() { cancela(); }

QNetworkRequest MedicDownload::request(const QString &nome) const
{
    QNetworkRequest req(QUrl(QStringLiteral("http://") + m_config.host + m_config.pasta + nome));
    req.setTransferTimeout(m_config.timeoutMs);
    req.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    return req;
}

void MedicDownload::espera(QNetworkReply *reply)
{
    m_reply = reply;
    if (!reply->isFinished()) {
        QEventLoop loop;
        connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
        loop.exec();
    }
    m_reply = nullptr;
}

void MedicDownload::cancela()
{
    if (m_reply)
        m_reply->abort();
}

QString MedicDownload::erroDeConexao(QNetworkReply *reply) const
{
    return QStringLiteral("Não consegui conectar com o servidor. Tente mais tarde.\r(%1)").arg(reply->errorString());
}

MedicDownload::Busca MedicDownload::procura(const QDate &hoje)
{
    Busca b;
    int mes = hoje.month(), ano = hoje.year();
    for (int tentativa = 0; tentativa < Tentativas; ++tentativa) {
        const QString nome = nomeArquivo(mes, ano);
        emit status(QStringLiteral("Procurando por %1 em %2 ...").arg(nome, m_config.host));
        QNetworkReply *reply = m_nam->head(request(nome));
        espera(reply);
        const int code = httpStatus(reply);
        const qint64 length = reply->header(QNetworkRequest::ContentLengthHeader).toLongLong();
        if (naoConectou(reply)) {
            b.erro = erroDeConexao(reply);
            reply->deleteLater();
            return b;
        }
        const QString reason = reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString();
        reply->deleteLater();
        if (code == 200 && length >= TamanhoMinimo) {
            b.encontrado = true;
            b.mes = mes;
            b.ano = ano;
            b.nome = nome;
            return b;
        }
        if (code != 200 && code != 404) {
            b.erro = QStringLiteral("%1 %2").arg(code).arg(reason).trimmed() + kTenteNovamente;
            return b;
        }
        if (--mes == 0) {
            mes = 12;
            --ano;
        }
    }
    return b;
}

MedicDownload::Resultado MedicDownload::baixa(const QString &nome, const QString &destino)
{
    Resultado r;
    QSaveFile file(destino);
    file.setDirectWriteFallback(false);
    if (!file.open(QIODevice::WriteOnly)) {
        r.erro = QStringLiteral("Não consegui gravar %1 (%2)").arg(destino, file.errorString()) + kTenteNovamente;
        return r;
    }
    QNetworkReply *reply = m_nam->get(request(nome));
    qint64 recebidos = 0;
    bool gravou = true;
    connect(reply, &QNetworkReply::readyRead, this, [&] {
        const QByteArray chunk = reply->readAll();
        recebidos += chunk.size();
        gravou = gravou && file.write(chunk) == chunk.size();
    });
    connect(reply, &QNetworkReply::downloadProgress, this, [this](qint64 feitos, qint64 total) {
        emit status(QStringLiteral("Baixando %1 de %2 bytes...").arg(feitos).arg(total));
        emit progresso(feitos, total);
    });
    espera(reply);
    const QByteArray rest = reply->readAll();
    recebidos += rest.size();
    gravou = gravou && file.write(rest) == rest.size();
    const qint64 anunciado = reply->header(QNetworkRequest::ContentLengthHeader).toLongLong();
    const int code = httpStatus(reply);
    if (naoConectou(reply) && recebidos == 0 && reply->error() != QNetworkReply::OperationCanceledError)
        r.erro = erroDeConexao(reply);
    else if (reply->error() != QNetworkReply::NoError && code == 200)
        r.erro = reply->errorString() + kTenteNovamente;
    else if (code != 200 || recebidos < TamanhoMinimo)
        r.erro = QStringLiteral("Arquivo não encontrado.") + kTenteNovamente;
    else if (anunciado > 0 && recebidos != anunciado)
        r.erro = QStringLiteral("O arquivo chegou incompleto (%1 de %2 bytes).").arg(recebidos).arg(anunciado)
            + kTenteNovamente;
    else if (!gravou)
        r.erro = QStringLiteral("Não consegui gravar %1 (%2)").arg(destino, file.errorString()) + kTenteNovamente;
    reply->deleteLater();
    if (!r.erro.isEmpty()) {
        file.cancelWriting();
        return r;
    }
    emit status(QStringLiteral("Salvando..."));
    if (!file.commit()) {
        r.erro = QStringLiteral("Não consegui gravar %1 (%2)").arg(destino, file.errorString()) + kTenteNovamente;
        return r;
    }
    r.ok = true;
    r.arquivo = destino;
    return r;
}

MedicDownload::Resultado MedicDownload::extrai(const QString &zlb)
{
    Resultado r;
    const QFileInfo fi(zlb);
    const QString texto = fi.absolutePath() + QLatin1Char('/') + fi.completeBaseName() + QStringLiteral(".txt");
    // Entries go into a fresh folder first, so an archive can never replace a
    // file of the program's folder; only the text table is taken out of it.
    QTemporaryDir staging(fi.absolutePath() + QStringLiteral("/.extraindo-XXXXXX"));
    TZLBArchive archive;
    if (!staging.isValid() || !archive.open(zlb) || !archive.extractAll(staging.path())) {
        r.erro = (archive.errorString().isEmpty() ? QStringLiteral("Incapaz de criar a pasta de destino")
                                                  : archive.errorString())
            + kTenteNovamente;
        return r;
    }
    archive.close();
    QString found;
    for (const QString &f : QDir(staging.path()).entryList(QDir::Files))
        if (f.compare(QFileInfo(texto).fileName(), Qt::CaseInsensitive) == 0)
            found = QDir(staging.path()).filePath(f);
    if (found.isEmpty()) {
        r.erro = QStringLiteral("O arquivo %1 não contém a tabela %2.").arg(fi.fileName(), QFileInfo(texto).fileName())
            + kTenteNovamente;
        return r;
    }
    std::error_code ec;
    std::filesystem::rename(QFile::encodeName(found).toStdString(), QFile::encodeName(texto).toStdString(), ec);
    if (ec) {
        r.erro = QStringLiteral("Não consegui gravar %1").arg(texto) + kTenteNovamente;
        return r;
    }
    r.ok = true;
    r.arquivo = texto;
    return r;
}

std::optional<NovaTabelaMedic> BuscaTabelaNoServidor(
    MedicDownload &download, const QDate &hoje, const QString &pastaPrograma)
{
    emit download.status(QStringLiteral("Conectando com o servidor..."));
    const MedicDownload::Busca b = download.procura(hoje);
    if (!b.erro.isEmpty()) {
        MsgAviso(b.erro);
        return std::nullopt;
    }
    if (!b.encontrado) {
        MsgAviso(QStringLiteral("Não encontrei no servidor nenhuma Tabela de Medicamentos dos últimos %1 meses.")
                     .arg(MedicDownload::Tentativas));
        return std::nullopt;
    }
    const QString mesAno = NomeMesMaiusculo(b.mes) + QLatin1Char('/') + QString::number(b.ano);
    if (!Confirma(QStringLiteral("Quer baixar a Tabela de Medicamentos do mês de ") + mesAno))
        return std::nullopt;
    emit download.status(QStringLiteral("Baixando Tabela de %1...").arg(mesAno));
    const MedicDownload::Resultado baixado = download.baixa(b.nome, QDir(pastaPrograma).filePath(b.nome));
    if (!baixado.ok) {
        MsgAviso(baixado.erro);
        return std::nullopt;
    }
    const MedicDownload::Resultado extraido = MedicDownload::extrai(baixado.arquivo);
    if (!extraido.ok) {
        MsgAviso(extraido.erro);
        return std::nullopt;
    }
    return NovaTabelaMedic {extraido.arquivo, mesAno};
}

} // namespace stb
