#pragma once
// ClientDataSet: an in-memory table with typed fields, a current row, editing states,
// locate and filter, loaded from and saved to data packets and files.
//
// Owns its fields and rows. Raises DataSetError on misuse (unknown field, editing while
// not in edit/insert state, navigation while inactive), PacketError on a bad packet or
// file, FilterError on a filter that does not parse.

#include "PlatformDatasetExport.h"
#include "platform/dataset/DataPacket.h"
#include "platform/dataset/FieldDef.h"

#include <QDate>
#include <QDateTime>
#include <QObject>
#include <QString>
#include <QVariant>

#include <memory>
#include <vector>

namespace platform {

namespace detail {
class RowStore;
}

class ClientDataSet;
class FilterExpression;

// One field of a dataset. Reads and writes the current row (the edit buffer while the
// dataset is in edit or insert state). Belongs to its dataset; a reference stays valid for
// the dataset's lifetime. Its metadata lives in the dataset's FieldDef and survives a
// reload of a packet with the same field names.
//
// Reading while the dataset is closed throws; reading an empty (or fully filtered) table
// gives null. setValue throws "Dataset not in edit or insert mode" in browse state,
// "Field 'X' cannot be modified" for a read-only field, and a DataSetError naming the
// field for a value its type cannot hold (see convertToFieldType).
class PLATFORM_DATASET_EXPORT Field {
public:
    const QString& fieldName() const;
    FieldType dataType() const;
    int size() const;
    int index() const { return index_; }
    const FieldDef& def() const;

    QString displayLabel() const;  // the label, or the field name when none is set
    void setDisplayLabel(const QString& label);
    int displayWidth() const;
    void setDisplayWidth(int chars);
    bool visible() const;
    void setVisible(bool visible);
    QString displayFormat() const;
    void setDisplayFormat(const QString& format);

    bool isNull() const;
    QVariant value() const;               // invalid QVariant for null
    void setValue(const QVariant& value); // converted to the field's type; texts cut to size
    void clear();                         // set null

    QString asString() const;             // null -> ""; numbers in the system locale
    double asFloat() const;               // null -> 0; texts read in the locale; dates as days since 1899-12-30
    int asInteger() const;                // null -> 0; fractions rounded
    qint64 asLargeInt() const;
    bool asBoolean() const;               // null -> false
    QDateTime asDateTime() const;         // null -> invalid
    QDate asDate() const;
    void setAsString(const QString& v);
    void setAsFloat(double v);
    void setAsInteger(int v);
    void setAsBoolean(bool v);
    void setAsDateTime(const QDateTime& v);
    void setAsDate(const QDate& v);

    QString displayText() const;  // formatted with the display format, as a grid shows it

private:
    friend class ClientDataSet;
    Field(ClientDataSet* owner, int index) : owner_(owner), index_(index) {}
    ClientDataSet* owner_;
    int index_;
};

enum class DataSetState { Inactive, Browse, Edit, Insert };

struct LocateOptions {
    bool caseInsensitive = false;
    bool partialKey = false;  // prefix match on texts
};

class PLATFORM_DATASET_EXPORT ClientDataSet : public QObject {
    Q_OBJECT
public:
    explicit ClientDataSet(const QString& name = {}, QObject* parent = nullptr);
    ~ClientDataSet() override;

    // Structure. Field definitions may be changed only while inactive.
    FieldDefs& fieldDefs();
    const FieldDefs& fieldDefs() const;
    int fieldCount() const;
    Field& field(int index);
    Field& fieldByName(const QString& name);  // throws "Field 'NAME' not found"
    Field* findField(const QString& name);    // nullptr when absent
    Field& operator[](const QString& name) { return fieldByName(name); }

    // Lifecycle.
    void createDataSet();  // empty and active from fieldDefs(); throws on none or duplicate names
    void emptyDataSet();   // removes every row, stays active
    void close();          // inactive; keeps field definitions; discards an unposted edit
    void open();           // active again with the rows it had (none after close)
    bool active() const;
    DataSetState state() const;
    bool isEmpty() const;
    QString name() const;       // the name given at construction (objectName)
    bool modified() const;      // a value was set since edit()/insert()

