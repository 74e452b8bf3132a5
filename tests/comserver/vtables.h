// The vtables of the server's faces.
#pragma once

#include "server.h"

namespace velto::comtest {

// How an object is shown: its primary face's vtable and interface.
struct FaceShape {
  const void* vtbl;
  const char* name;
  const GUID* iid;
  p::Unknown* unknown;
};

FaceShape ShapeOf(const SimInterfaces& sim, const GUID* activatedAs);
const void* ConnectorVtable();
const IClassFactoryVtbl* ClassFactoryVtable();

}  // namespace velto::comtest
