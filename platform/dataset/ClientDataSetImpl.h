#pragma once
// The private state of ClientDataSet, shared by its implementation files
// (ClientDataSet.cpp: lifecycle and navigation; ClientDataSetEdit.cpp: editing;
// ClientDataSetSearch.cpp: locate and filter; ClientDataSetPackets.cpp: packets; Field.cpp).

#include "platform/dataset/ClientDataSet.h"
#include "platform/dataset/FilterExpression.h"
#include "platform/dataset/RowStore.h"

#include <memory>
#include <optional>
#include <vector>

namespace platform {

struct ClientDataSet::Impl {
    explicit Impl(ClientDataSet* owner) : q(owner) {}

    ClientDataSet* q;
    FieldDefs defs;
    std::vector<std::unique_ptr<Field>> fields;  // grows only, so Field references stay valid
    QList<PacketParam> params;                   // kept from the loaded packet
    PacketFormat sourceFormat = PacketFormat::Binary;

    bool active = false;
    DataSetState state = DataSetState::Inactive;
    detail::RowStore store;
    std::vector<quint32> order;     // every row, in table order (physical ids)
    std::vector<quint32> filtered;  // the rows passing the filter, in table order
    int cur = -1;                   // index into view(); -1 when the view is empty
    bool bof = true, eof = true;

    // Editing: the current row's values while in Edit or Insert state.
    QVariantList buffer;
    bool modified = false;

    // Filter.
    QString filterText;
    std::unique_ptr<FilterExpression> filterExpr;
    bool filterOn = false;

    int disableCount = 0;
    bool pendingReset = false;

    // --- view -----------------------------------------------------------------
    bool filterActive() const { return filterOn && filterExpr != nullptr; }
    const std::vector<quint32>& view() const { return filterActive() ? filtered : order; }
    int viewSize() const { return int(view().size()); }
    bool rowPasses(quint32 id) const;
    void rebuildView();
    void refreshView();  // after the filter changed: rebuild, first row, reset
    // The first visible row whose key fields match `values`, or -1.
    int findRow(const std::vector<int>& keyFields, const QVariant& values, const LocateOptions& options) const;
    std::optional<quint32> currentId() const;
    QVariant cellValue(int visibleRow, int field) const;  // reads the edit buffer for the current row

    // --- checks ---------------------------------------------------------------
    void checkActive() const;
    void checkField(int index) const;
    void checkEditing() const;
    int fieldIndexOf(const QString& name) const;  // -1 when absent
    std::vector<int> keyFieldIndexes(const QString& keyFields) const;

    // --- state and movement ---------------------------------------------------
    void setState(DataSetState s);
    void dropCursor(DataSetState s);  // no rows in view any more: order, filter, position; views reset
    void moveTo(int row);           // sets cur, emits the row-change signals when it moved
    void checkBrowseMode();         // posts a modified edit, cancels an unmodified one
    void activate();                // after the rows are in place: view, first row, signals
    void ensureFields();
    void removeFromOrder(quint32 id);
    void beginInsert(bool atEnd);
    void dropFromView(int row);
    void afterRowGone(int row, bool endMeansEof);
    void compactIfWasteful();

    // --- notifications (suppressed for views while controls are disabled) ------
    bool viewsEnabled() const { return disableCount == 0; }
    template <typename... Args>
    void notify(void (ClientDataSet::*signal)(Args...), Args... args);
    void notifyReset();
    void notifyRowInserted(int row);
    void notifyRowRemoved(int row);
    void notifyRowChanged(int row);
    void notifyCurrentRow();
    void notifyFieldChanged(int field);
};

}  // namespace platform
