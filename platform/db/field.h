// A field of a dataset: its value in the current row, conversions to and from
// the program's types and texts, presentation settings and the handlers the
// program hooks (text entry, display, change).
#pragma once

#include "platform/db/types.h"

#include <QString>
#include <QVariant>
#include <functional>

namespace stb::db {

class DataSet;

class Field {
public:
    enum class Kind { Data, Calculated, Lookup };

    const QString &name() const { return m_name; }
    FieldType type() const { return m_type; }
    int size() const { return m_size; }
    Kind kind() const { return m_kind; }
    bool isCalculated() const { return m_kind == Kind::Calculated; }
    bool isLookup() const { return m_kind == Kind::Lookup; }
    int index() const { return m_index; } // position among the dataset's fields
    DataSet &dataSet() const { return *m_ds; }

    // Presentation.
    QString displayLabel; // caption of a grid column (the name when empty)
    QString displayFormat; // numeric display format (",0.00") or date format
    QString editMask; // entry mask "99.999.999/9999-99;1;_"
    int displayWidth = 0; // characters
    bool visible = true;
    bool required = false;
    bool readOnly = false;
    QString label() const { return displayLabel.isEmpty() ? m_name : displayLabel; }

    // Lookup definition (kind Lookup): the value of `lookupResultField` in
    // `lookupDataSet` where `lookupKeyFields` equal this dataset's `keyFields`.
    DataSet *lookupDataSet = nullptr;
    QString lookupKeyFields;
    QString lookupResultField;
    QString keyFields;

    // Text entry handler: converts typed text into the field's value.
    std::function<void(Field &, const QString &)> onSetText;
    // Display handler: replaces the displayed text (displayText = true) or the edit text.
    std::function<QString(const Field &, bool displayText)> onGetText;
    // Called after the value changed in edit or insert state.
    std::function<void(Field &)> onChange;

    bool isNull() const;
    const Value &raw() const;
    QVariant value() const;
    QString asString() const;
    qint64 asLargeInt() const;
    int asInteger() const { return static_cast<int>(asLargeInt()); }
    double asFloat() const;
    Extended asExtended() const;
    Currency asCurrency() const;
    bool asBoolean() const;
    QDate asDate() const;
    QDateTime asDateTime() const;

    void setRaw(const Value &v);
    void setValue(const QVariant &v);
    void setAsString(const QString &s);
    void setAsInteger(qint64 v);
    void setAsFloat(double v);
    void setAsCurrency(Currency v);
    void setAsBoolean(bool v);
    void setAsDate(const QDate &v);
    void setAsDateTime(const QDateTime &v);
    void clear();

    // The text shown for the value (display format, display handler).
    QString displayText() const;
    // The text given to an editor.
    QString text() const;
    // Typed text: through onSetText when set, else the field's own conversion.
    void setText(const QString &text);
    // Conversion of typed text without handlers (empty text clears the field).
    void assignText(const QString &text);

    // Formats a stored value of this field the way displayText does.
    QString formatValue(const Value &v) const;

private:
    void setRawInt(std::int64_t v);
    friend class DataSet;
    friend class Table;
    friend class Query;
    Field(DataSet *ds, const QString &name, FieldType type, int size, Kind kind)
        : m_ds(ds),
          m_name(name),
          m_type(type),
          m_size(size),
          m_kind(kind)
    {
    }
    DataSet *m_ds;
    QString m_name;
    FieldType m_type;
    int m_size;
    Kind m_kind;
    int m_index = -1;
    int m_slot = -1; // data: position in a row; calc/lookup: position in the calc buffer
};

} // namespace stb::db
