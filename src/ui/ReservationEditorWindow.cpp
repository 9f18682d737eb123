#include "ui/ReservationEditorWindow.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "reserve/ReservationEditor.h"
#include "reserve/Scheduler.h"
#include "ui/AddRecipientsWindow.h"
#include "ui/Colours.h"
#include "ui/QtText.h"
#include "ui/SortableGrid.h"
#include "ui/Widgets.h"

namespace zentavo::ui {

namespace {

// No title-bar buttons: the window ends only through "閉じる".
constexpr Qt::WindowFlags kFixedDialog =
    Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::MSWindowsFixedSizeDialogHint;

// The forms in which the core keeps a reservation's moment.
const QString kDateForm = QStringLiteral("yyyy/MM/dd");
const QString kTimeForm = QStringLiteral("HH:mm:ss");

void SetWidths(QTableView* view, std::initializer_list<int> widths) {
  int column = 0;
  for (int width : widths) view->setColumnWidth(column++, width);
  view->horizontalHeader()->setStretchLastSection(false);
}

}  // namespace

ReservationEditorPage::ReservationEditorPage(WindowContext& context, const Clock& clock, QWidget* parent)
    : Tab(context, "reservationEditor", QStringLiteral("送信予約"), parent),
      clock_(clock),
      listModel_(state().reservations.list),
      recipientModel_(state().reservations.input.recipients) {
  auto* l = new QVBoxLayout(this);
  l->setContentsMargins(4, 4, 4, 4);
  l->setSpacing(4);
  l->addWidget(buildHeader());
  l->addWidget(buildList(), 1);
  l->addLayout(buildResultBar());
  auto* middle = new QHBoxLayout;
  middle->addWidget(buildInputArea(), 0);
  middle->addWidget(buildRecipients(), 1);
  l->addLayout(middle, 2);
  l->addLayout(buildButtonBar());
  l->addWidget(
      StatusLine(QStringLiteral("予約リストダブルクリックで編集可能。　日時が同じなら上書き、変更なら新規登録。"
                                "　予約リストの削除はリストを選択し右クリックから。"),
                 this));
}

// "送信予約", with the clock's time at its right.
QWidget* ReservationEditorPage::buildHeader() {
  QLabel* header = HeaderPanel("reservationHeader", QStringLiteral("           送信予約"), this);
  auto* row = new QHBoxLayout(header);
  row->setContentsMargins(0, 1, 2, 1);
  clockLabel_ = Named(new QLabel(header), "reservationClock", QStringLiteral("時計"));
  clockLabel_->setFixedWidth(149);
  clockLabel_->setAlignment(Qt::AlignCenter);
  clockLabel_->setFrameShape(QFrame::Panel);
  clockLabel_->setFrameShadow(QFrame::Sunken);
  clockLabel_->setStyleSheet(
      QStringLiteral("QLabel { background: %1; color: %2; font-weight: normal; font-size: 12px; }")
          .arg(kWhite.name(), kBlack.name()));
  row->addStretch();
  row->addWidget(clockLabel_);
  return header;
}

// The booked notices: a double click loads one, the menu deletes it.
QWidget* ReservationEditorPage::buildList() {
  reservationList_ = GridView("reservationList", QStringLiteral("予約リスト"), &listModel_, this);
  reservationList_->setSelectionMode(QAbstractItemView::SingleSelection);
  listModel_.setCentredColumns({0, 1, 4, 5, 6, 7});
  MakeSortable(reservationList_, &listModel_);
  // Narrow enough that every reservation's result shows without scrolling.
  SetWidths(reservationList_, {84, 66, 140, 250, 20, 20, 20, 64, 476});
  QMenu* menu = PopupMenu(QStringLiteral("<<予約削除>>"), reservationList_);
  deleteAction_ = menu->addAction(QStringLiteral("削除"));
  connect(reservationList_, &QTableView::doubleClicked, this, &ReservationEditorPage::onReservationActivated);
  connect(deleteAction_, &QAction::triggered, this, &ReservationEditorPage::onDeleteTriggered);
  return reservationList_;
}

// "結果詳細" of the chosen reservation, and whether a sent one leaves the list.
QLayout* ReservationEditorPage::buildResultBar() {
  auto* bar = new QHBoxLayout;
  QLabel* resultCaption = SunkenPanel("resultCaption", QStringLiteral("結果詳細"), this, 22);
  resultCaption->setAlignment(Qt::AlignCenter);
  resultCaption->setFixedWidth(70);
  resultLine_ = SunkenPanel("resultLine", QString(), this, 22);
  resultLine_->setAccessibleName(QStringLiteral("結果詳細"));
  deleteWhenSentCheck_ = Check("deleteWhenSentCheck", QStringLiteral("正常送信時は予約リストから削除する"), this);
  bar->addWidget(resultCaption);
  bar->addWidget(resultLine_, 1);
  bar->addWidget(deleteWhenSentCheck_);
  connect(deleteWhenSentCheck_, &QCheckBox::toggled, this,
          [this](bool on) { state().reservations.deleteWhenSent = on; });
  return bar;
}

// "予約送信を実行する", "予約登録" and "閉じる".
QLayout* ReservationEditorPage::buildButtonBar() {
  auto* bar = new QHBoxLayout;
  switchCheck_ = Check("editorReserveCheck", QStringLiteral("予約送信を実行する"), this);
  auto* registerButton = Button("registerButton", QStringLiteral("予約登録"), this);
  auto* closeButton = Button("closeButton", QStringLiteral("閉じる"), this);
  bar->addWidget(switchCheck_);
  bar->addStretch();
  bar->addWidget(registerButton);
  bar->addWidget(closeButton);
  connect(switchCheck_, &QCheckBox::toggled, this, &ReservationEditorPage::onSwitchToggled);
  connect(registerButton, &QPushButton::clicked, this, &ReservationEditorPage::onRegisterClicked);
  connect(closeButton, &QPushButton::clicked, this, &ReservationEditorPage::closeRequested);
  return bar;
}

QWidget* ReservationEditorPage::buildInputArea() {
  auto* area = new QWidget(this);
  auto* g = new QGridLayout(area);
  g->setContentsMargins(0, 0, 0, 0);
  dateEdit_ = Named(new QDateEdit(area), "reservationDateEdit", QStringLiteral("送信予約日"));
  dateEdit_->setDisplayFormat(kDateForm);
  dateEdit_->setCalendarPopup(true);
  dateEdit_->setMinimumWidth(110);
  timeEdit_ = Named(new QTimeEdit(area), "reservationTimeEdit", QStringLiteral("送信時間"));
  timeEdit_->setDisplayFormat(kTimeForm);
  groupBox_ = ReadOnlyEdit("reservationGroupBox", QStringLiteral("グループ名"), area);
  identifierBox_ = ReadOnlyEdit("reservationIdentifierBox", QStringLiteral("識別"), area, 110);
  mailNoBox_ = ReadOnlyEdit("reservationMailNoBox", QStringLiteral("ＭａｉｌＮｏ"), area, 70);
  subjectEdit_ = LineEdit("reservationSubjectEdit", QStringLiteral("件名"), area);

  g->addWidget(new QLabel(QStringLiteral("送信予約日"), area), 0, 0);
  g->addWidget(dateEdit_, 0, 1);
  g->addWidget(new QLabel(QStringLiteral("送信時間"), area), 0, 2, Qt::AlignRight);
  g->addWidget(timeEdit_, 0, 3);
  g->addWidget(new QLabel(QStringLiteral("グループ名"), area), 1, 0);
  g->addWidget(groupBox_, 1, 1, 1, 3);
  g->addWidget(new QLabel(QStringLiteral("伝達件名"), area), 2, 0);
  auto* numberRow = new QHBoxLayout;
  numberRow->addWidget(identifierBox_);
  numberRow->addWidget(mailNoBox_);
  numberRow->addStretch();
  g->addLayout(numberRow, 2, 1, 1, 3);
  g->addWidget(subjectEdit_, 3, 1, 1, 3);

  auto* options = Box(QStringLiteral("オプション"), area);
  auto* ol = new QVBoxLayout(options);
  copyToSelfCheck_ = Check("reservationCopyToSelfCheck", QStringLiteral("1 自分宛にコピーを送る"), options);
  appendGroupCheck_ = Check("reservationAppendGroupCheck", QStringLiteral("2 伝達内容に伝達グループ名を追加"), options);
  appendNamesCheck_ = Check("reservationAppendNamesCheck", QStringLiteral("3 伝達内容に同報伝達者名を追加"), options);
  for (QCheckBox* check : {copyToSelfCheck_, appendGroupCheck_, appendNamesCheck_}) ol->addWidget(check);
  g->addWidget(options, 4, 0, 1, 4);
  g->setRowStretch(5, 1);
  area->setFixedWidth(340);
  ReservationInput& input = state().reservations.input;
  Bind(subjectEdit_, input.subject, QStringLiteral("件名"));
  for (auto [check, option] :
       {std::pair{copyToSelfCheck_, &input.copyToSelf}, std::pair{appendGroupCheck_, &input.appendGroup},
        std::pair{appendNamesCheck_, &input.appendNames}})
    connect(check, &QCheckBox::toggled, this, [field = option](bool on) { *field = on; });
  connect(dateEdit_, &QDateEdit::dateChanged, this, &ReservationEditorPage::onDateChanged);
  connect(timeEdit_, &QTimeEdit::timeChanged, this, &ReservationEditorPage::onTimeChanged);
  return area;
}

QWidget* ReservationEditorPage::buildRecipients() {
  auto* area = new QWidget(this);
  auto* g = new QGridLayout(area);
  g->setContentsMargins(0, 0, 0, 0);
  recipientGrid_ = GridView("reservationRecipientGrid", QStringLiteral("伝達者名"), &recipientModel_, area);
  // Narrow enough that name and address show side by side.
  SetWidths(recipientGrid_, {80, 150, 90});
  auto* addButton = Button("reservationAddRecipientsButton", QStringLiteral("追加"), area);
  addButton->setAccessibleName(QStringLiteral("伝達者を追加"));
  auto* removeButton = Button("reservationRemoveRecipientsButton", QStringLiteral("除外"), area);
  removeButton->setAccessibleName(QStringLiteral("伝達者を除外"));
  bodyEdit_ = Named(new QPlainTextEdit(area), "reservationBodyEdit", QStringLiteral("伝達内容"));
  bodyEdit_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  QFont mono(QStringLiteral("Noto Sans Mono CJK JP"));
  mono.setPixelSize(12);
  bodyEdit_->setFont(mono);
  g->addWidget(recipientGrid_, 0, 0, 3, 1);
  g->addWidget(addButton, 0, 1);
  g->addWidget(removeButton, 1, 1);
  g->addWidget(bodyEdit_, 0, 2, 3, 1);
  g->setColumnStretch(0, 3);
  g->setColumnStretch(2, 2);
  g->setRowStretch(2, 1);
  Bind(bodyEdit_, state().reservations.input.body, QStringLiteral("伝達内容"));
  connect(addButton, &QPushButton::clicked, this, &ReservationEditorPage::onAddRecipientsClicked);
  connect(removeButton, &QPushButton::clicked, this, &ReservationEditorPage::onRemoveRecipientsClicked);
  return area;
}

void ReservationEditorPage::refresh() {
  const ReservationEditor& editor = state().reservations;
  listModel_.reload();
  deleteAction_->setEnabled(HasReservations(editor));
  {
    const QSignalBlocker block(deleteWhenSentCheck_);
    deleteWhenSentCheck_->setChecked(editor.deleteWhenSent);
  }
  showInput();
  showSwitch();
}

void ReservationEditorPage::showInput() {
  const ReservationEditor& editor = state().reservations;
  const ReservationInput& input = editor.input;
  recipientModel_.reload();
  resultLine_->setText(ToQ(editor.resultLine));
  {
    // The pickers show the texts the core holds; they are not edits.
    const QSignalBlocker blockDate(dateEdit_), blockTime(timeEdit_);
    if (const QDate date = QDate::fromString(ToQ(input.date), kDateForm); date.isValid()) dateEdit_->setDate(date);
    if (const QTime time = QTime::fromString(ToQ(input.time), kTimeForm); time.isValid()) timeEdit_->setTime(time);
  }
  Show(groupBox_, input.group);
  Show(identifierBox_, input.identifier);
  Show(mailNoBox_, input.mailNo);
  Show(subjectEdit_, input.subject);
  Show(bodyEdit_, input.body);
  const QSignalBlocker blockCopy(copyToSelfCheck_), blockGroup(appendGroupCheck_), blockNames(appendNamesCheck_);
  copyToSelfCheck_->setChecked(input.copyToSelf);
  appendGroupCheck_->setChecked(input.appendGroup);
  appendNamesCheck_->setChecked(input.appendNames);
}

void ReservationEditorPage::showSwitch() {
  const QSignalBlocker block(switchCheck_);
  switchCheck_->setChecked(state().send.reserveOn);
}

void ReservationEditorPage::showClock(const QString& text) { clockLabel_->setText(text); }

void ReservationEditorPage::onReservationActivated(const QModelIndex& index) {
  LoadReservationIntoEditor(state().reservations, state().folder, index.row() + 1, clock_());
  showInput();  // the list stays as it is, with the row still chosen
}

void ReservationEditorPage::onDeleteTriggered() {
  DeleteReservation(state().reservations, state().folder, SelectedGridRows(reservationList_));
  refresh();
  reservationList_->clearSelection();
}

void ReservationEditorPage::onDateChanged(QDate date) {
  state().reservations.input.date = FromQ(date.toString(kDateForm));
}

void ReservationEditorPage::onTimeChanged(QTime time) {
  state().reservations.input.time = FromQ(time.toString(kTimeForm));
}

void ReservationEditorPage::onAddRecipientsClicked() {
  AddRecipientsWindow dialog(state(), state().reservations.input.recipients, op(), this);
  dialog.exec();
  recipientModel_.reload();
}

void ReservationEditorPage::onRemoveRecipientsClicked() {
  DeleteSelectedRows(state().reservations.input.recipients, SelectedGridRows(recipientGrid_));
  recipientModel_.reload();
  recipientGrid_->clearSelection();
}

void ReservationEditorPage::onSwitchToggled(bool on) {
  if (!SetScheduledSending(state().send, state().scheduler, on, clock_())) return;
  showSwitch();
  emit scheduledSendingChanged();
}

void ReservationEditorPage::onRegisterClicked() {
  RegisterReservation(state().reservations, state().folder, state().settings, op(), clock_());
  refresh();
}

ReservationEditorWindow::ReservationEditorWindow(WindowContext& context, const Clock& clock, QWidget* parent)
    : QDialog(parent, kFixedDialog), context_(context), clock_(clock) {
  setObjectName(QStringLiteral("reservationEditorWindow"));
  setWindowTitle(QStringLiteral("送信予約"));
  setModal(true);
  auto* l = new QVBoxLayout(this);
  l->setContentsMargins(0, 0, 0, 0);
  page_ = new ReservationEditorPage(context, clock, this);
  l->addWidget(page_);
  setFixedSize(805, 566);
  connect(page_, &ReservationEditorPage::closeRequested, this, &QDialog::accept);
  connect(page_, &ReservationEditorPage::scheduledSendingChanged, this,
          &ReservationEditorWindow::scheduledSendingChanged);
}

void ReservationEditorWindow::openFromSendPage() {
  AppState& state = context_.state;
  ShowReservationEditor(state.reservations, state.folder, state.settings, state.send, state.recipients, clock_());
  refresh();
  exec();
}

}  // namespace zentavo::ui
