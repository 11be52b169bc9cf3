#pragma once
// FilterExpression: a dataset filter, parsed once and then evaluated per row.
//
// Grammar (keywords and field names case-insensitive):
//   expr      := term { OR term }
//   term      := factor { AND factor }
//   factor    := NOT factor | '(' expr ')' | predicate
//   predicate := operand ( ('=' | '<>' | '!=' | '<' | '<=' | '>' | '>=') operand
//                        | IS [NOT] NULL )
//              | field                      (true when a boolean field is true)
//   operand   := field | [field name] | 'text' ('' inside is one quote) | number | NULL | TRUE | FALSE
//
// A comparison with a null side is false (and NOT of it true). Texts compare
// case-sensitively; `FIELD = 'Jo*'` (or <>) tests a prefix. A literal compared with a
// field is converted to that field's type once, when bound: "DT = '07/12/2026'" compares
// dates in the system's short date format, "VR = '12,5'" numbers in its decimal separator.
//
// Parsing throws FilterError naming the 1-based position; binding throws DataSetError
// "Field 'X' not found" or FilterError for a literal its field cannot hold.

#include "PlatformDatasetExport.h"
#include "platform/dataset/FieldDef.h"
#include "platform/dataset/RowStore.h"

#include <QString>

#include <memory>

namespace platform {

namespace detail {
// Gives the cells of one row to an evaluation.
class CellReader {
public:
    virtual ~CellReader() = default;
    virtual Cell cell(int fieldIndex) const = 0;
};
}  // namespace detail

class PLATFORM_DATASET_EXPORT FilterExpression {
public:
    explicit FilterExpression(const QString& text);  // throws FilterError
    ~FilterExpression();
    FilterExpression(FilterExpression&&) noexcept;
    FilterExpression& operator=(FilterExpression&&) noexcept;

    const QString& text() const { return text_; }

    // Resolves the field names against `defs`; may be called again for other fields.
    void bind(const FieldDefs& defs);
    bool isBound() const { return bound_; }

    // Whether the row passes. Requires bind().
    bool matches(const detail::CellReader& row) const;

    struct Node;

private:
    QString text_;
    std::unique_ptr<Node> root_;
    bool bound_ = false;
};

}  // namespace platform
