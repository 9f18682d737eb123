// "システム設定": servers, account, sender, signature, program label,
// start-up screen, split sending and the mail identifier.
#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QSpinBox>

#include "ui/Tab.h"

namespace zentavo::ui {

class SystemTab : public Tab {
  Q_OBJECT
 public:
  SystemTab(WindowContext& context, QWidget* parent = nullptr);
  void refresh();

 signals:
  void labelApplied();       // "反映" beside the program label
  void sendPageChanged();    // the identifier applied, or split sending switched

 private slots:
  void onSplitClicked();

 private:
  void showSplit();

  QLineEdit* smtpHostEdit_;
  QLineEdit* smtpPortEdit_;
  QLineEdit* popHostEdit_;
  QLineEdit* popPortEdit_;
  QComboBox* smtpSecurityCombo_;
  QComboBox* popSecurityCombo_;
  QLineEdit* userEdit_;
  QLineEdit* passwordEdit_;
  QLineEdit* senderNameEdit_;
  QLineEdit* senderAddressEdit_;
  QPlainTextEdit* signatureEdit_;
  QLineEdit* programLabelEdit_;
  QRadioButton* startupShowRadio_;
  QRadioButton* startupHideRadio_;
  QCheckBox* splitCheck_;
  QSpinBox* splitSizeSpin_;
  QLabel* splitUnitLabel_;
  QCheckBox* confirmSplitCheck_;
  QLineEdit* identifierEdit_;
};

}  // namespace zentavo::ui
