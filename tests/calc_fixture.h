// A data module on a temporary folder (or, built with STB_TEST_SERVER, on the
// test server: see support/teststorage.h) with the calculation tables open, and
// helpers that store rows the way the dialogs do (ids and line numbers from
// the module, one post per row).
#pragma once

#include "core/datamodule.h"
#include "core/messages.h"
#include "tests/support/teststorage.h"

#include <QTemporaryDir>
#include <QTest>
#include <QVariantMap>
#include <memory>

namespace calctest {

// "Key=value,Key=value" into a map of field values (texts; amounts with ".").
inline QVariantMap campos(const QString &text)
{
    QVariantMap out;
    for (const QString &p : text.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const int eq = p.indexOf(QLatin1Char('='));
        out.insert(p.left(eq).trimmed(), p.mid(eq + 1).trimmed());
    }
    return out;
}

// Puts a data module's databases on the test's storage (the folder it was
// made on needs nothing more).
inline void onStorage(stb::TDM &dm, const stbtest::TestStorage &store)
{
#ifdef STB_TEST_SERVER
    dm.setServerBackends(
        stb::db::makePgBackend(store.address()), stb::db::makePgBackend(store.address(), QStringLiteral("ARM")));
#else
    Q_UNUSED(dm);
    Q_UNUSED(store);
#endif
}

// A fresh storage; the test fails at once without one.
inline void freshStorage(stbtest::TestStorage &store)
{
    QString error;
    if (!store.fresh(&error))
        qFatal("test storage: %s", qPrintable(error));
}

class Fixture {
public:
    Fixture()
    {
        m_previous = stb::setMessageSink(&sink);
        freshStorage(store);
        dm = std::make_unique<stb::TDM>(dir.path());
        onStorage(*dm, store);
        for (stb::db::Table *t :
            {&dm->TabFisc, &dm->TabRemet, &dm->TabDest, &dm->TabCalc, &dm->TabNotas, &dm->TabItens, &dm->TabItensMedic})
            t->open();
    }
    ~Fixture()
    {
        dm.reset();
        stb::setMessageSink(m_previous);
    }

    static void set(stb::db::DataSet &ds, const QVariantMap &values)
    {
        for (auto it = values.cbegin(); it != values.cend(); ++it) {
            stb::db::Field &f = ds.fieldByName(it.key());
            if (f.type() == stb::db::FieldType::Boolean)
                f.setAsBoolean(
                    it.value().toString() == QLatin1String("1") || it.value().toString() == QLatin1String("true"));
            else if (it.value().toString().isEmpty())
                f.clear();
            else
                f.setValue(it.value());
        }
    }

    // Amounts the dialogs always store: 0 unless given.
    static QVariantMap comZeros(const stb::db::DataSet &ds, QVariantMap values)
    {
        for (stb::db::Field *f : ds.fields())
            if (f->kind() == stb::db::Field::Kind::Data && f->type() == stb::db::FieldType::Currency
                && !values.contains(f->name()))
                values.insert(f->name(), QStringLiteral("0"));
        return values;
    }

    int calculo(const QString &fields)
    {
        dm->TabCalc.append();
        set(dm->TabCalc, campos(fields));
        dm->TabCalc.post();
        return dm->TabCalc.fieldByName(QStringLiteral("IdCalculo")).asInteger();
    }

    // A new invoice of the current calculation; its id from ProximoIdNota
    // unless the fields give one.
    int nota(const QString &fields)
    {
        const QVariantMap values = comZeros(dm->TabNotas, campos(fields));
        dm->TabNotas.append();
        set(dm->TabNotas, values);
        if (!values.contains(QStringLiteral("IdNota")))
            dm->TabNotas.fieldByName(QStringLiteral("IdNota")).setAsInteger(dm->ProximoIdNota());
        dm->TabNotas.post();
        return dm->TabNotas.fieldByName(QStringLiteral("IdNota")).asInteger();
    }

    // A new line of the current invoice, numbered by ProximoNroItem.
    void item(const QString &fields) { line(dm->TabItens, QString(), fields); }
    void itemMedic(const QString &fields) { line(dm->TabItensMedic, QStringLiteral("MEDIC"), fields); }

    QTemporaryDir dir; // the data folder (on the server, files the test writes)
    stbtest::TestStorage store;
    stb::RecordingSink sink;
    std::unique_ptr<stb::TDM> dm;

private:
    void line(stb::db::Table &t, const QString &sufixo, const QString &fields)
    {
        const int nro = dm->ProximoNroItem(sufixo);
        t.append();
        t.fieldByName(QStringLiteral("NroItem")).setAsInteger(nro);
        set(t, comZeros(t, campos(fields)));
        t.post();
    }

    stb::MessageSink *m_previous = nullptr;
};

} // namespace calctest
