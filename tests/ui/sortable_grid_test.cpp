// A header click on a sortable view sorts the core grid and marks the column.
#include <QTest>
#include <QtWidgets>

#include "support/TestSupport.h"
#include "ui/SortableGrid.h"
#include "ui/Widgets.h"

using namespace zentavo;

class SortableGridTest : public QObject {
  Q_OBJECT
 private slots:
  void headerClicksSortTheGridAndTheArrowOutlivesARefill() {
    Grid grid(2, 4);
    grid.SetHeader({test::S("番号"), test::S("件名")});
    for (int r = 1; r <= 3; ++r) grid.Cell(0, r) = "00" + std::to_string(r);
    ui::GridModel model(grid);
    std::unique_ptr<QTableView> view(ui::GridView("receivedList", QStringLiteral("受信一覧"), &model, nullptr));
    ui::MakeSortable(view.get(), &model);
    view->show();
    QHeaderView* header = view->horizontalHeader();
    const QPoint number(header->sectionViewportPosition(0) + 5, header->height() / 2);
    for (const auto& [order, first] : {std::pair{Qt::DescendingOrder, "003"}, {Qt::AscendingOrder, "001"}}) {
      QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, number);
      QCOMPARE(grid.Cell(0, 1), std::string(first));
      model.reload();
      QCOMPARE(header->sortIndicatorSection(), 0);
      QCOMPARE(header->sortIndicatorOrder(), order);
    }
  }
};

QTEST_MAIN(SortableGridTest)
#include "sortable_grid_test.moc"
