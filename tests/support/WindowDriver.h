// Driving the program's windows in tests as a person would: the main
// window over a temporary data folder with a scripted operator, its
// controls found by name, menu items triggered by caption and the next
// modal dialog handled while it is open. (Header only: the core tests,
// which share this folder's library, do not link Qt.)
#pragma once

#include <QApplication>
#include <QDialog>
#include <QMenu>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <functional>
#include <memory>

#include "support/TestSupport.h"
#include "ui/MainWindow.h"

namespace zentavo::test {

template <typename T>
T* Find(QObject* root, const char* name) {
  T* found = root->findChild<T*>(QString::fromLatin1(name));
  if (!found) qFatal("no control named %s", name);
  return found;
}

// One program run over a folder: state, scripted operator, window.
struct Run {
  explicit Run(const std::filesystem::path& dir) {
    state.folder = DataFolder(dir, "zentavo");
    window = std::make_unique<ui::MainWindow>(state);
    window->setOperator(&op);
    window->startUp();
    window->show();
  }
  ~Run() { window->shutDown(); }
  template <typename T>
  T* Get(const char* name) {
    return Find<T>(window.get(), name);
  }

  AppState state;
  ScriptedOperator op;
  std::unique_ptr<ui::MainWindow> window;
};

inline void Click(QTableView* view, int row, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
  const QPoint at = view->visualRect(view->model()->index(row, 0)).center();
  QTest::mouseClick(view->viewport(), Qt::LeftButton, modifiers, at);
}

// The item `item` of the pop-up menu of `owner`.
inline void Trigger(QWidget* owner, const QString& item) {
  for (QAction* action : owner->findChild<QMenu*>()->actions())
    if (action->text() == item) return action->trigger();
  qFatal("no menu item");
}

// Column 0 of a view's rows, without the empty rows at the end.
inline QStringList Column0(QAbstractItemModel* model) {
  QStringList cells;
  for (int r = 0; r < model->rowCount(); ++r) cells << model->index(r, 0).data().toString();
  while (!cells.isEmpty() && cells.last().isEmpty()) cells.removeLast();
  return cells;
}

// Runs `act` on the next modal dialog once it is open.
inline void WithDialog(std::function<void(QDialog*)> act) {
  QTimer::singleShot(0, [act] { act(qobject_cast<QDialog*>(QApplication::activeModalWidget())); });
}

}  // namespace zentavo::test
