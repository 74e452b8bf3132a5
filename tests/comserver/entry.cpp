// The server's DLL entry points and its class factory.
#include "interface_ids.h"
#include "server.h"
#include "vtables.h"

namespace velto::comtest {
namespace {

HRESULT STDMETHODCALLTYPE FactoryQueryInterface(Face* self, REFIID iid, void** out) {
  if (!out) return E_POINTER;
  const bool mine = IsEqualGUID(iid, kIID_IUnknown) || IsEqualGUID(iid, kIID_IClassFactory);
  *out = mine ? self : nullptr;
  return mine ? S_OK : E_NOINTERFACE;
}
// The factory is static: its count means nothing.
ULONG STDMETHODCALLTYPE FactoryAddRef(Face*) { return 2; }
ULONG STDMETHODCALLTYPE FactoryRelease(Face*) { return 1; }

HRESULT STDMETHODCALLTYPE CreateInstance(Face*, IUnknown* outer, REFIID iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (outer) return CLASS_E_NOAGGREGATION;
  sim::SimSystem* system = Server::Get().System();
  if (!system) return E_FAIL;
  // The class context never reaches a factory; in process is all it serves.
  p::Ref<p::DeviceEnumerator> enumerator;
  const HRESULT hr = system->CreateDeviceEnumerator(CLSCTX_INPROC_SERVER, enumerator);
  if (hr != S_OK || !enumerator) return hr;
  const GUID& wanted = IsEqualGUID(iid, kIID_IUnknown) ? kIID_IMMDeviceEnumerator : iid;
  if (!IsEqualGUID(wanted, kIID_IMMDeviceEnumerator)) {
    Server::Get().Problem("CoCreateInstance asked for " + GuidText(iid));
    return E_NOINTERFACE;
  }
  *out = Server::Get().Hand(enumerator.Get(), wanted);
  return *out ? S_OK : E_FAIL;
}

HRESULT STDMETHODCALLTYPE LockServer(Face*, BOOL) { return S_OK; }

const IClassFactoryVtbl kFactoryVtbl = {
    .QueryInterface = FactoryQueryInterface,
    .AddRef = FactoryAddRef,
    .Release = FactoryRelease,
    .CreateInstance = CreateInstance,
    .LockServer = LockServer,
};
Face factory{.vtbl = &kFactoryVtbl, .object = nullptr, .name = "IClassFactory"};

// Wine unloads an in-process server at the last CoUninitialize when it may;
// the simulated objects its clients hold must outlive that.
void PinModule() {
  HMODULE self = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                     reinterpret_cast<LPCWSTR>(&PinModule), &self);
}

}  // namespace
}  // namespace velto::comtest

extern "C" {

HRESULT STDMETHODCALLTYPE DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
  using namespace velto::comtest;
  if (!out) return E_POINTER;
  *out = nullptr;
  if (!IsEqualGUID(clsid, kCLSID_MMDeviceEnumerator)) return CLASS_E_CLASSNOTAVAILABLE;
  PinModule();
  return FactoryQueryInterface(&factory, iid, out);
}

HRESULT STDMETHODCALLTYPE DllCanUnloadNow() { return S_FALSE; }

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_DETACH) velto::comtest::Server::Get().Report();
  return TRUE;
}

}  // extern "C"
