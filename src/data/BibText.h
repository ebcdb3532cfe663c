#pragma once

#include <QString>

namespace pistel {

// A bib number as the tables keep it and the operator sees it: four digits ("0007").
QString bibText(int number);

} // namespace pistel
