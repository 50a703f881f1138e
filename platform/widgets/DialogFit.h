#pragma once

class QFont;
class QString;
class QWidget;

namespace velmora {

// Gives dialog the size its laid-out contents need in the current language
// and font, never less than the size it was designed with (its minimum
// size when it is first fitted), and wide enough for the title bar to show
// the whole title.  The size is fixed: the dialogs are not resized by hand.
void FitToContents(QWidget& dialog);

// Pixels a window manager's title bar needs to show title in full beside
// its buttons (the title bar's font is bolder than the window's).
int TitleBarWidth(const QString& title, const QFont& font);

} // namespace velmora
