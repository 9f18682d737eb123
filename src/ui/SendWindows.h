// The windows around the send run: the progress window, "分割送信" (the split
// confirmation) and "未送信" (recipients without an address).
#pragma once

#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>

#include "send/SplitSend.h"

namespace zentavo::ui {

// Borderless, silver, one panel with the progress text.
class SendProgressWindow : public QDialog {
  Q_OBJECT
 public:
  explicit SendProgressWindow(QWidget* parent = nullptr);
  void setProgress(const QString& text) { progressText_->setText(text); }

 private:
  QLabel* progressText_;
};

// "分割送信". Accepted for "送信実行"; "キャンセル" and any other way of
// closing reject.
class SplitConfirmWindow : public QDialog {
  Q_OBJECT
 public:
  explicit SplitConfirmWindow(const SplitVerdict& verdict, QWidget* parent = nullptr);
};

// "未送信": the first 99 recipients without an address.
class UnregisteredWindow : public QDialog {
  Q_OBJECT
 public:
  explicit UnregisteredWindow(const std::vector<UnregisteredRow>& rows, QWidget* parent = nullptr);
};

}  // namespace zentavo::ui
