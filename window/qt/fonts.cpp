#include "window/qt/fonts.h"

#include <QDir>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QStringList>
#include <algorithm>

namespace vekdc {

namespace {

QString& ChosenFamily() {
    static QString family;
    return family;
}

qreal& ChosenSystemSize() {
    static qreal points = 0;
    return points;
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
    // The template's size, or the system's where that is larger.
    const qreal system = ChosenSystemSize() > 0
                             ? ChosenSystemSize()
                             : QFontDatabase::systemFont(QFontDatabase::GeneralFont).pointSizeF();
    font.setPointSizeF(std::max<qreal>(desktop::decode_form().point_size, system));
    return font;
}

void SetSystemFontSize(qreal points) {
    ChosenSystemSize() = points;
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

desktop::base_units BaseUnitsOf(const QFont& font, const QPaintDevice* device) {
    const QFontMetrics metrics(font, device);
    static const QString letters =
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    return desktop::base_units_of(metrics.horizontalAdvance(letters), metrics.height());
}

}  // namespace vekdc
