// "システム設定": servers, account and sign-in, sender, signature, program
// label, start-up screen, split sending and the mail identifier, and
// "接続確認", which tries the servers with what is typed here.
#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <functional>
#include <memory>
#include <vector>

#include "base/Steps.h"
#include "net/Pop3Transport.h"
#include "net/SmtpTransport.h"
#include "ui/Tab.h"

namespace zentavo::ui {

class SignInBox;

class SystemTab : public Tab {
  Q_OBJECT
 public:
  SystemTab(WindowContext& context, QWidget* parent = nullptr);
  ~SystemTab() override;
  void refresh();
  // The first start, with no server set: what to fill in, above the boxes.
  void showFirstStartHint();
  // Tests put fake servers and a runner of their own in place of the real
  // ones (nullptr: the real one).
  void setBackends(std::shared_ptr<SmtpTransport> smtp, std::shared_ptr<Pop3Transport> pop3, StepRunner* runner);
  // The program is ending: a check under way is waited for.
  void finishRun();

 signals:
  void labelApplied();     // "反映" beside the program label
  void sendPageChanged();  // the identifier applied, or split sending switched

 private slots:
  void onCheckConnectionsClicked();
  void onLabelApplied();
  void onIdentifierApplied();

 private:
  // One line box bound to a text of the state.
  struct TextField {
    QLineEdit* edit;
    std::string& (*field)(AppState&);
    QString caption;
  };
  QLineEdit* AddField(const char* objectName, const QString& caption, std::string& (*field)(AppState&),
                      QWidget* parent);
  struct ApplyBox {
    QString title, caption;
    bool labelled;  // the caption stands before the box too
    const char* fieldName;
    std::string& (*field)(AppState&);
    const char* buttonName;
    void (SystemTab::*apply)();
  };
  QWidget* BuildApplyBox(QWidget* page, const ApplyBox& wanted);
  QWidget* BuildServerBox(QWidget* page);
  QWidget* BuildUserBox(QWidget* page);
  QWidget* BuildHeaderBox(QWidget* page);
  QWidget* BuildSignatureBox(QWidget* page);
  QWidget* BuildStartupBox(QWidget* page);
  QWidget* BuildSplitBox(QWidget* page);
  QWidget* BuildInfoBox(QWidget* page);
  void showSplit();

  std::vector<TextField> fields_;
  QComboBox* smtpSecurityCombo_;
  QComboBox* popSecurityCombo_;
  QPushButton* checkButton_;
  QLineEdit* userEdit_;
  QPlainTextEdit* signatureEdit_;
  SignInBox* signInBox_;
  QRadioButton* startupShowRadio_;
  QRadioButton* startupHideRadio_;
  QCheckBox* splitCheck_;
  QSpinBox* splitSizeSpin_;
  QLabel* splitUnitLabel_;
  QCheckBox* confirmSplitCheck_;
  QLabel* firstStartHint_;

  bool checking_ = false;
  std::shared_ptr<SmtpTransport> realSmtp_, smtp_;
  std::shared_ptr<Pop3Transport> realPop3_, pop3_;
  std::unique_ptr<StepRunner> workerRunner_;
  StepRunner* runner_ = nullptr;
};

}  // namespace zentavo::ui
