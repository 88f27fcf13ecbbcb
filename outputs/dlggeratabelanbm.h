// TFormDlgGeraTabelaNBM ("Geração Tabela NBM - Excel"): writes the annex table
// by CEST and by NBM into "TabelaNBM-Brelva.xls" in the user's documents
// folder and opens it. The window only shows the wait text while it works.
#pragma once

#include "entry/formdlg.h"
#include "platform/db/dataset.h"

#include <functional>

class QLabel;

namespace stb {

class TFormDlgGeraTabelaNBM : public TFormDlg {
    Q_OBJECT

public:
    explicit TFormDlgGeraTabelaNBM(db::Database *database, QWidget *parent = nullptr);
    ~TFormDlgGeraTabelaNBM() override;

    db::Query QryCEST;
    db::Query QryNBM;
    QLabel *LabelAguarde = nullptr;

    static QString nomeArquivo() { return QStringLiteral("TabelaNBM-Brelva.xls"); }

    // The export command: offers a file generated before, asks, writes the
    // workbook and opens it with `abrir` (the desktop's program for .xls).
    static void Executa(db::Database &database, const QString &pasta, const QString &versao,
        const std::function<void(const QString &)> &abrir, QWidget *parent = nullptr);

private:
    bool gera(const QString &alvo, const QString &versao);
};

} // namespace stb
