// The program's colours, each named once here and said where it shows. A
// palette takes the QColor as it is; a style sheet takes its name()
// ("#a6caf0").
#pragma once

#include <QColor>

namespace zentavo::ui {

// The banner, the start-up screen's title, the icon's face, and the
// reservation panel while scheduled sending is on.
inline const QColor kSkyBlue{0xA6, 0xCA, 0xF0};
// The progress windows, the reservation panel while scheduled sending is
// off, and the borders of the page tabs and of the first start's hint.
inline const QColor kSilver{0xC0, 0xC0, 0xC0};
// Behind the main window's pages.
inline const QColor kLime{0x00, 0xFF, 0x00};
// The main window's page tabs: their captions, their face, the chosen one's.
inline const QColor kRed{0xFF, 0x00, 0x00};
inline const QColor kTabFace{0xD4, 0xD0, 0xC8};
inline const QColor kChosenTabFace{0xEC, 0xE9, 0xD8};
// The header panels ("各種設定", "送信予約") and their text.
inline const QColor kDarkBlue{0x00, 0x00, 0xA0};
inline const QColor kWhite{0xFF, 0xFF, 0xFF};
// The clocks' text (on white), and the icon's letter and frame.
inline const QColor kBlack{0x00, 0x00, 0x00};
inline const QColor kNavy{0x00, 0x00, 0x80};
// The fixed line at the bottom of a page.
inline const QColor kLightGrey{0xF0, 0xF0, 0xF0};
// The first start's hint on the settings page.
inline const QColor kLightYellow{0xFF, 0xFF, 0xE0};
// Text that is read, not edited: the body window while editing is off, the
// start-up screen's list.
inline const QColor kCream{0xFF, 0xFB, 0xF0};
// The staff page's notes.
inline const QColor kDarkRed{0xA0, 0x00, 0x00};

}  // namespace zentavo::ui
