#include "ui/ReceptionWindows.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

#include "ui/Colours.h"
#include "ui/QtText.h"
#include "ui/Widgets.h"

namespace zentavo::ui {

ReceptionProgressWindow::ReceptionProgressWindow(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint) {
  ProgressWindowLook(this, "receptionProgressWindow");
  auto* l = new QVBoxLayout(this);
  caption_ = Named(new QLabel(this), "progressCaption", QStringLiteral("受信状況"));
  caption_->setAlignment(Qt::AlignCenter);
  caption_->setStyleSheet(QStringLiteral("QLabel { font-size: 14px; font-weight: bold; padding: 6px; }"));
  auto* counts = new QHBoxLayout;
  current_ = Named(new QLabel(this), "progressCurrent", QStringLiteral("受信中の番号"));
  total_ = Named(new QLabel(this), "progressTotal", QStringLiteral("件数"));
  counts->addStretch();
  counts->addWidget(current_);
  counts->addWidget(new QLabel(QStringLiteral("／"), this));
  counts->addWidget(total_);
  counts->addStretch();
  bar_ = new QProgressBar(this);
  bar_->setTextVisible(false);
  l->addWidget(caption_);
  l->addLayout(counts);
  l->addWidget(bar_);
  setFixedSize(360, 110);
}

void ReceptionProgressWindow::Show(const QString& caption, int total) {
  caption_->setText(caption);
  total_->setText(QString::number(total));
  bar_->setMaximum(std::max(total, 1));
  if (!isVisible()) {
    if (parentWidget()) move(parentWidget()->window()->geometry().center() - rect().center());
    show();
  }
}

void ReceptionProgressWindow::SetCurrent(int current) {
  current_->setText(QString::number(current));
  bar_->setValue(std::min(current, bar_->maximum()));
}

void QtReceptionOperator::ShowProgress(std::string_view caption, int total) {
  if (!progress_) progress_ = new ReceptionProgressWindow(window_);
  progress_->Show(ToQ(std::string(caption)), total);
}

void QtReceptionOperator::SetProgress(int current) {
  if (progress_) progress_->SetCurrent(current);
}

void QtReceptionOperator::CloseProgress() {
  if (progress_) progress_->hide();
}

}  // namespace zentavo::ui
