#include "app/UiMetrics.h"

#include <QDir>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QScreen>
#include <QStringList>
#include <QWidget>
#include <cmath>

namespace vekdc {

namespace {

constexpr double kPixelsPerDialogUnit = 1.5;
constexpr double kReferenceDpi = 96.0;
constexpr int kFormPointSize = 9;

double ScreenScale(const QWidget* widget) {
    const QScreen* screen = widget != nullptr ? widget->screen() : nullptr;
    if (screen == nullptr) {
        screen = QGuiApplication::primaryScreen();
    }
    if (screen == nullptr) {
        return 1.0;
    }
    const double dpi = screen->logicalDotsPerInchX();
    return dpi > 0 ? dpi / kReferenceDpi : 1.0;
}

}  // namespace

QFont JapaneseUiFont() {
    // The form's own font first, then Japanese UI fonts common on Linux.
    static const QStringList preferred = {
        QStringLiteral("ＭＳ Ｐゴシック"),  QStringLiteral("MS PGothic"),
        QStringLiteral("IPAPGothic"),       QStringLiteral("IPA Pゴシック"),
        QStringLiteral("Noto Sans CJK JP"), QStringLiteral("VL PGothic"),
        QStringLiteral("TakaoPGothic"),     QStringLiteral("IPAGothic")};
    const QStringList available = QFontDatabase::families();
    QFont font;
    bool found = false;
    for (const QString& family : preferred) {
        if (available.contains(family)) {
            font.setFamily(family);
            found = true;
            break;
        }
    }
    if (!found) {
        const QStringList japanese = QFontDatabase::families(QFontDatabase::Japanese);
        if (!japanese.isEmpty()) {
            font.setFamily(japanese.first());
        }
    }
    font.setPointSize(kFormPointSize);
    return font;
}

QIcon ProgramIcon() {
    // Every size that the resources hold (VEKDC_ICON_SIZES in CMake).
    QIcon icon;
    const QDir icons(QStringLiteral(":/icons"));
    for (const QString& name : icons.entryList({QStringLiteral("vekdc_*.png")}, QDir::Files)) {
        icon.addFile(icons.filePath(name));
    }
    return icon;
}

int DialogUnitsToPixels(int units, const QWidget* widget) {
    return static_cast<int>(std::lround(units * kPixelsPerDialogUnit * ScreenScale(widget)));
}

QRect DialogRect(int x, int y, int width, int height, const QWidget* widget) {
    return QRect(DialogUnitsToPixels(x, widget), DialogUnitsToPixels(y, widget),
                 DialogUnitsToPixels(width, widget), DialogUnitsToPixels(height, widget));
}

}  // namespace vekdc
