#include "ui/GroupTab.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "store/Groups.h"
#include "store/NameList.h"
#include "store/Staff.h"
#include "ui/QtText.h"
#include "ui/Widgets.h"

namespace zentavo::ui {

GroupTab::GroupTab(WindowContext& context, QWidget* parent)
    : Tab(context, "groupTab", QStringLiteral("グループ登録"), parent) {
  auto* l = new QGridLayout(this);
  l->setContentsMargins(4, 4, 4, 2);

  const NameListBox groups =
      BuildNameListBox(QStringLiteral("グループ一覧"), QStringLiteral("グループ"), "group", this);
  groupNameEdit_ = groups.nameEdit;
  groupList_ = groups.list;

  auto* staffBox = Box(QStringLiteral("職員一覧"), this);
  auto* sl = new QVBoxLayout(staffBox);
  staffNameList_ = NameList("staffNameList", QStringLiteral("職員一覧"), staffBox);
  addMembersButton_ = Button("addMembersButton", QStringLiteral("職員追加"), staffBox);
  sl->addWidget(staffNameList_);
  sl->addWidget(addMembersButton_);

  auto* membersBox = Box(QStringLiteral("伝達職員編集"), this);
  auto* ml = new QVBoxLayout(membersBox);
  auto* chooseRow = new QHBoxLayout;
  memberGroupCombo_ = Named(new QComboBox(membersBox), "memberGroupCombo", QStringLiteral("グループ選択"));
  chooseRow->addWidget(new QLabel(QStringLiteral("グループ選択"), membersBox));
  chooseRow->addWidget(memberGroupCombo_, 1);
  memberList_ = NameList("memberList", QStringLiteral("伝達職員編集"), membersBox);
  registerMembersButton_ = Button("registerMembersButton", QStringLiteral("登録"), membersBox);
  registerMembersButton_->setAccessibleName(QStringLiteral("伝達職員を登録"));
  ml->addLayout(chooseRow);
  ml->addWidget(memberList_);
  ml->addWidget(registerMembersButton_);

  l->addWidget(groups.box, 0, 0);
  l->addWidget(staffBox, 0, 1);
  l->addWidget(membersBox, 0, 2);
  for (int c = 0; c < 3; ++c) l->setColumnStretch(c, 1);
  l->addWidget(
      StatusLine(QStringLiteral("事案一覧・伝達職員の削除は右クリックで削除。") + QStringLiteral("　　   ") +
                     QStringLiteral("人事異動等で伝達職員に変更があった場合は、「事案別伝達職員」を再確認して下さい。"),
                 this),
      1, 0, 1, 3);

  connect(PopupMenu(QStringLiteral("<<伝達事案>>"), groupList_)->addAction(QStringLiteral("行削除")),
          &QAction::triggered, this, &GroupTab::onDeleteGroups);
  connect(PopupMenu(QStringLiteral("<<伝達職員>>"), memberList_)->addAction(QStringLiteral("行削除")),
          &QAction::triggered, this, &GroupTab::onRemoveMembers);
  connect(groups.addButton, &QPushButton::clicked, this, &GroupTab::onAddGroupClicked);
  connect(groups.upButton, &QPushButton::clicked, this, &GroupTab::onMoveUpClicked);
  connect(groups.downButton, &QPushButton::clicked, this, &GroupTab::onMoveDownClicked);
  connect(memberGroupCombo_, &QComboBox::currentIndexChanged, this, &GroupTab::onMemberGroupChosen);
  connect(addMembersButton_, &QPushButton::clicked, this, &GroupTab::onAddMembersClicked);
  connect(registerMembersButton_, &QPushButton::clicked, this, &GroupTab::onRegisterMembersClicked);
}

void GroupTab::refresh() {
  const QStringList names = ToQ(state().groups.groups);
  groupList_->clear();
  groupList_->addItems(names);
  FillChoices(memberGroupCombo_, names, state().groups.editGroup);
  refreshMembers();
}

void GroupTab::refreshStaffNames() {
  staffNameList_->clear();
  staffNameList_->addItems(ToQ(StaffNames(state().staff.grid)));
  state().groups.members.clear();
  refreshMembers();
}

void GroupTab::refreshMembers() {
  memberList_->clear();
  memberList_->addItems(ToQ(state().groups.members));
  addMembersButton_->setEnabled(state().groups.memberEditEnabled);
  registerMembersButton_->setEnabled(state().groups.memberEditEnabled);
}

void GroupTab::groupListChanged(int select) {
  refresh();
  if (select >= 0) groupList_->setCurrentRow(select);
  emit groupsChanged();
}

void GroupTab::onAddGroupClicked() {
  std::string box = Take(groupNameEdit_, QStringLiteral("グループ名"));
  AddGroup(state().folder, state().groups, box, op());
  Show(groupNameEdit_, box);
  groupListChanged();
}

void GroupTab::onDeleteGroups() {
  DeleteGroups(state().folder, state().groups, SelectedItems(groupList_), state().send.group);
  groupListChanged();
}

void GroupTab::onMoveUpClicked() { groupListChanged(MoveNameUp(state().groups.groups, SelectedItems(groupList_))); }

void GroupTab::onMoveDownClicked() { groupListChanged(MoveNameDown(state().groups.groups, SelectedItems(groupList_))); }

void GroupTab::onMemberGroupChosen() {
  state().groups.editGroup = FromQ(memberGroupCombo_->currentText());
  LoadMembers(state().folder, state().groups, op());
  refreshMembers();
}

void GroupTab::onAddMembersClicked() {
  std::vector<std::string> names;
  for (int i : SelectedItems(staffNameList_)) names.push_back(FromQ(staffNameList_->item(i)->text()));
  AddMembers(state().groups, names, op());
  refreshMembers();
}

void GroupTab::onRemoveMembers() {
  RemoveMembers(state().groups, SelectedItems(memberList_));
  refreshMembers();
}

void GroupTab::onRegisterMembersClicked() {
  RegisterMembers(state().folder, state().groups, op());
  refresh();
}

}  // namespace zentavo::ui
