// The sign-in part of "ユーザ設定": "認証方式" (the password, or OAuth 2.0 at
// Microsoft 365, Google or endpoints typed by hand), the fields each
// provider needs, and "サインイン" / "サインアウト". The provider's own
// endpoints and scopes are shown as they will be used; only "手動設定"
// takes them as typed.
#pragma once

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <memory>
#include <vector>

#include "base/Steps.h"
#include "ui/Tab.h"

namespace zentavo {
class Browser;
class TokenStore;
}  // namespace zentavo

namespace zentavo::ui {

class SignInBox : public Tab {
  Q_OBJECT
 public:
  // `password` is the password box, which a sign-in has no use for.
  SignInBox(WindowContext& context, QLineEdit* password, QWidget* parent = nullptr);
  ~SignInBox() override;
  void refresh();
  // The account or the sign-in settings changed: the sessions' tokens follow.
  void settingsChanged();
  void setRunner(StepRunner* runner) { runner_ = runner; }
  // Tests sign in without the user's keyring or browser.
  void setSignInBackends(std::shared_ptr<TokenStore> store, std::shared_ptr<Browser> browser);

 private slots:
  void onMethodChanged(int index);
  void onSignInClicked();
  void onSignOutClicked();

 private:
  struct Field {
    QLineEdit* edit;
    std::string OAuthSettings::*value;
    QString caption;
  };
  void showFields();

  QLineEdit* password_;
  QComboBox* methodCombo_;
  std::vector<Field> fields_;
  QPushButton* signInButton_;
  QPushButton* signOutButton_;
  QLabel* status_;
  StepRunner* runner_ = nullptr;
  bool running_ = false;
  std::shared_ptr<TokenStore> store_;
  std::shared_ptr<Browser> browser_;
};

}  // namespace zentavo::ui
