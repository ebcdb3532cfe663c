#include "BibText.h"

namespace pistel {

QString bibText(int number) {
    return QString::asprintf("%.4d", number);
}

} // namespace pistel
