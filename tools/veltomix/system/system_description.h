// A walked sound system written in the sound-system description format
// (docs/sound-system-format.md), so that a real card can be replayed in the
// simulation.
#pragma once

#include <nlohmann/json.hpp>

#include "platform/description/writer.h"
#include "system/system_walk.h"

namespace veltomix {

using velto::description::PrettyJson;

// The description of `model`. Links come in an order that gives every part
// its incoming and outgoing lists in the order the platform reported them;
// where no single order can (a platform whose lists disagree), a warning is
// added to `model.warnings`.
nlohmann::ordered_json DescribeSystem(SystemModel& model);

// The links of one adapter as (from, to) part indices, in the order
// DescribeSystem writes them. Exposed for tests.
std::vector<std::pair<std::size_t, std::size_t>> OrderedLinks(const WalkedAdapter& adapter,
                                                              bool* consistent);

}  // namespace veltomix
