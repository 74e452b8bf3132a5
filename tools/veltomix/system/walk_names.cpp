#include "system/walk_names.h"

#include <unordered_map>
#include <unordered_set>

#include "common/text.h"

namespace veltomix {

namespace {

// Hands out `base`, or when that is taken `base` + separator + 2, 3, ...:
// the first number not taken. Each base's count carries on from where it
// stopped, since names are never given back, so many parts of one name cost
// no more than as many of different names.
class UniqueNames {
 public:
  explicit UniqueNames(std::string separator) : separator_(std::move(separator)) {}

  std::string Take(const std::string& base) {
    if (taken_.insert(base).second) return base;
    int& n = next_.try_emplace(base, 2).first->second;
    std::string name = base + separator_ + std::to_string(n++);
    while (!taken_.insert(name).second) name = base + separator_ + std::to_string(n++);
    return name;
  }

 private:
  std::string separator_;
  std::unordered_set<std::string> taken_;
  std::unordered_map<std::string, int> next_;
};

}  // namespace

std::string AdapterNameOf(const std::string& endpointName) {
  if (endpointName.empty() || endpointName.back() != ')') return {};
  int depth = 0;
  for (std::size_t i = endpointName.size(); i-- > 0;) {
    if (endpointName[i] == ')') ++depth;
    if (endpointName[i] != '(' || --depth != 0) continue;
    if (i + 2 >= endpointName.size()) return {};
    return endpointName.substr(i + 1, endpointName.size() - i - 2);
  }
  return {};
}

void NameParts(SystemModel& model) {
  for (WalkedAdapter& adapter : model.adapters) {
    UniqueNames ids("-");
    for (WalkedPart& part : adapter.parts) part.id = ids.Take(Slug(part.name));
  }
}

// Endpoint names on Windows end in the adapter's name in parentheses,
// "Speakers (Realtek High Definition Audio)"; when every endpoint joined to
// an adapter agrees on it, that is the adapter's name.
void NameAdapters(SystemModel& model) {
  std::vector<std::optional<std::string>> agreed(model.adapters.size());
  std::vector<bool> disagree(model.adapters.size(), false);
  for (const WalkedEndpoint& endpoint : model.endpoints) {
    if (!endpoint.connector) continue;
    const std::size_t a = endpoint.connector->adapter;
    const std::string suffix = AdapterNameOf(endpoint.name);
    if (suffix.empty() || (agreed[a] && *agreed[a] != suffix)) disagree[a] = true;
    agreed[a] = suffix;
  }
  UniqueNames names(" ");
  for (std::size_t a = 0; a < model.adapters.size(); ++a) {
    model.adapters[a].name =
        names.Take(!disagree[a] && agreed[a] ? *agreed[a] : "Adapter " + std::to_string(a + 1));
  }
}

}  // namespace veltomix
