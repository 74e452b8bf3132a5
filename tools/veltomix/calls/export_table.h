// Every export of the library, described so that a script can call it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace veltomix {

enum class InputType { Int, Index, Level, Text };
enum class OutputType { Int, Double, Text };

// A parsed argument: 32-bit int (also indices), a level, or a text that may be
// a null pointer.
using Argument = std::variant<std::int32_t, double, std::optional<std::string>>;

struct OutputSlot {
  const char* name;  // "status", "count", "name", ...
  OutputType type;
};

// Out parameters live in guarded buffers; an untouched one reads as null.
struct OutputValue {
  std::string name;
  OutputType type;
  std::optional<std::int64_t> integer;
  std::optional<double> real;
  std::optional<std::string> text;
  bool written = false;
};

struct CallResult {
  std::optional<std::int32_t> result;  // empty for an export that returns nothing
  std::vector<OutputValue> outputs;

  // The output named `name` as the export wrote it; `fallback` when it did
  // not write it.
  std::int64_t Int(std::string_view name, std::int64_t fallback = 0) const;
  double Real(std::string_view name, double fallback = 0) const;
  // Empty when not written.
  std::string Text(std::string_view name) const;
};

// One 512-byte buffer per out parameter, filled with a guard byte, so that
// a parameter the export left alone can be told from one it wrote.
class OutputBuffers {
 public:
  static constexpr std::size_t kSize = 512;
  static constexpr unsigned char kGuard = 0xA5;

  explicit OutputBuffers(const std::vector<OutputSlot>& slots);
  int* Int(std::size_t index) { return reinterpret_cast<int*>(buffers_[index].bytes); }
  double* Double(std::size_t index) { return reinterpret_cast<double*>(buffers_[index].bytes); }
  char* Text(std::size_t index) { return reinterpret_cast<char*>(buffers_[index].bytes); }
  std::vector<OutputValue> Read() const;

 private:
  struct Buffer {
    alignas(8) unsigned char bytes[kSize];
  };
  const std::vector<OutputSlot>& slots_;
  std::vector<Buffer> buffers_;
};

using Invoker = std::optional<std::int32_t> (*)(const std::vector<Argument>&, OutputBuffers&);

struct ExportInfo {
  const char* name;
  int ordinal;
  std::vector<InputType> inputs;
  std::vector<OutputSlot> outputs;
  Invoker invoke;  // through the loaded library under --library, else the linked core
};

CallResult Invoke(const ExportInfo& info, const std::vector<Argument>& arguments);

const std::vector<ExportInfo>& Exports();
const ExportInfo* FindExport(std::string_view name);

// The friendly commands' road to the exports: the same as a raw call's, so
// that --library drives them too. `name` must be an export's.
CallResult CallExport(std::string_view name, const std::vector<Argument>& arguments = {});

}  // namespace veltomix
