// The main window's commands on the lines of the current invoice and on the
// annex: the three item buttons with the item grid's double click and
// pop-up menu (general, fuel or medicine dialog by the calculation's group), the annex
// consultation program's requests (SBConsulta and the search menu), the
// reference-table grids (with F11 and F12) and the HTML message window.
#pragma once

#include <QObject>

namespace stb {

namespace db {
class Table;
}

class TMain;

class ItemCommands : public QObject {
    Q_OBJECT

public:
    explicit ItemCommands(TMain *main);
    ~ItemCommands() override;

    void SBIncluiItemClick();
    void SBAlteraItemClick();
    void SBExcluiItemClick();
    // Asks the annex consultation program for a consultation kind (1 to 6).
    void AnnexConsult(int kind);

    // Shutdown: closes the annex consultation program, with up to three
    // further attempts one second apart; false (after the message) when it
    // would not close.
    static bool FechaBrelva();

private:
    void montaMenus();
    void calculoAberto(bool aberto);
    int grupo() const;
    // The lines of the open calculation's kind (Itens or ItensMedic).
    db::Table &linhas() const;
    bool podeEditar() const;

    TMain *m_main;
};

} // namespace stb
