#include "ui/Widgets.h"

#include <QGridLayout>
#include <QHeaderView>
#include <QPainter>

#include "ui/Colours.h"
#include "ui/QtText.h"

namespace zentavo::ui {

QIcon ProgramIcon() {
  QPixmap pixmap(32, 32);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  p.setBrush(kSkyBlue);
  p.setPen(QPen(kNavy, 2));
  p.drawRoundedRect(2, 2, 28, 28, 6, 6);
  p.setPen(kNavy);
  QFont f = p.font();
  f.setBold(true);
  f.setPixelSize(20);
  p.setFont(f);
  p.drawText(QRect(0, 0, 32, 32), Qt::AlignCenter, QStringLiteral("Z"));
  return QIcon(pixmap);
}

NameListBox BuildNameListBox(const QString& title, const QString& item, const std::string& kind, QWidget* parent) {
  // The names live to the end of each full expression, long enough for
  // the object name to be copied.
  std::string capitalised = kind;
  capitalised[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(capitalised[0])));
  NameListBox b;
  b.box = Box(title, parent);
  auto* l = new QGridLayout(b.box);
  const QString nameLabel = item + QStringLiteral("名");
  b.nameEdit = LineEdit((kind + "NameEdit").c_str(), QStringLiteral("追加する") + nameLabel, b.box);
  b.addButton = Button(("add" + capitalised + "Button").c_str(), QStringLiteral("追加"), b.box);
  b.list = NameList((kind + "List").c_str(), title, b.box);
  b.upButton = Button((kind + "UpButton").c_str(), QStringLiteral("▲"), b.box);
  b.downButton = Button((kind + "DownButton").c_str(), QStringLiteral("▼"), b.box);
  b.addButton->setAccessibleName(item + QStringLiteral("を追加"));
  b.upButton->setAccessibleName(item + QStringLiteral("を上へ"));
  b.downButton->setAccessibleName(item + QStringLiteral("を下へ"));
  l->addWidget(new QLabel(nameLabel, b.box), 0, 0);
  l->addWidget(b.nameEdit, 0, 1);
  l->addWidget(b.addButton, 0, 2);
  l->addWidget(b.list, 1, 0, 3, 2);
  l->addWidget(b.upButton, 1, 2);
  l->addWidget(b.downButton, 2, 2);
  l->setRowStretch(3, 1);
  return b;
}

QListWidget* NameList(const char* objectName, const QString& label, QWidget* parent, bool multi) {
  auto* list = Named(new QListWidget(parent), objectName, label);
  list->setSelectionMode(multi ? QAbstractItemView::ExtendedSelection : QAbstractItemView::SingleSelection);
  return list;
}

QTableView* GridView(const char* objectName, const QString& label, QAbstractItemModel* model, QWidget* parent) {
  auto* view = Named(new QTableView(parent), objectName, label);
  view->setModel(model);
  view->setSelectionBehavior(QAbstractItemView::SelectRows);
  view->setSelectionMode(QAbstractItemView::ExtendedSelection);
  view->setEditTriggers(QAbstractItemView::NoEditTriggers);
  view->verticalHeader()->setDefaultSectionSize(20);
  view->verticalHeader()->setVisible(false);
  view->horizontalHeader()->setStretchLastSection(true);
  return view;
}

QMenu* PopupMenu(const QString& title, QWidget* owner) {
  auto* menu = new QMenu(owner);
  menu->addAction(title);
  menu->addSeparator();
  owner->setContextMenuPolicy(Qt::CustomContextMenu);
  QObject::connect(owner, &QWidget::customContextMenuRequested, menu, [menu, owner](const QPoint& at) {
    QPoint global = owner->mapToGlobal(at);
    if (auto* view = qobject_cast<QAbstractScrollArea*>(owner)) global = view->viewport()->mapToGlobal(at);
    menu->popup(global);
  });
  return menu;
}

void ModalDialog(QDialog* dialog, const char* objectName, const QString& title) {
  dialog->setObjectName(QString::fromLatin1(objectName));
  dialog->setWindowTitle(title);
  dialog->setModal(true);
}

void ProgressWindowLook(QDialog* window, const char* objectName) {
  window->setObjectName(QString::fromLatin1(objectName));
  window->setModal(false);
  window->setAutoFillBackground(true);
  QPalette pal = window->palette();
  pal.setColor(QPalette::Window, kSilver);
  window->setPalette(pal);
}

QLabel* SunkenPanel(const char* objectName, const QString& text, QWidget* parent, int minimumHeight) {
  auto* label = Named(new QLabel(text, parent), objectName, text);
  label->setFrameShape(QFrame::Panel);
  label->setFrameShadow(QFrame::Sunken);
  label->setMinimumHeight(minimumHeight);
  return label;
}

QLabel* StatusLine(const QString& text, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  label->setAccessibleName(text);
  label->setFrameShape(QFrame::Panel);
  label->setFrameShadow(QFrame::Sunken);
  label->setWordWrap(true);
  label->setStyleSheet(QStringLiteral("QLabel { background: %1; padding: 2px; }").arg(kLightGrey.name()));
  return label;
}

QLabel* HeaderPanel(const char* objectName, const QString& text, QWidget* parent) {
  auto* label = Named(new QLabel(text, parent), objectName, text);
  label->setAlignment(Qt::AlignCenter);
  label->setFixedHeight(26);
  label->setStyleSheet(QStringLiteral("QLabel { background: %1; color: %2; font-weight: bold; font-size: 15px; }")
                           .arg(kDarkBlue.name(), kWhite.name()));
  return label;
}

void FillChoices(QComboBox* combo, const QStringList& names, const std::string& chosen) {
  const QSignalBlocker block(combo);
  combo->clear();
  combo->addItems(names);
  combo->setCurrentIndex(chosen.empty() ? -1 : static_cast<int>(names.indexOf(ToQ(chosen))));
}

std::set<int> SelectedItems(const QListWidget* list) {
  std::set<int> rows;
  for (int i = 0; i < list->count(); ++i)
    if (list->item(i)->isSelected()) rows.insert(i);
  return rows;
}

std::set<int> SelectedGridRows(const QTableView* view) {
  std::set<int> rows;
  for (const auto& index : view->selectionModel()->selectedRows()) rows.insert(index.row() + 1);
  if (rows.empty()) rows.insert((view->currentIndex().isValid() ? view->currentIndex().row() : 0) + 1);
  return rows;
}

}  // namespace zentavo::ui
