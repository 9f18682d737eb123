// What every page of the main window shares: the application state, the
// operator the core talks to (message boxes, or a test's script), and the
// binding of text boxes to the state's Shift_JIS fields.
#pragma once

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QWidget>
#include <string>
#include <vector>

#include "base/Operator.h"
#include "program/AppState.h"

namespace zentavo::ui {

struct WindowContext {
  AppState& state;
  Operator* op;
};

class Tab : public QWidget {
  Q_OBJECT
 public:
  Tab(WindowContext& context, const char* objectName, const QString& caption, QWidget* parent = nullptr);

 protected:
  AppState& state() { return context_.state; }
  Operator& op() { return *context_.op; }
  WindowContext& context() { return context_; }

  // Keeps `field` equal to what the box shows. Characters that Shift_JIS or
  // mail cannot carry are taken out of the box again and reported as coming
  // from `where`.
  void Bind(QLineEdit* edit, std::string& field, const QString& where);
  void Bind(QPlainTextEdit* memo, std::vector<std::string>& lines, const QString& where);
  // Shows a value without it being written back as an edit.
  void Show(QLineEdit* edit, const std::string& value);
  void Show(QPlainTextEdit* memo, const std::vector<std::string>& lines);
  // The box's text in Shift_JIS, reporting what could not be kept.
  std::string Take(QLineEdit* edit, const QString& where);

 private:
  WindowContext& context_;
  bool showing_ = false;
};

}  // namespace zentavo::ui
