#include "DialogFit.h"

#include <QFont>
#include <QFontMetrics>
#include <QLayout>
#include <QString>
#include <QVariant>
#include <QWidget>

#include <algorithm>

namespace velmora {

namespace {
constexpr const char* DesignedSize = "velmoraDesignedSize";
// The close box, the window menu and the frame's edges.
constexpr int TitleBarButtonsWidth = 110;
} // namespace

int TitleBarWidth(const QString& title, const QFont& font)
{
    QFont bold = font;
    bold.setBold(true);
    // A little more than the text itself: title fonts differ from one
    // window manager to the next.
    return QFontMetrics(bold).horizontalAdvance(title) * 11 / 10 + TitleBarButtonsWidth;
}

void FitToContents(QWidget& dialog)
{
    QVariant designed = dialog.property(DesignedSize);
    if (!designed.isValid()) {
        designed = dialog.minimumSize();
        dialog.setProperty(DesignedSize, designed);
    }
    QSize size = designed.toSize();
    if (QLayout* layout = dialog.layout()) {
        // Fixed sizes of an earlier language must not hold the new one back.
        dialog.setMinimumSize(size);
        dialog.setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
        layout->invalidate();
        layout->activate();
        QSize needed = layout->totalSizeHint();
        if (layout->hasHeightForWidth())
            needed.setHeight(std::max(needed.height(), layout->totalHeightForWidth(std::max(needed.width(), size.width()))));
        size = size.expandedTo(needed);
    }
    size.setWidth(std::max(size.width(), TitleBarWidth(dialog.windowTitle(), dialog.font())));
    dialog.setFixedSize(size);
}

} // namespace velmora
