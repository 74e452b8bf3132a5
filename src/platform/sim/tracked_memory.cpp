#include "platform/sim/tracked_memory.h"

#include <algorithm>
#include <cstring>

namespace velto::sim {
namespace {

constexpr std::size_t kQuarantine = 1024;
constexpr std::size_t kPrefixUnits = sizeof(std::uint32_t) / sizeof(platform::WChar);

// Moves `key` into quarantine; returns the key whose storage may now go.
template <class Key>
std::optional<Key> Quarantine(std::deque<Key>& quarantine, Key key) {
  quarantine.push_back(key);
  if (quarantine.size() <= kQuarantine) return std::nullopt;
  const Key oldest = quarantine.front();
  quarantine.pop_front();
  return oldest;
}

}  // namespace

platform::WChar* StringTable::Allocate(const platform::WChar* source, std::size_t length) {
  const std::size_t prefix = lengthPrefix_ ? kPrefixUnits : 0;
  auto storage = std::make_unique<platform::WChar[]>(prefix + length + 1);  // zero-filled
  platform::WChar* text = storage.get() + prefix;
  if (source) std::copy(source, source + length, text);
  if (lengthPrefix_) {
    const auto bytes = static_cast<std::uint32_t>(length * sizeof(platform::WChar));
    std::memcpy(storage.get(), &bytes, sizeof bytes);
  }
  blocks_[text] = Block{std::move(storage), length, true};
  ++live_;
  return text;
}

FreeOutcome StringTable::Free(const void* text) {
  if (!text) return FreeOutcome::Null;
  const auto it = blocks_.find(text);
  if (it == blocks_.end()) return FreeOutcome::Unknown;
  if (!it->second.live) return FreeOutcome::AlreadyFreed;
  it->second.live = false;
  --live_;
  if (auto expired = Quarantine(quarantine_, text)) blocks_.erase(*expired);
  return FreeOutcome::Freed;
}

std::optional<std::size_t> StringTable::LiveLength(const void* text) const {
  const auto it = blocks_.find(text);
  if (it == blocks_.end() || !it->second.live) return std::nullopt;
  return it->second.length;
}

bool StringTable::WasFreed(const void* text) const {
  const auto it = blocks_.find(text);
  return it != blocks_.end() && !it->second.live;
}

std::uint64_t PropVariantTable::Allocate(std::u16string text) {
  const std::uint64_t handle = nextHandle_++;
  payloads_[handle] = Payload{std::move(text), true};
  ++live_;
  return handle;
}

FreeOutcome PropVariantTable::Free(std::uint64_t handle) {
  const auto it = payloads_.find(handle);
  if (it == payloads_.end())
    return WasFreed(handle) ? FreeOutcome::AlreadyFreed : FreeOutcome::Unknown;
  if (!it->second.live) return FreeOutcome::AlreadyFreed;
  it->second.live = false;
  --live_;
  if (auto expired = Quarantine(quarantine_, handle)) payloads_.erase(*expired);
  return FreeOutcome::Freed;
}

const std::u16string* PropVariantTable::LiveText(std::uint64_t handle) const {
  const auto it = payloads_.find(handle);
  if (it == payloads_.end() || !it->second.live) return nullptr;
  return &it->second.text;
}

bool PropVariantTable::WasFreed(std::uint64_t handle) const {
  const auto it = payloads_.find(handle);
  if (it == payloads_.end()) return handle != 0 && handle < nextHandle_;
  return !it->second.live;
}

std::uint16_t VariantType(const platform::PropVariantData& data) {
  std::uint16_t type;
  std::memcpy(&type, data.bytes, sizeof type);
  return type;
}

std::uint64_t VariantHandle(const platform::PropVariantData& data) {
  std::uint64_t handle;
  std::memcpy(&handle, data.bytes + 8, sizeof handle);
  return handle;
}

void WriteVariant(platform::PropVariantData& data, std::uint16_t type, std::uint64_t handle) {
  data = platform::PropVariantData{};
  std::memcpy(data.bytes, &type, sizeof type);
  std::memcpy(data.bytes + 8, &handle, sizeof handle);
}

}  // namespace velto::sim
