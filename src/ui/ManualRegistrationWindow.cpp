#include "ui/ManualRegistrationWindow.h"

#include <QAbstractItemView>
#include <QGridLayout>
#include <QLabel>

#include "ui/QtText.h"
#include "ui/Widgets.h"

namespace zentavo::ui {

namespace {

// No title-bar buttons: the window ends only through "閉じる".
constexpr Qt::WindowFlags kFixedDialog =
    Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::MSWindowsFixedSizeDialogHint;

}  // namespace

ManualRegistrationWindow::ManualRegistrationWindow(std::vector<std::string> keys,
                                                   std::function<void(const std::string&)> registerReply,
                                                   QWidget* parent)
    : QDialog(parent, kFixedDialog), keys_(std::move(keys)), registerReply_(std::move(registerReply)) {
  setObjectName(QStringLiteral("manualRegistrationWindow"));
  setWindowTitle(QStringLiteral("履歴登録"));
  setModal(true);
  auto* l = new QGridLayout(this);
  l->addWidget(new QLabel(QStringLiteral("MailNoの無い返信を伝達履歴に記録します"), this), 0, 0, 1, 3);
  l->addWidget(new QLabel(QStringLiteral("伝達履歴"), this), 1, 0);
  historyCombo_ = Named(new QComboBox(this), "historyCombo", QStringLiteral("伝達履歴"));
  // Keys are long (time, MailNo and subject): the list shows them whole.
  historyCombo_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  historyCombo_->view()->setMinimumWidth(460);
  historyCombo_->addItems(ToQ(keys_));
  historyCombo_->setCurrentIndex(keys_.empty() ? -1 : 0);
  l->addWidget(historyCombo_, 1, 1, 1, 2);
  auto* registerButton = Button("registerButton", QStringLiteral("登録"), this);
  auto* closeButton = Button("closeButton", QStringLiteral("閉じる"), this);
  l->addWidget(registerButton, 2, 1, Qt::AlignRight);
  l->addWidget(closeButton, 2, 2);
  l->setColumnStretch(1, 1);
  setFixedSize(480, 130);
  connect(registerButton, &QPushButton::clicked, this, &ManualRegistrationWindow::onRegisterClicked);
  connect(closeButton, &QPushButton::clicked, this, &QDialog::accept);
}

// The key goes back with its own bytes, not through the box's text.
void ManualRegistrationWindow::onRegisterClicked() {
  const int chosen = historyCombo_->currentIndex();
  if (chosen >= 0 && chosen < static_cast<int>(keys_.size())) registerReply_(keys_[chosen]);
}

}  // namespace zentavo::ui
