// Small helpers for building the windows: every control gets its design
// name as object name and its caption (or its box label's text) as
// accessible name, so screen readers and tests find it.
#pragma once

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QString>
#include <QWidget>

namespace zentavo::ui {

template <typename W>
W* Named(W* widget, const char* objectName, const QString& accessibleName) {
  widget->setObjectName(QString::fromLatin1(objectName));
  widget->setAccessibleName(accessibleName);
  return widget;
}

inline QPushButton* Button(const char* objectName, const QString& caption, QWidget* parent = nullptr) {
  return Named(new QPushButton(caption, parent), objectName, caption.trimmed());
}

inline QCheckBox* Check(const char* objectName, const QString& caption, QWidget* parent = nullptr) {
  return Named(new QCheckBox(caption, parent), objectName, caption);
}

inline QGroupBox* Box(const char* objectName, const QString& title, QWidget* parent = nullptr) {
  return Named(new QGroupBox(title, parent), objectName, title);
}

// The fixed one-line text at the bottom of a page.
QLabel* StatusLine(const QString& text, QWidget* parent = nullptr);

// A header panel such as "各種設定" at the top of a page.
QLabel* HeaderPanel(const char* objectName, const QString& text, QWidget* parent = nullptr);

}  // namespace zentavo::ui
