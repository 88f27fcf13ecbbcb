// Error reports: an error that escapes to the event loop, or a fatal signal,
// leaves a report file in the user's data folder with the program's own data
// lines and the listing of the installation (STInfo.txt); the user is told
// where it is. Nothing is ever sent anywhere.
#pragma once

#include <QDateTime>
#include <QFileInfo>
#include <QString>
#include <QStringList>
#include <exception>

namespace stb::relatorio {

// What the data lines of a report say.
struct DadosRelatorio {
    bool contribuinte = false;
    QString computador, ip;
    QString unidade, telefone, email, usuario;
    QString exe, versao;
    QString appDir, dataDir;
    int lastError = 0;
    QString lastErrorTexto;
    QString tabelas; // open tables joined with ", "; "None", "DBNil" or "Nil"
    bool brelva = false, regEsp = false, arm = false;
};

// The data lines in their order.
QStringList linhasExtras(const DadosRelatorio &d);
// The lines joined with CR LF, ending with an empty line.
QString blocoExtras(const DadosRelatorio &d);
// The data of this process now; `lastError` is the code kept for the report.
DadosRelatorio coletaDados(int lastError);

// One line of the listing: "%0.4d:%10.n %s %s%7s %s" (number, size with
// thousands separators, date, time, attributes "ARHS", name).
QString linhaArquivo(int numero, const QFileInfo &fi);
// Whether the listing takes a file: the configuration and log files named,
// and every program (".exe", ".bpl", or an executable file).
bool arquivoListado(const QFileInfo &fi);
// The whole STInfo.txt text: the installation folder and its sub-folders,
// then the registered window handles of both roots and the folder values.
QString listagemSTInfo(const QString &appDir);

// Exceptions that make no report: conversion and input errors, invalid
// floating-point operations, messages beginning with "Data inválida", and
// the lost connection to the data computer (handled apart).
bool deveReportar(const std::exception &e);
// The engine lost the connection to the data computer (error 10225).
bool conexaoPerdida(const std::exception &e);
// "Atenção: Houve um erro na rede. ..." with the data computer's name.
QString textoErroRede(const QString &computador);

// Writes a report (the error text, the data lines, the listing) in the
// user's data folder and STInfo.txt in the temporary folder; returns the
// report's path (empty when it could not be written).
QString escreveRelatorio(const QString &titulo, const QString &erro, int lastError);
// The folder of the reports.
QString pastaRelatorios();

// The process-wide handler of an error that reached the event loop: no
// report for the kinds above (the message only), the network message and the
// end of the program for 10225, otherwise the report and where it is.
void trataExcecao(const std::exception &e);

// Fatal signals (SIGSEGV, SIGABRT, SIGBUS, SIGFPE, SIGILL) write what can be
// written safely (the data lines prepared now and the call stack) into a
// report file before the process ends. Call again after the data changed.
void instalaSinaisFatais();

} // namespace stb::relatorio
