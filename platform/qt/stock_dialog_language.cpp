// One translator for Qt's own texts, replaced whole on every change of language.
#include "platform/stock_dialog_language.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>
#include <memory>

#include "platform/qt/stock_texts.h"

namespace platform {
namespace {
// Window thread only, like every dialog that reads them.
std::unique_ptr<QTranslator> installed;
QString currentLanguage = QStringLiteral("en");
}  // namespace

// Qt's file dialog has no such question, so it has no translation of it either.
QString CreateFileQuestion(const QString& path) {
    if (currentLanguage == QLatin1String("de")) {
        return path +
               QString::fromUtf8("\nDiese Datei existiert nicht.\nSoll sie erstellt werden?");
    }
    if (currentLanguage == QLatin1String("da")) {
        return path + QString::fromUtf8("\nDenne fil findes ikke.\nVil du oprette filen?");
    }
    return path + QStringLiteral("\nThis file does not exist.\nCreate the file?");
}

bool SetStockDialogLanguage(const char* language) {
    if (installed) {
        QCoreApplication::removeTranslator(installed.get());
        installed.reset();
    }
    const QString name = QString::fromLatin1(language);
    currentLanguage = name;
    if (name == QLatin1String("en")) {
        return true;  // Qt's source texts are English
    }
    auto translator = std::make_unique<QTranslator>();
    if (!translator->load(QLatin1String("qtbase_") + name,
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        return false;
    }
    if (QCoreApplication::instance() == nullptr ||
        !QCoreApplication::installTranslator(translator.get())) {
        return false;
    }
    installed = std::move(translator);
    return true;
}

}  // namespace platform
