// The main window's medicine commands: "Tabela CMED/ABCFarma" and
// "NBM - Planilha Excel" in the search menu, "Atualização da Tabela
// Medicamentos" in the help menu, and the status texts of the medicine table.
#pragma once

#include <QObject>

class QAction;

namespace stb {

class TMain;

class MedicCommands : public QObject {
    Q_OBJECT

public:
    // Adds the entries to the window's menus; owned by the window.
    explicit MedicCommands(TMain *main);
    ~MedicCommands() override;

    QAction *TabelaABCFarma1 = nullptr;
    QAction *NBMPlanilhaExcel1 = nullptr;
    QAction *AtualizacaoDaTabelaMedicamentos1 = nullptr;

    void TabelaABCFarmaClick();
    void AtualizacaoDaTabelaMedicamentosClick();
    void NBMPlanilhaExcelClick();

private:
    TMain *m_main;
};

} // namespace stb
