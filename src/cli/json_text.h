#pragma once
// Text fields in JSON output. Disc files do not state the encoding of their texts;
// JSON needs UTF-8. Text that is UTF-8 is written as it is; any other text is written
// with each byte as its Latin-1 character, and the raw bytes in hexadecimal beside it
// under "<key>Hex", so nothing is lost and the output never fails.
#include <string>
#include <vector>

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

// Puts every text of a document through the rule of putText: a member's text that is
// not UTF-8 becomes Latin-1 with "<key>Hex" beside it; an array element's text becomes
// Latin-1 (each byte one character, so no byte is lost).
template <class Json>
void makeTextsLossless(Json& j) {
  if (j.is_object()) {
    std::vector<std::string> raw;
    for (auto it = j.begin(); it != j.end(); ++it) {
      if (it->is_string()) {
        if (!core::isUtf8(it->template get_ref<const std::string&>())) raw.push_back(it.key());
      } else {
        makeTextsLossless(*it);
      }
    }
    for (const auto& key : raw) {
      const std::string bytes = j[key].template get<std::string>();
      putText(j, key, bytes);
    }
  } else if (j.is_array()) {
    for (auto& e : j) {
      if (e.is_string()) {
        if (!core::isUtf8(e.template get_ref<const std::string&>()))
          e = core::latin1ToUtf8(e.template get<std::string>());
      } else {
        makeTextsLossless(e);
      }
    }
  }
}

// The document as indented text, every disc text through the lossless rule above.
template <class Json>
std::string jsonText(const Json& j) {
  Json copy = j;
  makeTextsLossless(copy);
  return copy.dump(2, ' ', false, Json::error_handler_t::replace);
}

}  // namespace morvex::cli
