#include "RunControl.h"

namespace pistel {

RunControl::RunControl(AppState& app_, TDM1& dm_, OperatorDialog* dialog_, QObject* parent)
    : RunContext(app_, dm_, dialog_, parent), rows_(*this), lists_(*this), boxes_(*this, rows_),
      store_(*this), statusControl(*this, rows_, boxes_),
      selection(*this, rows_, lists_, statusControl), capture(*this, rows_, boxes_, lists_, store_),
      corrections(*this, rows_, boxes_, lists_, store_, statusControl), resets(*this) {}

} // namespace pistel
