#include "ui/BodyWindow.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

#include "history/TextOutput.h"
#include "ui/Colours.h"
#include "ui/Printing.h"
#include "ui/QtText.h"
#include "ui/Widgets.h"

namespace zentavo::ui {

BodyWindow::BodyWindow(std::function<Operator&()> boxes, QWidget* parent)
    : QDialog(parent, Qt::Window | Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint), boxes_(std::move(boxes)) {
  setObjectName(QStringLiteral("bodyWindow"));
  setWindowTitle(QStringLiteral("受信本文"));
  setModal(false);
  auto* l = new QVBoxLayout(this);
  l->setContentsMargins(2, 2, 2, 2);
  bodyText_ = Named(new QPlainTextEdit(this), "bodyText", QStringLiteral("受信本文"));
  bodyText_->setLineWrapMode(QPlainTextEdit::NoWrap);
  bodyText_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  bodyText_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  l->addWidget(bodyText_, 1);
  auto* bar = new QHBoxLayout;
  editAllowedCheck_ = Check("editAllowedCheck", QStringLiteral("編集許可"), this);
  auto* printButton = Button("printButton", QStringLiteral("本文印刷"), this);
  auto* saveButton = Button("saveButton", QStringLiteral("ﾌｧｲﾙ保存"), this);
  saveButton->setAccessibleName(QStringLiteral("受信本文をファイル保存"));
  auto* closeButton = Button("closeButton", QStringLiteral("閉じる"), this);
  bar->addWidget(editAllowedCheck_);
  bar->addWidget(printButton);
  bar->addWidget(saveButton);
  bar->addStretch();
  bar->addWidget(closeButton);
  l->addLayout(bar);
  // Enter in the text must never print or save.
  for (QPushButton* button : {printButton, saveButton, closeButton}) button->setAutoDefault(false);
  resize(776, 480);
  onEditAllowedToggled(false);
  connect(editAllowedCheck_, &QCheckBox::toggled, this, &BodyWindow::onEditAllowedToggled);
  connect(printButton, &QPushButton::clicked, this, &BodyWindow::onPrintClicked);
  connect(saveButton, &QPushButton::clicked, this, &BodyWindow::onSaveClicked);
  connect(closeButton, &QPushButton::clicked, this, &QWidget::hide);
}

void BodyWindow::setLines(const std::vector<std::string>& lines) {
  lines_ = lines;
  bodyText_->setPlainText(LinesToQ(lines));
  bodyText_->document()->setModified(false);
}

// A dialog is centred on its parent when it is first shown, and shown again
// where the operator left it.
void BodyWindow::present() {
  show();
  raise();
  activateWindow();
}

void BodyWindow::onEditAllowedToggled(bool allowed) {
  bodyText_->setReadOnly(!allowed);
  QPalette pal = bodyText_->palette();
  pal.setColor(QPalette::Base, allowed ? kWhite : kCream);
  bodyText_->setPalette(pal);
}

std::vector<std::string> BodyWindow::currentLines() {
  if (!bodyText_->document()->isModified()) return lines_;
  QString dropped;
  std::vector<std::string> lines = LinesFromQ(bodyText_->toPlainText(), &dropped);
  if (!dropped.isEmpty()) ReportDropped(this, QStringLiteral("受信本文"), dropped);
  return lines;
}

void BodyWindow::onPrintClicked() { PrintLines(currentLines(), boxes_()); }

void BodyWindow::onSaveClicked() { SaveBody(currentLines(), boxes_()); }

}  // namespace zentavo::ui
