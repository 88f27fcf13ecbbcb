// TFormDlgHTMLVoceSabia: the "Você Sabia?" tips, one row of the table
// VoceSabia at a time, stepping back and forward with wrap-around; the tip
// shown is remembered in key VoceSabia of STBrelva.ini.
#pragma once

#include <QDialog>
#include <QList>
#include <QPair>

class QTextBrowser;
class QToolButton;
class QPushButton;

namespace stb {

class TFormDlgHTMLVoceSabia : public QDialog {
    Q_OBJECT

public:
    explicit TFormDlgHTMLVoceSabia(QWidget *parent = nullptr);

    QTextBrowser *Browser = nullptr;
    QToolButton *SBAnterior = nullptr, *SBProximo = nullptr;
    QPushButton *BtnFecha = nullptr;

    bool vazio() const { return m_dicas.isEmpty(); }
    int idAtual() const { return m_pos >= 0 ? m_dicas[m_pos].first : 0; }

    void SBAnteriorClick();
    void SBProximoClick();

private:
    void mostra(int pos);

    QList<QPair<int, QString>> m_dicas; // (Id, Info) in Id order
    int m_pos = -1;
};

// From the menu: shows the tips as a dialog.
void MostraVoceSabia(QWidget *parent);

} // namespace stb
