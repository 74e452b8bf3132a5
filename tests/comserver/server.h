// The Core Audio test server: the simulated sound system behind real COM
// vtables, as an in-process server of CLSID_MMDeviceEnumerator.
//
// Every simulated object is shown to clients as one ServerObject, whose
// faces (interface pointers) forward each call to the simulation. The
// simulation keeps the counts: a face's AddRef and Release are the simulated
// object's, so its accounting sees every reference a client holds, and its
// trace records every call in the order the client made it.
//
// Environment: VELTO_COMSERVER_SYSTEM names the description to load (the
// built-in sample without it); VELTO_COMSERVER_LOG the file that receives
// the trace as it happens and, when the process ends, the live references,
// the problems and the count of each interface method called;
// VELTO_COMSERVER_TRACE=0 keeps the trace out of it (long runs);
// VELTO_COMSERVER_CHANGES names a file of changes made elsewhere (another
// program, the volume keys), one a line, "volume <endpoint id> <fraction of
// the range>": the server makes them through the endpoint's volume before the
// client's next call, and deletes the file. VELTOSOUND_FRESH_OBJECTS=1 makes
// the simulation hand out a new object for every object-handing call;
// QueryInterface(IID_IUnknown) still answers one face per part or control.
//
// Every call is checked against the caller's apartment (CoGetApartmentType):
// one from a thread in none, explicit or implicit, is a problem.
#pragma once

#include <map>
#include <memory>
#include <string>

#include "com_interfaces.h"
#include "guid_text.h"
#include "platform/platform.h"
#include "platform/sim/sim_system.h"

namespace velto::sim {
class ObjectBase;
}

namespace velto::comtest {

namespace p = velto::platform;

// clang-format off
#define VELTO_SIM_INTERFACES(X)                                                          \
  X(DeviceEnumerator, enumerator) X(DeviceCollection, collection) X(Device, device)      \
  X(PropertyStore, store) X(EndpointVolume, volume) X(DeviceTopology, topology)          \
  X(Part, part) X(Connector, connector) X(PartsList, parts) X(LevelControl, level)       \
  X(MuteControl, mute) X(SwitchControl, onOff)
// clang-format on

// The simulated interfaces behind one object; null where it offers none.
struct SimInterfaces {
#define VELTO_SIM_FIELD(Type, field) p::Type* field = nullptr;
  VELTO_SIM_INTERFACES(VELTO_SIM_FIELD)
#undef VELTO_SIM_FIELD
};

class ServerObject {
 public:
  // `activatedAs` names the control interface a part control was activated
  // as (IAudioBass, IAudioLoudness, ...); it is what the object answers to.
  ServerObject(sim::ObjectBase& base, const GUID* activatedAs);

  Face* FaceFor(const GUID& iid);
  Face* Primary() { return &primary_; }
  bool IsConnectorFace(const Face* face) const;
  const std::string& Path() const;
  long Refs() const;
  unsigned long AddRef() { return p::ReferenceCount::Add(*unknown_); }
  unsigned long Release() { return p::ReferenceCount::Release(*unknown_); }

  const SimInterfaces& Sim() const { return sim_; }
  sim::ObjectBase& Base() const { return base_; }
  const GUID* ActivatedAs() const { return primaryIid_; }
  // A reference for QueryInterface(IID_IUnknown), on an object that may have
  // none yet (the original behind fresh copies).
  void Grant();

 private:
  sim::ObjectBase& base_;
  SimInterfaces sim_;
  p::Unknown* unknown_;  // any of them: all share the object's one count
  Face primary_{};
  Face connector_{};  // a connector part is reached as IConnector too
  const GUID* primaryIid_ = nullptr;
  const GUID* secondaryIid_ = nullptr;
};

class Server {
 public:
  static Server& Get();

  // The simulated system, loaded on first use; null when the description
  // cannot be loaded (the reason is logged).
  sim::SimSystem* System();

  // A new client reference to `object`'s face for `iid`.
  void* Hand(p::Unknown* object, const GUID& iid, const GUID* activatedAs = nullptr);
  // What QueryInterface(IID_IUnknown) answers for `object`: the one object
  // behind it, however many fresh copies the simulation handed out.
  ServerObject& IdentityOf(ServerObject& object);

  void Count(const Face* face, const char* method);
  void Problem(const std::string& text);
  // A call the simulation has no operation for, recorded as a trace line so
  // that it shows in the comparison.
  void TraceUnknownId(const Face* face, const char* method, const GUID& iid, HRESULT result);
  void Log(const std::string& line);
  void Report();
  void ApplyOutsideChanges();

 private:
  Server() = default;
  void ApplyOutsideChange(const std::string& line);
  std::unique_ptr<sim::SimSystem> system_;
  bool loadTried_ = false;
  std::map<const sim::ObjectBase*, std::unique_ptr<ServerObject>> objects_;
  ServerObject& ObjectFor(sim::ObjectBase& base, const GUID* activatedAs);
  std::map<std::string, unsigned long> counts_;
};

}  // namespace velto::comtest
