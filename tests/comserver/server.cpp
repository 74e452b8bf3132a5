#include "server.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include "interface_ids.h"
#include "platform/readable.h"
#include "platform/sim/engine.h"
#include "vtables.h"

namespace velto::comtest {

namespace {

// The log file, written with the Win32 calls alone: the report is written
// while the process ends, when the C runtime may be half gone.
HANDLE OpenLog() {
  const char* path = std::getenv("VELTO_COMSERVER_LOG");
  if (!path || !*path) return INVALID_HANDLE_VALUE;
  return CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                     OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

// --- ServerObject --------------------------------------------------------------

ServerObject::ServerObject(sim::ObjectBase& base, const GUID* activatedAs) : base_(base) {
#define VELTO_SIM_CAST(Type, field) sim_.field = dynamic_cast<p::Type*>(&base);
  VELTO_SIM_INTERFACES(VELTO_SIM_CAST)
#undef VELTO_SIM_CAST
  const FaceShape shape = ShapeOf(sim_, activatedAs);
  unknown_ = shape.unknown;
  primary_ = Face{.vtbl = shape.vtbl, .object = this, .name = shape.name};
  primaryIid_ = shape.iid;
  if (sim_.part && sim_.connector) {
    connector_ = Face{.vtbl = ConnectorVtable(), .object = this, .name = "IConnector"};
    secondaryIid_ = &kIID_IConnector;
  }
}

Face* ServerObject::FaceFor(const GUID& iid) {
  if (primaryIid_ && IsEqualGUID(iid, *primaryIid_)) return &primary_;
  if (secondaryIid_ && IsEqualGUID(iid, *secondaryIid_)) return &connector_;
  // The four level interfaces are IPerChannelDbLevel under other names.
  if (sim_.level && IsEqualGUID(iid, kIID_IPerChannelDbLevel)) return &primary_;
  return nullptr;
}

bool ServerObject::IsConnectorFace(const Face* face) const {
  return face == &connector_ || (!sim_.part && sim_.connector && face == &primary_);
}

const std::string& ServerObject::Path() const { return base_.Path(); }
void ServerObject::Grant() { base_.Grant(); }
long ServerObject::Refs() const { return base_.Refs(); }

// --- Server --------------------------------------------------------------------

Server& Server::Get() {
  // Never destroyed: clients may call in while the process ends.
  static Server* const server = new Server();
  return *server;
}

sim::SimSystem* Server::System() {
  if (loadTried_) return system_.get();
  loadTried_ = true;
  const char* path = std::getenv("VELTO_COMSERVER_SYSTEM");
  try {
    system_ = path && *path ? sim::SimSystem::FromFile(path) : sim::SimSystem::Sample();
  } catch (const std::exception& error) {
    Problem(std::string("cannot load the sound system: ") + error.what());
    return nullptr;
  }
  // The COM runtime knows the caller's apartment (Count asks it); the
  // simulation sees none of the client's CoInitialize calls.
  system_->SetApartmentChecks(false);
  // Without a log (the benchmark), or for the report alone (long runs), the
  // trace would only cost time.
  const char* log = std::getenv("VELTO_COMSERVER_LOG");
  const char* trace = std::getenv("VELTO_COMSERVER_TRACE");
  if (!log || !*log || (trace && std::strcmp(trace, "0") == 0)) return system_.get();
  system_->SetTraceSink([this](const sim::TraceEntry& entry) {
    std::string line = "trace: " + entry.object + " " + entry.op + "(" + entry.args + ")";
    if (entry.hasResult) line += " -> " + platform::HexText(entry.result);
    Log(line);
  });
  system_->SetTracing(true);
  return system_.get();
}

void* Server::Hand(p::Unknown* object, const GUID& iid, const GUID* activatedAs) {
  auto* base = dynamic_cast<sim::ObjectBase*>(object);
  if (!base) {
    Problem("the simulation handed out an object the server cannot show");
    return nullptr;
  }
  ServerObject& shown = ObjectFor(*base, activatedAs);
  Face* face = shown.FaceFor(iid);
  if (!face) {
    Problem("no " + GuidText(iid) + " face on " + base->Path());
    return nullptr;
  }
  shown.AddRef();
  return face;
}

ServerObject& Server::ObjectFor(sim::ObjectBase& base, const GUID* activatedAs) {
  std::unique_ptr<ServerObject>& slot = objects_[&base];
  if (!slot) slot = std::make_unique<ServerObject>(base, activatedAs);
  return *slot;
}

ServerObject& Server::IdentityOf(ServerObject& object) {
  // The simulation never hands out an original in fresh mode, and never
  // changes one: the cast only lets the server count references on it.
  auto& original = const_cast<sim::ObjectBase&>(object.Base().Original());
  return ObjectFor(original, object.ActivatedAs());
}

void Server::Count(const Face* face, const char* method) {
  ApplyOutsideChanges();
  ++counts_[std::string(face->name) + "::" + method];
  // Windows may unload the code behind an object used so, and a
  // single-threaded object's calls would not be marshalled.
  APTTYPE type{};
  APTTYPEQUALIFIER qualifier{};
  if (CoGetApartmentType(&type, &qualifier) != S_OK)
    Problem(std::string("call outside any COM apartment: ") + face->name + "::" + method + " on " +
            face->object->Path());
  if (face->object->Refs() <= 0 && std::strcmp(method, "Release") != 0)
    Problem(std::string("call on a released object: ") + face->name + "::" + method + " on " +
            face->object->Path());
}

void Server::ApplyOutsideChanges() {
  static const char* const path = std::getenv("VELTO_COMSERVER_CHANGES");
  if (!path || !*path || !system_) return;
  // The writer renames a complete file into place, and taking it by another
  // rename makes sure each change is made once, even if the deletion fails.
  const std::string taken = std::string(path) + ".taken";
  if (!MoveFileExA(path, taken.c_str(), MOVEFILE_REPLACE_EXISTING)) return;
  const HANDLE file = CreateFileA(taken.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  std::string text(4096, '\0');
  DWORD got = 0;
  ReadFile(file, text.data(), static_cast<DWORD>(text.size()), &got, nullptr);
  CloseHandle(file);
  DeleteFileA(taken.c_str());
  text.resize(got);
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);)
    if (!line.empty() && line != "\r") ApplyOutsideChange(line);
}

void Server::ApplyOutsideChange(const std::string& line) {
  std::istringstream words(line);
  std::string what, id;
  double fraction = 0;
  if (!(words >> what >> id >> fraction) || what != "volume") {
    Problem("an outside change the server does not know: " + line);
    return;
  }
  const std::u16string wide(id.begin(), id.end());
  p::Ref<p::DeviceEnumerator> enumerator;
  p::Ref<p::Device> device;
  p::Ref<p::EndpointVolume> volume;
  float min = 0, max = 0, step = 0;
  if (system_->CreateDeviceEnumerator(CLSCTX_INPROC_SERVER, enumerator) != S_OK ||
      enumerator->GetDevice(wide.c_str(), device) != S_OK ||
      device->Activate(CLSCTX_INPROC_SERVER, volume) != S_OK ||
      volume->GetVolumeRange(&min, &max, &step) != S_OK ||
      volume->SetMasterVolumeLevel(static_cast<float>(min + fraction * (max - min))) != S_OK)
    Problem("the outside change failed: " + line);
}

void Server::Problem(const std::string& text) { Log("problem " + text); }

void Server::TraceUnknownId(const Face* face, const char* method, const GUID& iid, HRESULT result) {
  Log("trace: " + face->object->Path() + " " + method + "(iid=" + GuidText(iid) +
      ", unknown to the server) -> " + platform::HexText(result));
}

void Server::Log(const std::string& line) {
  static const HANDLE file = OpenLog();
  if (file == INVALID_HANDLE_VALUE) return;
  const std::string text = line + "\n";
  DWORD written = 0;
  WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

void Server::Report() {
  const long refs = system_ ? system_->LiveReferences() : 0;
  Log("refs " + std::to_string(refs));
  if (system_) {
    for (const auto& [path, count] : system_->LiveReferencesByObject())
      Log("live " + path + " " + std::to_string(count));
    // The simulation's own findings: double releases, calls after release,
    // strings freed twice.
    for (const std::string& problem : system_->Problems()) Log("problem " + problem);
  }
  for (const auto& [method, count] : counts_) Log("calls " + method + " " + std::to_string(count));
  Log("end");
}

}  // namespace velto::comtest
