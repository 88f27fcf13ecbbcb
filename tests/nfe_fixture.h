// Shared set-up of the NF-e suites: an installation with its pristine tables,
// the data module over its data folder with the entry tables open, and the
// messages recorded instead of shown.
#pragma once

#include "core/datamodule.h"
#include "core/messages.h"
#include "platform/db/query.h"
#include "tests/support/testenv.h"

#include <QObject>
#include <memory>

class NfeSuite : public QObject {
protected:
    void abre()
    {
        m_sink = stb::RecordingSink();
        stb::setMessageSink(&m_sink);
        m_inst = std::make_unique<stbtest::TestInstall>();
        m_inst->applyToProcess();
        stbtest::copyPristine(m_inst->dataDir());
        m_dm = std::make_unique<stb::TDM>(m_inst->dataDir());
        for (stb::db::Table *t : {&m_dm->TabFisc, &m_dm->TabRemet, &m_dm->TabDest, &m_dm->TabCalc, &m_dm->TabNotas,
                 &m_dm->TabItens, &m_dm->TabItensMedic})
            t->open();
    }
    void fecha()
    {
        m_dm.reset();
        m_inst.reset();
        stb::setMessageSink(nullptr);
    }
    // The first column of a one-row query.
    int conta(const QString &sql)
    {
        stb::db::Query q(&m_dm->BaseDados);
        q.setSql(sql);
        q.open();
        const int n = q.fields().first()->asInteger();
        q.close();
        return n;
    }

    std::unique_ptr<stbtest::TestInstall> m_inst;
    std::unique_ptr<stb::TDM> m_dm;
    stb::RecordingSink m_sink;
};
