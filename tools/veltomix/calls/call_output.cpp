#include "calls/call_output.h"

#include <charconv>
#include <cmath>
#include <cstdio>

#include "platform/readable.h"

namespace veltomix {

std::string BytesAsCodePoints(const std::string& bytes) {
  std::string utf8;
  for (unsigned char byte : bytes) {
    if (byte < 0x80) {
      utf8 += static_cast<char>(byte);
    } else {
      utf8 += static_cast<char>(0xC0 | (byte >> 6));
      utf8 += static_cast<char>(0x80 | (byte & 0x3F));
    }
  }
  return utf8;
}

std::string ShortestDouble(double value) {
  if (std::isnan(value)) return "nan";
  if (std::isinf(value)) return value > 0 ? "inf" : "-inf";
  char buffer[64];
  const auto end = std::to_chars(buffer, buffer + sizeof buffer, value).ptr;
  return std::string(buffer, end);
}

namespace {

// Plain output quotes texts and spells every byte outside printable ASCII as
// \xNN, so the line stays one line and shows exactly what the export wrote.
std::string QuoteBytes(const std::string& bytes) {
  return velto::platform::Quoted(bytes.data(), bytes.size());
}

std::string PlainValue(const OutputValue& value) {
  if (!value.written) return "null";
  switch (value.type) {
    case OutputType::Int:
      return std::to_string(*value.integer);
    case OutputType::Double:
      return ShortestDouble(*value.real);
    case OutputType::Text:
      return value.text ? QuoteBytes(*value.text) : "null";
  }
  return "null";
}

nlohmann::ordered_json JsonValue(const OutputValue& value) {
  if (!value.written) return nullptr;
  switch (value.type) {
    case OutputType::Int:
      return *value.integer;
    case OutputType::Double:
      // JSON has no NaN or infinity; those travel as strings.
      if (!std::isfinite(*value.real)) return ShortestDouble(*value.real);
      return *value.real;
    case OutputType::Text:
      if (!value.text) return nullptr;
      return BytesAsCodePoints(*value.text);
  }
  return nullptr;
}

}  // namespace

std::string FormatCallLine(const ExportInfo& info, const CallResult& call) {
  std::string line = info.name;
  if (call.result) line += " -> " + std::to_string(*call.result);
  for (const OutputValue& value : call.outputs) line += " " + value.name + "=" + PlainValue(value);
  return line;
}

// One JSON object on one line, keys in call order: call, result, outputs.
std::string FormatCallJson(const ExportInfo& info, const CallResult& call) {
  nlohmann::ordered_json object;
  object["call"] = info.name;
  if (call.result) object["result"] = *call.result;
  for (const OutputValue& value : call.outputs) object[value.name] = JsonValue(value);
  return object.dump();
}

}  // namespace veltomix
