// The windows around the send run: the progress window, "分割送信" (the split
// confirmation) and "未送信" (recipients without an address).
#pragma once

#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>

#include "send/SplitSend.h"

namespace zentavo::ui {

// TForm5: borderless, silver, one panel with the progress text.
class SendProgressWindow : public QDialog {
  Q_OBJECT
 public:
  explicit SendProgressWindow(QWidget* parent = nullptr);
  QLabel* Panel1 = nullptr;
};

// TForm11 "分割送信". Accepted for "送信実行"; "キャンセル" and any other way
// of closing reject.
class SplitConfirmWindow : public QDialog {
  Q_OBJECT
 public:
  explicit SplitConfirmWindow(const SplitVerdict& verdict, QWidget* parent = nullptr);
  QLabel* Panel1 = nullptr;             // the verdict
  QPushButton* SpeedButton1 = nullptr;  // "送信実行"
  QPushButton* SpeedButton2 = nullptr;  // "キャンセル"
};

// TForm6 "未送信": the first 99 recipients without an address.
class UnregisteredWindow : public QDialog {
  Q_OBJECT
 public:
  explicit UnregisteredWindow(const std::vector<UnregisteredRow>& rows, QWidget* parent = nullptr);
  QTableWidget* StringGrid1 = nullptr;
  QPushButton* SpeedButton1 = nullptr;  // "閉じる"
};

}  // namespace zentavo::ui
