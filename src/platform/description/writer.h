// Writing a description: as a JSON document whose keys come in the order the
// format's documentation lists them, and as text laid out for people.
#pragma once

#include <nlohmann/json.hpp>
#include <string>

#include "platform/description/model.h"

namespace velto::description {

// Every key is written, defaults included, so that a reader sees the whole
// state; parts without controls leave out the empty "controls".
nlohmann::ordered_json DescriptionToJson(const Description& description);

// JSON laid out for people: an array or object that fits on its line stays
// on it, anything longer is spread one member per line.
std::string PrettyJson(const nlohmann::ordered_json& value);

}  // namespace velto::description
