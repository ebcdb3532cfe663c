#pragma once

#include <QString>

class QCoreApplication;

namespace pistel {

// Qt's own texts in Japanese (Yes/No buttons, file and print dialogs), from Debian's
// qt6-translations-l10n. Returns false, saying why on stderr, when they are not installed:
// the workstation still runs, its own texts being Japanese already.
bool loadQtJapanese(QCoreApplication& application);

// Where a save or open dialog starts: the user's documents folder (created when missing),
// never the program's folder; `fileName` appended when given.
QString documentsPath(const QString& fileName = {});

} // namespace pistel
