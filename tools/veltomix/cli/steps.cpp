#include "cli/steps.h"

#include <CLI/CLI.hpp>
#include <algorithm>

#include "calls/export_table.h"
#include "cli/step_hints.h"

namespace veltomix {

namespace {

bool IsStepName(const std::string& word) { return FindCommand(word) || FindExport(word); }

// The words of one command, from after its name up to the next step's name.
// A word right after an option that takes a value is that value, whatever it
// spells.
std::vector<std::string> CommandWords(CLI::App& app, const std::vector<std::string>& words,
                                      std::size_t* index) {
  std::vector<std::string> mine;
  std::size_t i = *index;
  while (i < words.size() && !IsStepName(words[i])) {
    const std::string& word = words[i++];
    mine.push_back(word);
    const CLI::Option* option = word.rfind("-", 0) == 0 && word.find('=') == std::string::npos
                                    ? app.get_option_no_throw(word)
                                    : nullptr;
    if (option && option->get_expected_min() > 0 && i < words.size()) mine.push_back(words[i++]);
  }
  *index = i;
  return mine;
}

std::unique_ptr<Command> ParseCommand(const CommandSpec& spec,
                                      const std::vector<std::string>& words, std::size_t* index) {
  CLI::App app{spec.summary, spec.name};
  app.footer(std::string("Usage: veltomix [OPTIONS] ... ") + spec.synopsis + " ...");
  std::unique_ptr<Command> command = spec.define(app);
  std::vector<std::string> args = CommandWords(app, words, index);
  std::reverse(args.begin(), args.end());  // CLI11 takes them last first
  try {
    app.parse(args);
    command->Check();
  } catch (const CLI::CallForHelp&) {
    throw HelpRequested{app.help()};
  } catch (const CLI::ExtrasError&) {
    // CLI11 lists the extras last first; remaining() has them as typed.
    const std::vector<std::string> extras = app.remaining();
    throw UsageError(spec.name, std::string(spec.name) + ": The following argument" +
                                    (extras.size() == 1 ? " was" : "s were") + " not expected: " +
                                    CLI::detail::join(extras, " ") + ExtrasHint(spec, extras) +
                                    " (`veltomix " + spec.name + " --help` shows its usage)");
  } catch (const CLI::ParseError& error) {
    throw UsageError(spec.name, std::string(spec.name) + ": " + error.what() + " (`veltomix " +
                                    spec.name + " --help` shows its usage)");
  } catch (const UsageError& error) {
    throw UsageError(spec.name, error.what());
  }
  return command;
}

}  // namespace

std::vector<Step> ParseSteps(const std::vector<std::string>& words) {
  std::vector<Word> asWords;
  for (const std::string& text : words) asWords.push_back({text, false});
  std::vector<Step> steps;
  for (std::size_t i = 0; i < words.size();) {
    Step step;
    if (const CommandSpec* spec = FindCommand(words[i])) {
      ++i;
      step.command = ParseCommand(*spec, words, &i);
    } else if (FindExport(words[i])) {
      step.call = ParseCallAt(asWords, i, "command line", &i);
    } else {
      throw UsageError(UnknownStep(words[i]));
    }
    steps.push_back(std::move(step));
  }
  return steps;
}

}  // namespace veltomix
