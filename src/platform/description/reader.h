// Loading a description, strictly: every error names the source, the place in
// the document as a JSON pointer, and the problem.
#pragma once

#include <nlohmann/json.hpp>
#include <string>

#include "platform/description/model.h"

namespace velto::description {

// Both throw DescriptionError, naming `source`.
Description ParseDescription(const nlohmann::json& json, const std::string& source);
// JSON text to a document, refusing an object that repeats a key (the JSON
// library would silently keep the last one).
nlohmann::json ParseJsonStrict(const std::string& text, const std::string& source);

// A key as one token of a JSON pointer ("~" and "/" escaped).
std::string EscapePointerToken(const std::string& key);

}  // namespace velto::description
