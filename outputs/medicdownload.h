// Download of the monthly medicine table from the department's update server:
// HEAD requests going back month by month for "TB_MEDICAMENTO_mmaaaa.zlb",
// the GET of the archive found, and its extraction. Progress and steps are
// signals; failures are values carrying the user's message.
#pragma once

#include <QDate>
#include <QNetworkProxy>
#include <QObject>
#include <QString>
#include <optional>

class QNetworkAccessManager;
class QNetworkReply;
class QNetworkRequest;

namespace stb {

class Settings;

class MedicDownload : public QObject {
    Q_OBJECT

public:
    static constexpr qint64 TamanhoMinimo = 15000; // a smaller reply is not a table
    static constexpr int Tentativas = 6; // this month and five before

    struct Config {
        QString host; // "name" or "name:port"
        QNetworkProxy proxy {QNetworkProxy::NoProxy};
        QString pasta = QStringLiteral("/stbrelva/medicamentos/"); // the update folder on the server
        int timeoutMs = 30000;
    };
    // Section HostFazenda: the host (a host of the former dynamic-name service
    // becomes the default host) and the proxy: the system's (browser) proxy
    // when ProxyIE, else Proxy/Porta, else none.
    static Config configDoSistema(Settings &settings);
    static QString hostEfetivo(const QString &host);

    // "TB_MEDICAMENTO_%0.2d%0.4d.zlb".
    static QString nomeArquivo(int mes, int ano);

    struct Busca {
        bool encontrado = false;
        int mes = 0, ano = 0;
        QString nome;
        QString erro; // set when the search ended on an error (user's message)
    };
    struct Resultado {
        bool ok = false;
        QString arquivo; // the file written
        QString erro; // user's message when !ok
    };

    explicit MedicDownload(const Config &config, QObject *parent = nullptr);
    ~MedicDownload() override;

    const Config &config() const { return m_config; }

    // Each runs its requests to the end (the caller's window keeps working)
    // and returns the outcome.
    Busca procura(const QDate &hoje);
    Resultado baixa(const QString &nome, const QString &destino);
    // Stops the request in progress (its outcome is a failure).
    void cancela();

    // Extracts the archive into its folder and returns the text table: the
    // archive's path with the extension ".txt".
    static Resultado extrai(const QString &zlb);

signals:
    void status(const QString &text);
    void progresso(qint64 feitos, qint64 total);

private:
    QNetworkRequest request(const QString &nome) const;
    void espera(QNetworkReply *reply);
    QString erroDeConexao(QNetworkReply *reply) const;

    Config m_config;
    QNetworkAccessManager *m_nam;
    QNetworkReply *m_reply = nullptr;
};

// The option "Buscar a atualização no servidor do ST/Brelva" from start to
// end: search, the question, download next to the program, extraction.
// Shows the user's messages; returns the new text table and its month/year
// ("MARÇO/2025"), or nothing.
struct NovaTabelaMedic {
    QString texto;
    QString mesAno;
};
std::optional<NovaTabelaMedic> BuscaTabelaNoServidor(
    MedicDownload &download, const QDate &hoje, const QString &pastaPrograma);

} // namespace stb