    // Packets and files. A null or empty packet closes the dataset. A packet or file that
    // cannot be loaded throws and leaves the dataset as it was.
    void setData(const QVariant& packet);
    void setPacket(const DataPacket& packet);
    QVariant data() const;       // binary packet bytes; invalid while inactive
    DataPacket packet() const;   // current rows, unfiltered
    void loadFromFile(const QString& path);
    void saveToFile(const QString& path, PacketFormat format = PacketFormat::Binary) const;

    // Navigation over the visible (filtered) rows. recNo is 1-based; 0 when empty.
    // next() on the last row sets eof() and stays; prior() on the first sets bof().
    // Moving (and locate, setFilter, setFiltered) first posts a modified edit or insert
    // and cancels an untouched one.
    void first();
    void next();
    void prior();
    void last();
    bool bof() const;
    bool eof() const;
    int recordCount() const;
    int recNo() const;
    void setRecNo(int recNo);   // throws when out of 1..recordCount()

    // Random access for data-aware views: 0-based visible row, does not move the current
    // row. The current row reads from the edit buffer while editing. Throws on a bad index.
    int currentRow() const;     // recNo() - 1; -1 when empty or inactive
    QVariant valueAt(int row, int fieldIndex) const;
    QString displayTextAt(int row, int fieldIndex) const;
    // The same text without a copy for a text field shown as it is stored (a null value
    // is an empty text); valid until the dataset changes. False, `text` untouched, when
    // the value needs formatting (not a text field, a display format, the row in editing):
    // displayTextAt() gives it then.
    bool textAt(int row, int fieldIndex, QAnyStringView& text) const;

    // Editing. insert() puts a new row before the current one; it becomes current and is
    // visible (recordCount counts it) until cancelled. edit() on an empty table inserts.
    // post() checks required fields ("Field 'X' must have a value"), is a no-op in browse
    // state, and a posted row that fails the filter leaves the view. cancel() of an insert
    // removes the row and returns to the row that was current. remove() makes the next
    // row current, or the prior one when the last was deleted (eof() then); in insert
    // state it cancels.
    void insert();
    void append();
    void edit();
    void post();
    void cancel();
    void remove();  // deletes the current row
    // append(), set each field from `values` (in field order, missing ones null), post();
    // when a value or the post fails, the new row is cancelled and the error rethrown.
    void appendRecord(const QVariantList& values);

    // Locate on a semicolon-separated list of key fields; `values` is a single value for
    // one key field, or a QVariantList with one value per key field. Each value is
    // converted to its field's type (so "12,5" finds 12.5 under a comma locale). On
    // success the row becomes current and true is returned; otherwise nothing moves.
    bool locate(const QString& keyFields, const QVariant& values, LocateOptions options = {});
    // Lookup: the value of resultField in the first row matching, or null; does not move.
    // A semicolon-separated resultField gives a QVariantList of those fields' values.
    QVariant lookup(const QString& keyFields, const QVariant& values, const QString& resultField);

    // Filter expression (=, <>, <, <=, >, >=, AND, OR, NOT, IS [NOT] NULL, parentheses,
    // quoted strings, numbers; see FilterExpression.h). Takes effect while filtered() is
    // true; switching it on or changing it while on moves to the first visible row. An
    // unknown field throws "Field 'X' not found" (from setFilter when active, else on
    // opening, which then leaves the data unfiltered). packet() is never filtered.
    void setFilter(const QString& expression);  // parses now; throws FilterError
    QString filter() const;
    void setFiltered(bool on);
    bool filtered() const;

    // Data-aware controls: while disabled, no row/current-row signals are emitted; on
    // enable a single reset() is emitted.
    void disableControls();
    void enableControls();

signals:
    void stateChanged(platform::DataSetState state);
    void afterPost();
    void afterCancel();
    void afterDelete();
    void afterScroll();                 // the current row changed (also after open/load)
    void currentRowChanged(int row);    // 0-based visible row, -1 when none
    void fieldChanged(int fieldIndex);  // a value of the current row changed while editing
    void rowInserted(int row);          // 0-based visible row
    void rowRemoved(int row);
    void rowChanged(int row);           // a posted row's values changed
    void reset();                       // structure or all rows changed (open, close, load, filter)

private:
    friend class Field;
    struct Impl;
    // Takes rows already in column storage, with the shape's fields and parameters.
    void adopt(const DataPacket& shape, detail::RowStore&& store);
    std::unique_ptr<Impl> d;
};

}  // namespace platform
