// The process entry: single-instance guard, the data folder, the main
// window, and the shut-down however the program is asked to end (window
// closed, "終了", SIGTERM or SIGINT, the desktop session ending), also
// while a modal box is open.
#pragma once

class QApplication;

namespace zentavo::ui {

// Japanese standard buttons and dialogs, and a Japanese font.
void SetUpJapanese(QApplication& app);

int RunApplication(int argc, char** argv);

}  // namespace zentavo::ui
