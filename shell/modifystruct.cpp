#include "shell/modifystruct.h"

#include "core/messages.h"
#include "platform/db/database.h"
#include "platform/db/query.h"
#include "platform/db/table.h"
#include "shell/dbmaint.h"

#include <QApplication>
#include <QDialog>
#include <QFileInfo>
#include <QProgressBar>
#include <QVBoxLayout>
#include <memory>

namespace stb {

namespace {

bool mesmoTamanho(const db::FieldDef &a, db::FieldType type, int size)
{
    return type != db::FieldType::String || a.size == size;
}

// The small fixed window shown while a table is restructured.
class JanelaRestruturando : public QDialog {
public:
    explicit JanelaRestruturando(const QString &tabela)
    {
        setObjectName(QStringLiteral("FormRestruturando"));
        setWindowTitle(QStringLiteral("Restruturando ") + tabela);
        setWindowFlag(Qt::WindowCloseButtonHint, false);
        setWindowFlag(Qt::WindowContextHelpButtonHint, false);
        auto *layout = new QVBoxLayout(this);
        Barra = new QProgressBar(this);
        Barra->setObjectName(QStringLiteral("ProgressBar"));
        Barra->setRange(0, 100);
        Barra->setValue(0);
        layout->addWidget(Barra);
        setFixedSize(360, 64);
    }
    QProgressBar *Barra;
};

} // namespace

TModifyStruct::TModifyStruct(db::Table &source, bool showProgress)
    : ShowProgress(showProgress),
      m_source(source),
      m_base(source.database()),
      m_nome(source.tableName())
{
    if (m_source.beforeOpen)
        m_source.beforeOpen(m_source);
    try {
        m_def = m_base->tableDef(m_nome);
    } catch (const db::EngineError &) {
        m_def = db::TableDef {m_nome, {}, {}};
    }
}

void TModifyStruct::AddField(const QString &name, db::FieldType type, int position, int size, bool required)
{
    const int atual = m_def.fieldIndex(name);
    if (atual < 0) {
        const db::FieldDef novo {name, type, type == db::FieldType::String ? size : 0, required};
        if (position < 0 || position >= m_def.fields.size())
            m_def.fields.append(novo);
        else
            m_def.fields.insert(position, novo);
        Modified = true;
        return;
    }
    db::FieldDef &f = m_def.fields[atual];
    if (f.type != type || !mesmoTamanho(f, type, size) || f.required != required) {
        f.type = type;
        f.size = type == db::FieldType::String ? size : 0;
        f.required = required;
        Modified = true;
    }
    if (position >= 0 && position != atual && position < m_def.fields.size()) {
        m_def.fields.move(atual, position);
        Modified = true;
    }
}

void TModifyStruct::AddIndex(const QString &name, const QString &fields, unsigned options)
{
    for (int i = 0; i < m_def.indexes.size(); ++i) {
        const db::IndexDef &ix = m_def.indexes[i];
        if (ix.name.compare(name, Qt::CaseInsensitive) != 0)
            continue;
        if (ix.fields.compare(fields, Qt::CaseInsensitive) == 0 && ix.options == options)
            return;
        m_def.indexes.removeAt(i);
        break;
    }
    m_def.indexes.append(db::IndexDef {name, fields, options});
    Modified = true;
}

bool TModifyStruct::Execute()
{
    m_source.close();
    m_erro.clear();
    m_progresso.clear();
    if (!Modified)
        return true;
    const QString dat = m_base->tableFilePath(m_nome, QStringLiteral(".dat"));
    const DireitosTabela direitos(dat.left(dat.size() - 4));

    // A table with many rows shows its progress whatever the flag says.
    bool mostra = ShowProgress;
    if (!mostra) {
        try {
            db::Query q(m_base);
            q.setSql(QStringLiteral("SELECT COUNT(*) FROM %1").arg(m_nome.toUpper()));
            q.open();
            mostra = q.field(0).asLargeInt() >= LinhasComProgresso;
        } catch (const db::EngineError &) {
        }
    }
    const bool comJanelas = qobject_cast<QApplication *>(QCoreApplication::instance()) != nullptr;
    std::unique_ptr<JanelaRestruturando> janela;
    if (mostra && comJanelas) {
        QString titulo = QFileInfo(dat).fileName().toUpper();
        if (titulo.endsWith(QLatin1String(".DAT")))
            titulo.chop(4);
        janela = std::make_unique<JanelaRestruturando>(titulo);
        janela->show();
        QCoreApplication::processEvents();
    }
    if (comJanelas)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    const db::ProgressFn progresso = [this, &janela](const QString &, int percent) {
        if (m_progresso.isEmpty() || m_progresso.last() != percent)
            m_progresso << percent;
        if (janela) {
            janela->Barra->setValue(percent);
            QCoreApplication::processEvents();
        }
    };
    bool ok = true;
    try {
        m_base->alterTable(m_nome, m_def, progresso);
        direitos.aplica();
    } catch (const db::EngineError &e) {
        ok = false;
        m_erro = QStringLiteral("Impossível mudar a estrutura.\r\n")
            + (e.code() == db::Err::TableInUse
                    ? QStringLiteral("Esta Tabela está em uso por outro usuário ou processo!")
                    : e.message());
    }
    if (comJanelas)
        QApplication::restoreOverrideCursor();
    janela.reset();
    if (!ok)
        MsgErro(m_erro);
    else
        Modified = false;
    return ok;
}

} // namespace stb
