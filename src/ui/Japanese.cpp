#include "Japanese.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QStandardPaths>
#include <QTranslator>
#include <cstdio>

namespace pistel {

bool loadQtJapanese(QCoreApplication& application) {
    auto* translator = new QTranslator(&application);
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    if (!translator->load(QStringLiteral("qtbase_ja"), folder)) {
        std::fprintf(stderr,
                     "Qt's Japanese texts (qtbase_ja.qm) are not in %s: install "
                     "qt6-translations-l10n\n",
                     qPrintable(folder));
        delete translator;
        return false;
    }
    return QCoreApplication::installTranslator(translator);
}

QString documentsPath(const QString& fileName) {
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty() || !QDir().mkpath(folder))
        folder = QDir::homePath();
    return fileName.isEmpty() ? folder : QDir(folder).filePath(fileName);
}

} // namespace pistel
