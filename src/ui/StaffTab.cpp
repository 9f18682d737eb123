#include "ui/StaffTab.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QVBoxLayout>

#include "store/Staff.h"
#include "ui/Colours.h"
#include "ui/QtText.h"
#include "ui/Widgets.h"

namespace zentavo::ui {

StaffTab::StaffTab(WindowContext& context, QWidget* parent)
    : Tab(context, "staffTab", QStringLiteral("職員リスト"), parent), staffModel_(state().staff.grid) {
  staffModel_.setEditable(true);
  staffModel_.onDropped = [this](const QString& d) { ReportDropped(this, QStringLiteral("職員リスト"), d); };

  auto* l = new QVBoxLayout(this);
  l->setContentsMargins(4, 4, 4, 2);
  auto* notes = new QHBoxLayout;
  auto* noteText = new QVBoxLayout;
  for (const QString& note :
       {QStringLiteral(
            "人事異動等で職員の修正を行う場合は、「CSV出力」したファイルを修正し、「CSV読込」してください。"),
        QStringLiteral("人事異動等で職員の追加・削除があった場合は、「事案別伝達職員」を修正して下さい。")}) {
    auto* label = new QLabel(note, this);
    label->setStyleSheet(QStringLiteral("color: %1;").arg(kDarkRed.name()));
    noteText->addWidget(label);
  }
  notes->addLayout(noteText, 1);
  auto* importButton = Button("importCsvButton", QStringLiteral("CSV読込"), this);
  auto* exportButton = Button("exportCsvButton", QStringLiteral("CSV出力"), this);
  notes->addWidget(importButton);
  notes->addWidget(exportButton);
  l->addLayout(notes);
  staffGrid_ = GridView("staffGrid", QStringLiteral("職員リスト"), &staffModel_, this);
  staffGrid_->setTabKeyNavigation(false);
  staffGrid_->setColumnWidth(0, 180);
  staffGrid_->setColumnWidth(1, 320);
  staffGrid_->installEventFilter(this);
  l->addWidget(staffGrid_, 1);
  l->addWidget(StatusLine(QStringLiteral("職員の追加編集はセルをダブルクリック、削除は右クリック。"
                                         "CSVの入出力は暗号無しで行うので、注意してください。"),
                          this));

  QMenu* menu = PopupMenu(QStringLiteral("<<職員リスト>>"), staffGrid_);
  insertRowsAction_ = menu->addAction(QStringLiteral("行挿入"));
  QAction* deleteRows = menu->addAction(QStringLiteral("行削除"));
  // Rows are inserted only while the list itself is in view.
  connect(menu, &QMenu::aboutToShow, this, [this] { insertRowsAction_->setEnabled(isVisible()); });
  connect(insertRowsAction_, &QAction::triggered, this, &StaffTab::onInsertRows);
  connect(deleteRows, &QAction::triggered, this, &StaffTab::onDeleteRows);
  connect(staffGrid_, &QTableView::doubleClicked, this, &StaffTab::onGridDoubleClicked);
  connect(importButton, &QPushButton::clicked, this, &StaffTab::onImportClicked);
  connect(exportButton, &QPushButton::clicked, this, &StaffTab::onExportClicked);
}

void StaffTab::refresh() { staffModel_.reload(); }

void StaffTab::onGridDoubleClicked() {
  staffGrid_->setSelectionBehavior(QAbstractItemView::SelectItems);
  staffGrid_->setTabKeyNavigation(true);
  staffGrid_->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                              QAbstractItemView::AnyKeyPressed);
  if (staffGrid_->currentIndex().isValid()) staffGrid_->edit(staffGrid_->currentIndex());
}

bool StaffTab::eventFilter(QObject* watched, QEvent* event) {
  // Enter leaves the editing mode a double-click began. (While a cell is
  // being edited its editor has the keys, not the grid.)
  if (watched == staffGrid_ && event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
      staffGrid_->setEditTriggers(QAbstractItemView::NoEditTriggers);
      staffGrid_->setTabKeyNavigation(false);
      staffGrid_->setSelectionBehavior(QAbstractItemView::SelectRows);
      return true;
    }
  }
  return Tab::eventFilter(watched, event);
}

void StaffTab::onInsertRows() {
  if (!isVisible()) return;
  const std::set<int> rows = SelectedGridRows(staffGrid_);
  // As many empty rows as are selected, above the first of them.
  InsertGridRows(state().staff.grid, *rows.begin(), static_cast<int>(rows.size()));
  staffModel_.reload();
}

void StaffTab::onDeleteRows() {
  if (!isVisible()) return;
  DeleteSelectedRows(state().staff.grid, SelectedGridRows(staffGrid_));
  staffModel_.reload();
  staffGrid_->clearSelection();
}

void StaffTab::onImportClicked() {
  ImportStaffCsv(state().staff, op());
  staffModel_.reload();
}

void StaffTab::onExportClicked() { ExportStaffCsv(state().staff, op()); }

}  // namespace zentavo::ui
