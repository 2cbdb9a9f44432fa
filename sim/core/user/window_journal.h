// How the journal tells windows apart, whatever their titles: by number
// (counted since power-on) and, for dialogs, by the template they were
// made from.
#pragma once

#include "base/journal.h"

namespace sim {

struct Window;

json window_number(const Window* w);    // null for no window
json template_of(const Window* w);      // the dialog's template; null for other windows
// The template of the dialog that w is or sits in; null when it is in none.
json enclosing_template(const Window* w);

}  // namespace sim
