// The main window's NF-e commands: "Importar NF-e (XML)..." and "Importar
// NF-e de uma pasta..." in the invoice grid's menu and under the "NF-e"
// button beside the invoice buttons, and NF-e files or folders dropped onto
// the invoice grid.
#pragma once

#include <QObject>

class QAction;
class QToolButton;

namespace stb {

class TMain;

class NFeCommands : public QObject {
    Q_OBJECT

public:
    // Adds the entries to the invoice menu and takes the drops of the
    // invoice grid; owned by the window.
    explicit NFeCommands(TMain *main);

    QAction *ImportarNFe1 = nullptr;
    QAction *ImportarNFePasta1 = nullptr;
    QToolButton *SBImportaNFe = nullptr; // enabled while a calculation is open

    void ImportarNFeClick();
    void ImportarNFePastaClick();
    // Imports files or folders into the open calculation.
    void Importa(const QStringList &caminhos);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    TMain *m_main;
};

} // namespace stb
