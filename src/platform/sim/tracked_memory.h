// Bookkeeping for the memory the platform hands to its clients: task-memory
// strings, BSTRs and PROPVARIANT payloads. Freed blocks stay in a bounded
// quarantine so that a second free of the same pointer is recognised (and
// reported) instead of touching memory that was given back.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>

#include "platform/platform.h"

namespace velto::sim {

enum class FreeOutcome { Freed, Null, AlreadyFreed, Unknown };

// Wide strings with a terminating NUL; optionally BSTR-shaped, with the byte
// length in the four bytes before the first character.
class StringTable {
 public:
  explicit StringTable(bool lengthPrefix) : lengthPrefix_(lengthPrefix) {}

  // Copies `length` units from `source`, or zero-fills when it is null.
  platform::WChar* Allocate(const platform::WChar* source, std::size_t length);
  FreeOutcome Free(const void* text);
  // Length in units of a live string; nullopt for a freed or unknown pointer.
  std::optional<std::size_t> LiveLength(const void* text) const;
  bool WasFreed(const void* text) const;
  std::size_t Live() const { return live_; }

 private:
  struct Block {
    std::unique_ptr<platform::WChar[]> storage;
    std::size_t length;
    bool live;
  };
  const bool lengthPrefix_;
  std::unordered_map<const void*, Block> blocks_;
  std::deque<const void*> quarantine_;
  std::size_t live_ = 0;
};

// PROPVARIANT payloads, named by handles that are never reused.
class PropVariantTable {
 public:
  std::uint64_t Allocate(std::u16string text);
  FreeOutcome Free(std::uint64_t handle);
  const std::u16string* LiveText(std::uint64_t handle) const;
  bool WasFreed(std::uint64_t handle) const;
  std::size_t Live() const { return live_; }

 private:
  struct Payload {
    std::u16string text;
    bool live;
  };
  std::unordered_map<std::uint64_t, Payload> payloads_;
  std::deque<std::uint64_t> quarantine_;
  std::uint64_t nextHandle_ = 1;
  std::size_t live_ = 0;
};

// How the simulated PROPVARIANT looks in PropVariantData: the variant type in
// the first two bytes, as on Windows, and the payload handle where Windows
// keeps the string pointer.
constexpr std::uint16_t kVtEmpty = 0;
constexpr std::uint16_t kVtLpwstr = 31;
std::uint16_t VariantType(const platform::PropVariantData& data);
std::uint64_t VariantHandle(const platform::PropVariantData& data);
void WriteVariant(platform::PropVariantData& data, std::uint16_t type, std::uint64_t handle);

}  // namespace velto::sim
