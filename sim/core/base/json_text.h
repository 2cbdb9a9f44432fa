// JSON text as json::dump(-1) writes it (compact, UTF-8 as it is, invalid
// UTF-8 replaced), made without its serializer for what the journal mostly
// holds: objects, arrays, whole numbers and text of printable ASCII.  Any
// other value (a fraction, text with escapes or other bytes) is left to
// dump(), so the text is the same either way.
#pragma once

#include <string>

#include "base/journal.h"

namespace sim {

void append_json(std::string* out, const json& value);

}  // namespace sim
