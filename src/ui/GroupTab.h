// "グループ登録": the group list and each group's members.
#pragma once

#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include "ui/Tab.h"

namespace zentavo::ui {

class GroupTab : public Tab {
  Q_OBJECT
 public:
  GroupTab(WindowContext& context, QWidget* parent = nullptr);
  void refresh();
  // The page-change refresh: the staff names anew, the member editor emptied.
  void refreshStaffNames();

 signals:
  // The group list changed (the send page's drop-down follows it).
  void groupsChanged();

 private slots:
  void onAddGroupClicked();
  void onDeleteGroups();
  void onMoveUpClicked();
  void onMoveDownClicked();
  void onMemberGroupChosen();
  void onAddMembersClicked();
  void onRemoveMembers();
  void onRegisterMembersClicked();

 private:
  void refreshMembers();
  void groupListChanged(int select = -1);

  QLineEdit* groupNameEdit_;
  QListWidget* groupList_;
  QComboBox* memberGroupCombo_;
  QListWidget* staffNameList_;
  QPushButton* addMembersButton_;
  QListWidget* memberList_;
  QPushButton* registerMembersButton_;
};

}  // namespace zentavo::ui
