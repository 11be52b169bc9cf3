// Field: reads and writes one value of the current row; its metadata lives in the
// dataset's field definitions so that it survives a reload.

#include "platform/dataset/ClientDataSetImpl.h"

#include "platform/Error.h"
#include "platform/dataset/ValueText.h"

namespace platform {

namespace {

// The value read as another type, with the same conversions (and errors naming the
// field) as assigning it to a field of that type.
QVariant readAs(const FieldDef& def, FieldType type, const QVariant& value)
{
    FieldDef as;
    as.name = def.name;
    as.type = type;
    return convertToFieldType(as, value);
}

int defaultDisplayWidth(const FieldDef& def)
{
    const int width = traitsOf(def.type).displayWidth;
    if (width > 0)
        return width;
    return def.size > 0 ? def.size : 20;  // a text of no stated size
}

}  // namespace

const FieldDef& Field::def() const
{
    owner_->d->checkField(index_);
    return owner_->d->defs[index_];
}

const QString& Field::fieldName() const { return def().name; }
FieldType Field::dataType() const { return def().type; }
int Field::size() const { return def().size; }

QString Field::displayLabel() const
{
    const FieldDef& f = def();
    return f.displayLabel.isEmpty() ? f.name : f.displayLabel;
}

void Field::setDisplayLabel(const QString& label)
{
    def();
    owner_->d->defs[index_].displayLabel = label;
}

int Field::displayWidth() const
{
    const FieldDef& f = def();
    return f.displayWidth > 0 ? f.displayWidth : defaultDisplayWidth(f);
}

void Field::setDisplayWidth(int chars)
{
    def();
    owner_->d->defs[index_].displayWidth = chars;
}

bool Field::visible() const { return def().visible; }

void Field::setVisible(bool visible)
{
    def();
    owner_->d->defs[index_].visible = visible;
}

QString Field::displayFormat() const { return def().displayFormat; }

void Field::setDisplayFormat(const QString& format)
{
    def();
    owner_->d->defs[index_].displayFormat = format;
}

QVariant Field::value() const
{
    const ClientDataSet::Impl& d = *owner_->d;
    d.checkActive();
    def();
    if (d.cur < 0)
        return {};  // an empty table reads null
    return d.cellValue(d.cur, index_);
}

bool Field::isNull() const { return !value().isValid(); }

void Field::setValue(const QVariant& value)
{
    ClientDataSet::Impl& d = *owner_->d;
    d.checkActive();
    const FieldDef& f = def();
    d.checkEditing();
    if (f.readOnly)
        throw DataSetError(QStringLiteral("Field '%1' cannot be modified").arg(f.name));
    d.buffer[index_] = convertToFieldType(f, value);
    d.modified = true;
    d.notifyFieldChanged(index_);
}

void Field::clear() { setValue(QVariant()); }

QString Field::asString() const { return detail::valueToText(def().type, value()); }

double Field::asFloat() const
{
    const QVariant v = value();
    if (def().type == FieldType::Date || def().type == FieldType::DateTime || def().type == FieldType::TimeStamp) {
        // A date-time as a number: days since 1899-12-30, the time as the fraction.
        const QDateTime dt = asDateTime();
        if (!dt.isValid())
            return 0;
        return double(QDate(1899, 12, 30).daysTo(dt.date())) + dt.time().msecsSinceStartOfDay() / 86400000.0;
    }
    return readAs(def(), FieldType::Float, v).toDouble();
}

int Field::asInteger() const { return readAs(def(), FieldType::Integer, value()).toInt(); }
qint64 Field::asLargeInt() const { return readAs(def(), FieldType::LargeInt, value()).toLongLong(); }
bool Field::asBoolean() const { return readAs(def(), FieldType::Boolean, value()).toBool(); }
QDateTime Field::asDateTime() const { return readAs(def(), FieldType::DateTime, value()).toDateTime(); }
QDate Field::asDate() const { return asDateTime().date(); }

void Field::setAsString(const QString& v) { setValue(v); }
void Field::setAsFloat(double v) { setValue(v); }
void Field::setAsInteger(int v) { setValue(v); }
void Field::setAsBoolean(bool v) { setValue(v); }
void Field::setAsDateTime(const QDateTime& v) { setValue(v); }
void Field::setAsDate(const QDate& v) { setValue(v); }

QString Field::displayText() const
{
    const FieldDef& f = def();
    return detail::formatValue(f.type, value(), f.displayFormat);
}

}  // namespace platform
