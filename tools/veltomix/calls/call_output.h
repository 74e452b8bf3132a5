// Printing one call's outcome as a line of text or of JSON.
#pragma once

#include <nlohmann/json.hpp>
#include <string>

#include "calls/export_table.h"

namespace veltomix {

// A narrow string as JSON text: each byte becomes the code point of the same
// value, so no byte is lost or re-interpreted.
std::string BytesAsCodePoints(const std::string& bytes);

// The shortest text that reads back as the same double.
std::string ShortestDouble(double value);

std::string FormatCallLine(const ExportInfo& info, const CallResult& call);
// One JSON object on one line, keys in call order: call, result, outputs.
std::string FormatCallJson(const ExportInfo& info, const CallResult& call);

}  // namespace veltomix
