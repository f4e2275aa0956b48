#include "window/qt/language.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace vekdc {

namespace {

QTranslator& QtJapanese() {
    static QTranslator translator;
    return translator;
}

}  // namespace

bool InstallTranslations(platform::Language language) {
    if (QCoreApplication::instance() == nullptr) {
        return false;
    }
    QCoreApplication::removeTranslator(&QtJapanese());
    if (language == platform::Language::Japanese) {
        return QtJapanese().load(QStringLiteral("qtbase_ja"),
                                 QLibraryInfo::path(QLibraryInfo::TranslationsPath)) &&
               QCoreApplication::installTranslator(&QtJapanese());
    }
    return true;
}

}  // namespace vekdc
