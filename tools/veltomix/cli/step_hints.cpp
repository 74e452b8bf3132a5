#include "cli/step_hints.h"

#include <algorithm>

#include "calls/export_table.h"
#include "cli/cli_options.h"
#include "common/text.h"
#include "mixer/mixer_controls.h"

namespace veltomix {

const std::vector<std::string>& GlobalOptions() {
  static const std::vector<std::string> names = {
      "--system", "--json",    "--trace",    "--dump-system",  "--state",   "--refs",
      "--script", "--library", "--host-com", "--list-exports", "--version", "--help"};
  return names;
}

bool IsGlobalOption(const std::string& word) {
  const std::string name = word.substr(0, word.find('='));
  const auto& names = GlobalOptions();
  return std::find(names.begin(), names.end(), name) != names.end();
}

namespace {

// What the user may have meant by a word that is no step: "" when nothing fits.
std::string Hint(const std::string& word) {
  if (FindControl(word))
    return " (" + word + " is a control: `get " + word + "` or `set " + word + " VALUE`)";
  std::vector<std::string> steps;
  for (const CommandSpec& spec : FriendlyCommands()) steps.emplace_back(spec.name);
  for (const ExportInfo& info : Exports()) steps.emplace_back(info.name);
  const std::string nearest = Nearest(word, steps);
  if (!nearest.empty()) return " (did you mean " + nearest + "?)";
  std::vector<std::string> controls;
  for (const ControlInfo& control : Controls()) controls.emplace_back(control.name);
  const std::string control = Nearest(word, controls);
  if (!control.empty()) return " (did you mean `get " + control + "`?)";
  return {};
}

}  // namespace

std::string UnknownStep(const std::string& word) {
  const std::string message = "command line: unknown command or export '" + word + "'";
  const std::string hint = Hint(word);
  if (!hint.empty()) return message + hint;
  if (IsGlobalOption(word))
    return message + " (" + word +
           " is an option of veltomix: options go before the first "
           "call or command, e.g. `veltomix " +
           word + " ...`)";
  const std::string option = Nearest(word.substr(0, word.find('=')), GlobalOptions());
  if (word.rfind("-", 0) == 0 && !option.empty())
    return "command line: unknown option '" + word + "' (did you mean " + option + "?)";
  if (word.rfind("--", 0) == 0)
    return message + " (options go before the first call or command, e.g. `veltomix " + word +
           " ...`, or belong to the command before it)";
  return message + " (veltomix --help lists the commands, --list-exports the exports)";
}

std::string ExtrasHint(const CommandSpec& spec, const std::vector<std::string>& args) {
  std::string hint;
  for (const std::string& word : args) {
    if (IsGlobalOption(word)) {
      hint += " (" + word +
              " is an option of veltomix and goes before the first command: "
              "`veltomix " +
              word + " " + spec.name + " ...`)";
    } else if (word.rfind("-", 0) == 0) {
      const std::string nearest = Nearest(word.substr(0, word.find('=')), CommandOptions(spec));
      if (!nearest.empty()) hint += " (did you mean " + nearest + "?)";
    } else {
      hint += Hint(word);
    }
  }
  return hint;
}

std::string GlobalOptionHint(const std::vector<std::string>& args) {
  for (const std::string& word : args) {
    if (word.rfind("-", 0) != 0) break;
    if (IsGlobalOption(word)) continue;
    const std::string nearest = Nearest(word.substr(0, word.find('=')), GlobalOptions());
    if (!nearest.empty()) return " (did you mean " + nearest + "?)";
  }
  return {};
}

}  // namespace veltomix
