// "履歴登録": records a reply that came without MailNo in a notice's
// recipient log chosen by hand. The window only offers the history keys and
// hands the chosen one to the registration, which shows its own messages;
// it stays open after each registration until "閉じる".
#pragma once

#include <QComboBox>
#include <QDialog>
#include <functional>
#include <string>
#include <vector>

namespace zentavo::ui {

class ManualRegistrationWindow : public QDialog {
  Q_OBJECT
 public:
  // `keys`: the history keys, newest first (Shift_JIS), the first chosen.
  // `registerReply` runs the registration for the chosen key.
  ManualRegistrationWindow(std::vector<std::string> keys, std::function<void(const std::string&)> registerReply,
                           QWidget* parent = nullptr);

 private slots:
  void onRegisterClicked();

 private:
  std::vector<std::string> keys_;
  std::function<void(const std::string&)> registerReply_;
  QComboBox* historyCombo_;
};

}  // namespace zentavo::ui
