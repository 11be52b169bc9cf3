#pragma once
// A consumer list as the screen hands it to the search list: three visible fields with
// display labels and widths, one hidden field.

#include "platform/dataset/ClientDataSet.h"

#include <memory>

namespace possvc_test {

inline platform::FieldDef fieldDef(const char* name, int size, const char* label, int width, bool visible = true)
{
    const auto f = platform::FieldDef::text(QString::fromLatin1(name), size).labelled(QString::fromUtf8(label), width);
    return visible ? f : f.invisible();
}

inline std::unique_ptr<platform::ClientDataSet> consumerList(const QList<QStringList>& rows)
{
    auto ds = std::make_unique<platform::ClientDataSet>(QStringLiteral("cdsConsumidor"));
    ds->fieldDefs() = {fieldDef("CDCONSUMIDOR", 21, "Código do Consumidor", 25),
                       fieldDef("NMCONSUMIDOR", 50, "Nome do Consumidor", 30),
                       fieldDef("CDCLIENTE", 21, "Código do Cliente", 25),
                       fieldDef("NRCPFRESPCON", 11, "", 0, false)};
    ds->createDataSet();
    for (const QStringList& row : rows) {
        QVariantList values;
        for (const QString& v : row)
            values.append(v);
        ds->appendRecord(values);
    }
    ds->first();
    return ds;
}

inline std::unique_ptr<platform::ClientDataSet> sampleConsumers()
{
    return consumerList({{"100", "JOÃO DA SILVA", "001", "11111111111"},
                         {"101", "MARIA SOUZA", "001", "22222222222"},
                         {"102", "JOSÉ SILVA MARTINS", "002", "33333333333"},
                         {"103", "ANA MARIA SILVA", "002", "44444444444"}});
}

}  // namespace possvc_test
