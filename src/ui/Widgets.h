// Small helpers for building the windows. Every control that a handler or a
// test needs gets an object name saying what it holds or does
// ("smtpHostEdit", "sendButton"), and its caption (or its label's text) as
// accessible name, so screen readers and tests find it.
#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QString>
#include <QTableView>
#include <QWidget>
#include <set>
#include <string>

namespace zentavo::ui {

template <typename W>
W* Named(W* widget, const char* objectName, const QString& accessibleName) {
  widget->setObjectName(QString::fromLatin1(objectName));
  widget->setAccessibleName(accessibleName);
  return widget;
}

inline QPushButton* Button(const char* objectName, const QString& caption, QWidget* parent) {
  return Named(new QPushButton(caption, parent), objectName, caption.trimmed());
}

inline QCheckBox* Check(const char* objectName, const QString& caption, QWidget* parent) {
  return Named(new QCheckBox(caption, parent), objectName, caption);
}

inline QLineEdit* LineEdit(const char* objectName, const QString& label, QWidget* parent) {
  return Named(new QLineEdit(parent), objectName, label);
}

// A box that shows a value the operator does not type.
inline QLineEdit* ReadOnlyEdit(const char* objectName, const QString& label, QWidget* parent, int width = 0) {
  QLineEdit* edit = LineEdit(objectName, label, parent);
  edit->setReadOnly(true);
  if (width > 0) edit->setFixedWidth(width);
  return edit;
}

inline QGroupBox* Box(const QString& title, QWidget* parent) { return new QGroupBox(title, parent); }

// The program's icon, drawn rather than shipped as a file.
QIcon ProgramIcon();

// The box that keeps an ordered list of names (groups, templates): a name
// box with "追加", the list, and the arrows that move a name up and down.
// `item` is what the list holds ("グループ"): the name box is labelled
// `item` + "名", and the controls' accessible names say what they do with
// one ("グループを追加"). `kind` prefixes the controls' object names
// ("group": groupNameEdit, addGroupButton, groupList, groupUpButton,
// groupDownButton).
struct NameListBox {
  QGroupBox* box;
  QLineEdit* nameEdit;
  QPushButton* addButton;
  QListWidget* list;
  QPushButton* upButton;
  QPushButton* downButton;
};
NameListBox BuildNameListBox(const QString& title, const QString& item, const std::string& kind, QWidget* parent);

// A list of names; several are chosen with shift (a range) and control (one
// more each).
QListWidget* NameList(const char* objectName, const QString& label, QWidget* parent, bool multi = true);

// A grid view over a GridModel: whole rows selected, no row numbers.
QTableView* GridView(const char* objectName, const QString& label, QAbstractItemModel* model, QWidget* parent);

// A pop-up menu on `owner` opened by the right button: its title item (which
// does nothing), a separator, then the items the caller adds.
QMenu* PopupMenu(const QString& title, QWidget* owner);

// A dialog made for one use and shown modally: its object name and title.
void ModalDialog(QDialog* dialog, const char* objectName, const QString& title);

// A progress window: borderless, not modal, on the silver of the windows.
void ProgressWindowLook(QDialog* window, const char* objectName);

// A sunken panel holding one line of text.
QLabel* SunkenPanel(const char* objectName, const QString& text, QWidget* parent, int minimumHeight);

// The fixed one-line text at the bottom of a page.
QLabel* StatusLine(const QString& text, QWidget* parent);

// A header panel such as "各種設定" at the top of a page.
QLabel* HeaderPanel(const char* objectName, const QString& text, QWidget* parent);

// Refills a drop-down with `names` and shows `chosen` (Shift_JIS; nothing
// when it is empty or no longer listed), without reporting a choice.
void FillChoices(QComboBox* combo, const QStringList& names, const std::string& chosen);

// The selected items of a list, by index.
std::set<int> SelectedItems(const QListWidget* list);

// The grid rows (header = row 0) of the rows selected in a grid view; the
// current row when nothing is selected, since a grid always has one.
std::set<int> SelectedGridRows(const QTableView* view);

}  // namespace zentavo::ui
