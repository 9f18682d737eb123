#include "ui/StartupWindow.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QTimer>
#include <QVBoxLayout>

#include "program/Version.h"
#include "ui/Colours.h"
#include "ui/QtText.h"
#include "ui/Widgets.h"

namespace zentavo::ui {

StartupWindow::StartupWindow(WindowContext& context, const ReceptionContext& base, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint), model_(own_.received) {
  setObjectName(QStringLiteral("startupWindow"));
  setModal(true);
  own_.received = Grid(5, 2);
  own_.received.SetHeader(StartupListHeader());
  auto* l = new QHBoxLayout(this);
  auto* picture = new QLabel(this);
  picture->setPixmap(ProgramIcon().pixmap(64, 64));
  picture->setAlignment(Qt::AlignTop);
  auto* right = new QVBoxLayout;
  auto* title = Named(new QLabel(ToQ(context.state.settings.programLabel), this), "startupTitle",
                      QStringLiteral("プログラム表記"));
  title->setAlignment(Qt::AlignCenter);
  title->setStyleSheet(QStringLiteral("QLabel { background: %1; font-size: 21px; font-weight: bold; padding: 6px; }")
                           .arg(kSkyBlue.name()));
  auto* version = new QLabel(QStringLiteral("Zentavo Orvane Ver %1").arg(QString::fromLatin1(kVersion)), this);
  version->setAlignment(Qt::AlignRight);
  model_.setCentredColumns({kStartupNumberColumn, kStartupMailNoColumn, kStartupDateColumn});
  auto* list = GridView("startupList", QStringLiteral("返信メール"), &model_, this);
  list->setStyleSheet(QStringLiteral("QTableView { background: %1; }").arg(kCream.name()));
  for (int c = 0; const int width : {37, 137, 56, 261, 149}) list->setColumnWidth(c++, width);
  right->addWidget(title);
  right->addWidget(version);
  right->addWidget(list, 1);
  l->addWidget(picture);
  l->addLayout(right, 1);
  resize(720, 360);

  // Once the screen is up, so that it shows while the mailbox is read.
  QTimer::singleShot(0, this, [this, base] {
    CheckRepliesAtStartup({base.folder, base.settings, base.staff, base.options, own_, base.op, base.transport,
                           base.runner, [this](bool) {
                             model_.reload();
                             accept();
                           }});
    model_.reload();
  });
}

}  // namespace zentavo::ui
