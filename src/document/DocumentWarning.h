// The one place where a document's silent mistakes are told: a picture that cannot be loaded, an
// element or attribute name that nothing reads, a document without body. The document goes on
// as before; each distinct warning is passed on once per document, to a sink the program chooses (standard
// error by default, as "nimbolt: warning: TEXT").
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace nimbolt {

// Receives each distinct warning's text (UTF-8, without line end).
using WarningSink = void (*)(std::string_view text);

// At most this many distinct warnings are told of one document, then one line that there are more.
inline constexpr size_t MostWarnings = 100;

// The warnings that follow are about the document (a file name): a document other than the last
// one is told its warnings again.
void beginDocumentWarnings(const std::string& document);
// Passes the text to the sink unless it was passed before for the same document.
void warnDocument(const std::string& text);
// Where warnings go from now on; null: standard error again.
void setWarningSink(WarningSink sink);

}
