#include "app/UiMetrics.h"

#include <QDir>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QStringList>

namespace vekdc {

namespace {

constexpr int kFormPointSize = 9;
// Dialog units per base unit.
constexpr int kUnitsPerAverageWidth = 4;
constexpr int kUnitsPerHeight = 8;

QString& ChosenFamily() {
    static QString family;
    return family;
}

// value * numerator / denominator, rounded half away from zero.
int MulDiv(int value, int numerator, int denominator) {
    const long long product = static_cast<long long>(value) * numerator;
    const long long half = denominator / 2;
    return static_cast<int>(product >= 0 ? (product + half) / denominator
                                         : -((-product + half) / denominator));
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
    QString family;
    if (!ChosenFamily().isEmpty() && available.contains(ChosenFamily())) {
        family = ChosenFamily();
    }
    for (auto it = preferred.begin(); family.isEmpty() && it != preferred.end(); ++it) {
        if (available.contains(*it)) {
            family = *it;
        }
    }
    if (family.isEmpty()) {
        const QStringList japanese = QFontDatabase::families(QFontDatabase::Japanese);
        if (!japanese.isEmpty()) {
            family = japanese.first();
        }
    }
    if (!family.isEmpty()) {
        font.setFamily(family);
    }
    font.setPointSize(kFormPointSize);
    return font;
}

void SetDialogFontFamily(const QString& family) {
    ChosenFamily() = family;
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

DialogBaseUnits BaseUnitsOf(const QFont& font, const QPaintDevice* device) {
    const QFontMetrics metrics(font, device);
    static const QString letters =
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    const int total = metrics.horizontalAdvance(letters);
    // The rounded average over 52 letters, as the original platform rounds it.
    return DialogBaseUnits{(total / 26 + 1) / 2, metrics.height()};
}

QRect MapDialogRect(const QRect& units, DialogBaseUnits base) {
    const int left = MulDiv(units.x(), base.width, kUnitsPerAverageWidth);
    const int top = MulDiv(units.y(), base.height, kUnitsPerHeight);
    const int right = MulDiv(units.x() + units.width(), base.width, kUnitsPerAverageWidth);
    const int bottom = MulDiv(units.y() + units.height(), base.height, kUnitsPerHeight);
    return QRect(QPoint(left, top), QPoint(right - 1, bottom - 1));
}

}  // namespace vekdc
