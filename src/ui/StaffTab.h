// "職員リスト": the staff grid, edited in place, with CSV import and export
// and a pop-up menu to insert and delete rows.
#pragma once

#include <QAction>
#include <QTableView>

#include "ui/GridModel.h"
#include "ui/Tab.h"

namespace zentavo::ui {

class StaffTab : public Tab {
  Q_OBJECT
 public:
  StaffTab(WindowContext& context, QWidget* parent = nullptr);
  void refresh();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private slots:
  void onGridDoubleClicked();
  void onInsertRows();
  void onDeleteRows();
  void onImportClicked();
  void onExportClicked();

 private:
  GridModel staffModel_;
  QTableView* staffGrid_;
  QAction* insertRowsAction_;
};

}  // namespace zentavo::ui
