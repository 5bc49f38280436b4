// The graphics vendor's control interface as this system calls it. Only the methods used
// here are declared; the data blocks are those of tools/vidassist/graphics_port.h.
#pragma once
#include <windows.h>
#include <oleauto.h>
#include <unknwn.h>

#include "tools/vidassist/graphics_port.h"

// {F932C038-6484-45CA-8FA1-7C8C279F7AEE}
static const IID IID_ICUIExternal8 = {0xF932C038, 0x6484, 0x45CA, {0x8F, 0xA1, 0x7C, 0x8C, 0x27, 0x9F, 0x7A, 0xEE}};
// {BC51E8BC-3A25-402E-9D20-4C3FC4E68BF2}
static const GUID IGFX_GET_SET_CONFIGURATION_GUID = {0xBC51E8BC, 0x3A25, 0x402E, {0x9D, 0x20, 0x4C, 0x3F, 0xC4, 0xE6, 0x8B, 0xF2}};
// {69A26315-B0DF-4D66-8FCA-0F164843E79E}
static const GUID IGFX_SCALING_GUID = {0x69A26315, 0xB0DF, 0x4D66, {0x8F, 0xCA, 0x0F, 0x16, 0x48, 0x43, 0xE7, 0x9E}};
// {897843AE-998A-4EEC-A21E-EA642B4490EC}
static const GUID IGFX_EDID_GUID_1_0 = {0x897843AE, 0x998A, 0x4EEC, {0xA2, 0x1E, 0xEA, 0x64, 0x2B, 0x44, 0x90, 0xEC}};
// {21ADA76B-A70E-4D4E-94E2-4B8EE0CC3284}
static const GUID IGFX_GET_SET_N_VIEW_CONFIG_GUID = {0x21ADA76B, 0xA70E, 0x4D4E, {0x94, 0xE2, 0x4B, 0x8E, 0xE0, 0xCC, 0x32, 0x84}};

struct ICUIExternal8 : public IUnknown {
  // Reads or writes one data block named by its GUID; `error` receives the driver's code.
  virtual HRESULT STDMETHODCALLTYPE GetDeviceData(REFGUID data, DWORD size, BYTE* block, DWORD* error) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetDeviceData(REFGUID data, DWORD size, BYTE* block, DWORD* error) = 0;
  // One device a display adapter can attach: in the adapter's name and a device index; out
  // its UID, its type (preset by the caller) and its status bits.
  virtual HRESULT STDMETHODCALLTYPE EnumAttachableDevices(BSTR device, DWORD index, DWORD* uid, DWORD* type,
                                                          DWORD* status) = 0;
};

namespace vida {
// The data block each GUID names, in both directions: the client asks by block, the
// simulated object answers by GUID.
struct BlockGuidEntry {
  Block block;
  const GUID* guid;
};
constexpr BlockGuidEntry kBlockGuids[] = {{Block::Configuration, &IGFX_GET_SET_CONFIGURATION_GUID},
                                          {Block::Scaling, &IGFX_SCALING_GUID},
                                          {Block::Edid, &IGFX_EDID_GUID_1_0},
                                          {Block::NView, &IGFX_GET_SET_N_VIEW_CONFIG_GUID}};

inline const GUID& BlockGuid(Block block) {
  for (const BlockGuidEntry& e : kBlockGuids)
    if (e.block == block) return *e.guid;
  return IGFX_GET_SET_N_VIEW_CONFIG_GUID;
}
inline bool BlockOfGuid(REFGUID guid, Block& block) {
  for (const BlockGuidEntry& e : kBlockGuids)
    if (IsEqualGUID(*e.guid, guid)) {
      block = e.block;
      return true;
    }
  return false;
}
}  // namespace vida
