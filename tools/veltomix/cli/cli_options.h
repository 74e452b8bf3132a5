// The options that go before the first step of a veltomix run.
#pragma once

#include <string>
#include <vector>

namespace veltomix {

struct Options {
  std::string systemFile;
  bool json = false;
  bool trace = false;
  std::string dumpSystem;
  std::string stateFile;
  bool refs = false;
  std::string scriptFile;
  bool listExports = false;
  std::string library;
  std::string hostCom = "none";
  bool version = false;
  std::vector<std::string> callWords;
};

// Their names, as `--help` lists them.
const std::vector<std::string>& GlobalOptions();
bool IsGlobalOption(const std::string& word);

}  // namespace veltomix
