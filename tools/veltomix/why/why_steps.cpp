#include "why/why_steps.h"

#include "platform/description/text.h"
#include "platform/readable.h"

namespace veltomix {

namespace p = velto::platform;
using p::Ref;

namespace {

template <class T>
Ref<T> Hold(T* object) {
  if (!object) return nullptr;
  p::ReferenceCount::Add(*object);
  return Ref<T>::Adopt(object);
}

}  // namespace

void Recorder::Step(const velto::WalkStep& step) {
  Told told{step, Hold(step.part), Hold(step.list), {step.words.begin(), step.words.end()}};
  told.step.part = nullptr;
  told.step.list = nullptr;
  told.step.words = {};
  steps.push_back(std::move(told));
}

std::string Words(const std::vector<std::string>& words) {
  std::string text;
  for (std::size_t i = 0; i < words.size(); ++i)
    text += (i == 0 ? "" : i + 1 == words.size() ? " or " : ", ") + p::InQuotes(words[i]);
  return text;
}

std::string Shown(p::Part* part) {
  p::TaskString name;
  if (!part || part->GetName(name) != p::kS_OK || !name) return "a part whose name cannot be read";
  std::size_t length = 0;
  while (name.Get()[length]) ++length;
  return p::InQuotes(velto::description::Utf16ToUtf8(name.Get(), length));
}

bool Same(const Ref<p::Part>& a, const Ref<p::Part>& b) {
  return a && b && a->Identity() == b->Identity();
}

std::string NeverTried(p::PartsList* list) {
  std::uint32_t count = 0;
  if (!list || list->GetCount(&count) != p::kS_OK) return "";
  std::string others;
  for (std::uint32_t k = 1; k < count; ++k) {
    Ref<p::Part> part;
    if (list->GetPart(k, part) == p::kS_OK && part)
      others += (others.empty() ? "" : ", ") + Shown(part.Get());
  }
  return others.empty() ? "" : "; beside it, never tried: " + others;
}

}  // namespace veltomix
