#pragma once
// SearchDialog: the modal search list of Pesquisa. A filter line above a list of the
// dataset's visible fields; used by keyboard alone: typing filters, the arrow and page
// keys move in the list, Enter chooses, Esc gives up. A double click chooses too.
//
// Owns its model; reads the dataset, never moves it (the caller makes the chosen row
// current). The terminal's colours, when usable, paint the column titles and the
// highlighted row.

#include "PossvcExport.h"
#include "host/possvc/screen/ScreenColours.h"

#include <QDialog>

class QLabel;
class QLineEdit;
class QTableView;

namespace platform {
class ClientDataSet;
}

namespace possvc::sim {

class SearchModel;

struct SearchColours {
    ColourPair title;      // the column titles
    ColourPair highlight;  // the current row
};

class POSSVC_EXPORT SearchDialog : public QDialog {
    Q_OBJECT
public:
    SearchDialog(platform::ClientDataSet* dataSet, const SearchColours& colours, QWidget* parent = nullptr);

    // The dataset row (0-based) chosen, or -1 while none is (or after giving up).
    int chosenRow() const { return chosen_; }

    QLineEdit* filterEdit() const { return edit_; }
    QTableView* view() const { return view_; }
    SearchModel* model() const { return model_; }

    void accept() override;
    // Closing ends the model's work on the dataset: the caller may move or edit it next.
    void done(int result) override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void filterChanged(const QString& text);
    void selectModelRow(int row);
    void updateCount();
    void applyColours(const SearchColours& colours);
    void fitWidth();

    SearchModel* model_;
    QLineEdit* edit_;
    QTableView* view_;
    QLabel* count_;
    int chosen_ = -1;
};

}  // namespace possvc::sim
