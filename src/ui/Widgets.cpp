#include "ui/Widgets.h"

namespace zentavo::ui {

QLabel* StatusLine(const QString& text, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(QStringLiteral("StatusLine"));
  label->setAccessibleName(text);
  label->setFrameShape(QFrame::Panel);
  label->setFrameShadow(QFrame::Sunken);
  label->setWordWrap(true);
  label->setStyleSheet(QStringLiteral("QLabel { background: #f0f0f0; padding: 2px; }"));
  return label;
}

QLabel* HeaderPanel(const char* objectName, const QString& text, QWidget* parent) {
  auto* label = Named(new QLabel(text, parent), objectName, text);
  label->setAlignment(Qt::AlignCenter);
  label->setFixedHeight(26);
  label->setStyleSheet(QStringLiteral(
      "QLabel { background: #0000a0; color: white; font-weight: bold; font-size: 15px; }"));
  return label;
}

}  // namespace zentavo::ui
