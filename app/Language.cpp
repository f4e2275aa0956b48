#include "app/Language.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace vekdc {

namespace {

// The program's English texts, built from app/translations/vekdc_en.ts into
// the program's resources.
const char* const kEnglishFile = ":/translations/vekdc_en.qm";

QTranslator& QtJapanese() {
    static QTranslator translator;
    return translator;
}

QTranslator& ProgramEnglish() {
    static QTranslator translator;
    return translator;
}

}  // namespace

bool InstallTranslations(platform::Language language) {
    if (QCoreApplication::instance() == nullptr) {
        return false;
    }
    QCoreApplication::removeTranslator(&QtJapanese());
    QCoreApplication::removeTranslator(&ProgramEnglish());
    if (language == platform::Language::Japanese) {
        return QtJapanese().load(QStringLiteral("qtbase_ja"),
                                 QLibraryInfo::path(QLibraryInfo::TranslationsPath)) &&
               QCoreApplication::installTranslator(&QtJapanese());
    }
    return ProgramEnglish().load(QString::fromLatin1(kEnglishFile)) &&
           QCoreApplication::installTranslator(&ProgramEnglish());
}

}  // namespace vekdc
