// Loading a description, strictly: every error names the source, the place in
// the document as a JSON pointer, and the problem.
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

#include "platform/description/model.h"

namespace velto::description {

// All throw DescriptionError naming `source` (or the file). Text is JSON in
// which no object may repeat a key (the JSON library would silently keep the
// last one); time and memory grow in step with its length.
Description ParseDescription(const nlohmann::json& json, const std::string& source);
Description ReadDescription(std::string_view text, const std::string& source);
Description ReadDescriptionFile(const std::string& path);

// A key as one token of a JSON pointer ("~" and "/" escaped).
std::string EscapePointerToken(const std::string& key);

}  // namespace velto::description
