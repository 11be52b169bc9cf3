#include "host/possvc/screen/SearchDialog.h"

#include "host/possvc/screen/SearchModel.h"
#include "platform/dataset/ClientDataSet.h"

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QScreen>
#include <QTableView>
#include <QVBoxLayout>

namespace possvc::sim {

namespace {

bool isNavigationKey(int key)
{
    switch (key) {
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
        return true;
    default:
        return false;
    }
}

}  // namespace

SearchDialog::SearchDialog(platform::ClientDataSet* dataSet, const SearchColours& colours, QWidget* parent)
    : QDialog(parent), model_(new SearchModel(dataSet, this)), edit_(new QLineEdit(this)),
      view_(new QTableView(this)), count_(new QLabel(this))
{
    setObjectName(QStringLiteral("dlgPesquisa"));
    setWindowTitle(QStringLiteral("Pesquisa"));
    setModal(true);

    edit_->setObjectName(QStringLiteral("edtPesquisa"));
    edit_->setPlaceholderText(QStringLiteral("Digite para pesquisar"));
    edit_->setClearButtonEnabled(true);
    edit_->installEventFilter(this);

    view_->setObjectName(QStringLiteral("grdPesquisa"));
    // Fixed row heights, set before the model comes: set after, the header would resize
    // each of a million rows in turn. Fixed column widths too: the view never measures rows.
    view_->verticalHeader()->hide();
    view_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    view_->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    view_->setModel(model_);
    view_->setSelectionBehavior(QAbstractItemView::SelectRows);
    view_->setSelectionMode(QAbstractItemView::SingleSelection);
    view_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view_->setTabKeyNavigation(false);
    view_->setWordWrap(false);
    view_->setShowGrid(false);
    view_->setAlternatingRowColors(true);
    view_->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    view_->horizontalHeader()->setStretchLastSection(true);
    view_->horizontalHeader()->setHighlightSections(false);
    view_->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    const int charWidth = fontMetrics().averageCharWidth();
    for (int c = 0; c < model_->columnCount(); ++c)
        view_->setColumnWidth(c, model_->columnChars(c) * charWidth + 12);
    view_->installEventFilter(this);
    connect(view_, &QTableView::doubleClicked, this, [this](const QModelIndex& index) {
        selectModelRow(index.row());
        accept();
    });

    count_->setObjectName(QStringLiteral("lblPesquisaContagem"));
    auto* hint = new QLabel(QStringLiteral("↑ ↓ escolhem a linha · Enter confirma · Esc desiste"), this);
    hint->setEnabled(false);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(edit_);
    layout->addWidget(view_, 1);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(hint, 1);
    bottom->addWidget(count_);
    layout->addLayout(bottom);

    applyColours(colours);
    connect(edit_, &QLineEdit::textChanged, this, &SearchDialog::filterChanged);

    const int start = model_->modelRow(dataSet && dataSet->active() ? dataSet->currentRow() : -1);
    selectModelRow(start >= 0 ? start : 0);
    updateCount();
    fitWidth();
    edit_->setFocus();
}

void SearchDialog::applyColours(const SearchColours& colours)
{
    if (colours.title.background) {
        view_->horizontalHeader()->setStyleSheet(
            QStringLiteral("QHeaderView::section { background-color: %1; color: %2; font-weight: bold; "
                           "border: none; padding: 3px; }")
                .arg(colours.title.background->name(), colours.title.text->name()));
    }
    if (colours.highlight.background) {
        QPalette p = view_->palette();
        for (auto group : {QPalette::Active, QPalette::Inactive}) {
            p.setColor(group, QPalette::Highlight, *colours.highlight.background);
            p.setColor(group, QPalette::HighlightedText, *colours.highlight.text);
        }
        view_->setPalette(p);
    }
}

void SearchDialog::fitWidth()
{
    int width = 0;
    for (int c = 0; c < model_->columnCount(); ++c)
        width += view_->columnWidth(c);
    width += 40;  // frame, margins and the vertical scroll bar
    QRect available(0, 0, 1024, 768);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        available = screen->availableGeometry();
    resize(qBound(360, width, available.width() * 9 / 10),
           qMin(view_->verticalHeader()->defaultSectionSize() * 18 + 120, available.height() * 9 / 10));
}

void SearchDialog::filterChanged(const QString& text)
{
    const int before = model_->dataSetRow(view_->currentIndex().row());
    model_->setFilterText(text);
    const int kept = model_->modelRow(before);
    selectModelRow(kept >= 0 ? kept : 0);
    updateCount();
}

void SearchDialog::selectModelRow(int row)
{
    if (row < 0 || row >= model_->rowCount()) {
        view_->clearSelection();
        view_->setCurrentIndex(QModelIndex());
        return;
    }
    const QModelIndex index = model_->index(row, 0);
    view_->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    view_->scrollTo(index);
}

void SearchDialog::updateCount()
{
    count_->setText(QStringLiteral("%1 de %2").arg(model_->rowCount()).arg(model_->totalRows()));
}

void SearchDialog::accept()
{
    const int row = model_->dataSetRow(view_->currentIndex().row());
    if (row < 0)
        return;  // nothing to choose: the list stays open until Esc
    chosen_ = row;
    QDialog::accept();
}

void SearchDialog::done(int result)
{
    model_->stopPreparing();
    QDialog::done(result);
}

bool SearchDialog::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress)
        return QDialog::eventFilter(watched, event);
    auto* key = static_cast<QKeyEvent*>(event);
    switch (key->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        accept();
        return true;
    case Qt::Key_Escape:
        reject();
        return true;
    default:
        break;
    }
    if (watched == edit_ && (isNavigationKey(key->key()) ||
                             ((key->key() == Qt::Key_Home || key->key() == Qt::Key_End) &&
                              key->modifiers().testFlag(Qt::ControlModifier)))) {
        // The list moves while the typing stays in the filter line.
        QApplication::sendEvent(view_, event);
        return true;
    }
    if (watched == view_ && !key->text().isEmpty() && key->text().at(0).isPrint()) {
        edit_->setFocus();
        QApplication::sendEvent(edit_, event);
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

}  // namespace possvc::sim
