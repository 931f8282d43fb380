#pragma once
// Text fields in JSON output. Disc files do not state the encoding of their texts;
// JSON needs UTF-8. Text that is UTF-8 is written as it is; any other text is written
// with each byte as its Latin-1 character, and the raw bytes in hexadecimal beside it
// under "<key>Hex", so nothing is lost and the output never fails.
#include <string>

#include <nlohmann/json.hpp>

#include "core/text.h"

namespace morvex::cli {

template <class Json>
void putText(Json& j, const std::string& key, const std::string& bytes) {
  if (core::isUtf8(bytes)) {
    j[key] = bytes;
    return;
  }
  j[key] = core::latin1ToUtf8(bytes);
  j[key + "Hex"] = core::hexBytes(bytes);
}

// The document as indented text. Any text that did not go through putText and is not
// UTF-8 is replaced rather than making the output fail.
template <class Json>
std::string jsonText(const Json& j) {
  return j.dump(2, ' ', false, Json::error_handler_t::replace);
}

}  // namespace morvex::cli
