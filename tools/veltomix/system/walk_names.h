// Naming what the walk found, once it is done: parts and adapters carry no
// ids on the platform, so theirs are made from their names.
#pragma once

#include <string>

#include "system/system_model.h"

namespace veltomix {

// Ids from names, unique within each adapter.
void NameParts(SystemModel& model);
// Adapter names from the names of the endpoints joined to them.
void NameAdapters(SystemModel& model);

// The adapter's name as Windows puts it at the end of an endpoint's name:
// the whole balanced parenthesised suffix, "Intel(r) 82801 Controller" of
// "Speakers (Intel(r) 82801 Controller)"; empty when there is none.
std::string AdapterNameOf(const std::string& endpointName);

}  // namespace veltomix
