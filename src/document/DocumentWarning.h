// The one place where a document's silent mistakes are told: a picture that cannot be loaded, an
// element or attribute name that nothing reads, a document without body. The document goes on
// as before; each distinct warning is passed on once, to a sink the program chooses (standard
// error by default, as "nimbolt: warning: TEXT").
#pragma once

#include <string>
#include <string_view>

namespace nimbolt {

// Receives each distinct warning's text (UTF-8, without line end).
using WarningSink = void (*)(std::string_view text);

// Passes the text to the sink unless it was passed before.
void warnDocument(const std::string& text);
// Where warnings go from now on; null: standard error again.
void setWarningSink(WarningSink sink);

}
