// "送信予約": the booked notices with their results, and the input area in
// which a notice is booked, loaded back for editing or deleted. The window
// is made hidden with the main window and lives as long as it, since its
// list is also the one the scheduler watches; "予約設定" shows it modally,
// and only "閉じる" hides it again.
#pragma once

#include <QCheckBox>
#include <QDateEdit>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTableView>
#include <QTimeEdit>

#include "base/LocalTime.h"
#include "ui/GridModel.h"
#include "ui/Tab.h"

namespace zentavo::ui {

// The window's controls, bound to the editor's state (AppState::reservations).
class ReservationEditorPage : public Tab {
  Q_OBJECT
 public:
  ReservationEditorPage(WindowContext& context, const Clock& clock, QWidget* parent = nullptr);

  void refresh();
  void showSwitch();
  void showClock(const QString& text);

 signals:
  void closeRequested();
  // "予約送信を実行する" was switched here: the send page's box follows.
  void scheduledSendingChanged();

 private slots:
  void onReservationActivated(const QModelIndex& index);
  void onDeleteTriggered();
  void onDateChanged(QDate date);
  void onTimeChanged(QTime time);
  void onAddRecipientsClicked();
  void onRemoveRecipientsClicked();
  void onSwitchToggled(bool on);
  void onRegisterClicked();

 private:
  QWidget* buildHeader();
  QWidget* buildList();
  QLayout* buildResultBar();
  QWidget* buildInputArea();
  QWidget* buildRecipients();
  QLayout* buildButtonBar();
  // The input area and the result line.
  void showInput();

  const Clock& clock_;
  GridModel listModel_;
  GridModel recipientModel_;
  QLabel* clockLabel_;
  QTableView* reservationList_;
  QAction* deleteAction_;
  QLabel* resultLine_;
  QCheckBox* deleteWhenSentCheck_;
  QDateEdit* dateEdit_;
  QTimeEdit* timeEdit_;
  QLineEdit* groupBox_;
  QLineEdit* identifierBox_;
  QLineEdit* mailNoBox_;
  QLineEdit* subjectEdit_;
  QCheckBox* copyToSelfCheck_;
  QCheckBox* appendGroupCheck_;
  QCheckBox* appendNamesCheck_;
  QTableView* recipientGrid_;
  QPlainTextEdit* bodyEdit_;
  QCheckBox* switchCheck_;
};

class ReservationEditorWindow : public QDialog {
  Q_OBJECT
 public:
  // `clock` is the main window's: the one the scheduler and the send page
  // go by.
  ReservationEditorWindow(WindowContext& context, const Clock& clock, QWidget* parent = nullptr);

  // "予約設定": the editor starts from the notice on the send page, at the
  // current moment, and stays open until "閉じる".
  void openFromSendPage();
  void refresh() { page_->refresh(); }
  void showSwitch() { page_->showSwitch(); }
  // The clock tick's "yyyy/MM/dd HH:mm:ss".
  void showClock(const QString& text) { page_->showClock(text); }

 signals:
  void scheduledSendingChanged();

 public slots:
  // Escape and the window manager's close do nothing: "閉じる" is the way.
  void reject() override {}

 private:
  WindowContext& context_;
  const Clock& clock_;
  ReservationEditorPage* page_;
};

}  // namespace zentavo::ui
