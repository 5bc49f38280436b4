#include "tools/wickinfo/wickinfo_report.h"

#include <string>

#include "common/core/misccommon.h"
#include "common/core/model_identity.h"

using namespace MiscCommon;

namespace {
std::string Narrow(const char16_t* s) {
  std::string out;
  for (; s && *s; ++s) out.push_back(*s < 0x80 ? static_cast<char>(*s) : '?');
  return out;
}

int Failure(CMiscCommon& client, std::ostream& out, const char* operation, int code) {
  out << "Error: " << ResultName(code) << " (" << operation << ")\n";
  out << "Message: " << Narrow(client.LastErrorText()) << "\n";
  return code;
}

const char* SessionText(const CMiscCommon& client) {
  if (client.HasSession()) return "enciphered";
  if (!client.IsEnciphered()) return "plain (declined by the driver)";
  return "none (driver older than 1.0.8.0)";
}
}  // namespace

int PrintNotebook(CMiscCommon& client, std::ostream& out) {
  if (const int rc = client.Open()) return Failure(client, out, "Open", rc);
  std::string model, serial;
  FirmwareVersion bios;
  if (const int rc = ReadModelNumber(client, model)) return Failure(client, out, "Model", rc);
  if (const int rc = ReadSerialNumber(client, serial)) return Failure(client, out, "Serial", rc);
  if (const int rc = ReadBiosVersion(client, bios)) return Failure(client, out, "BIOS", rc);
  out << "Model: " << model << "\n";
  out << "Serial: " << serial << "\n";
  out << "BIOS: " << FirmwareText(bios) << "\n";
  out << "Driver: " << Narrow(client.DriverVersionText()) << "\n";
  out << "Session: " << SessionText(client) << "\n";
  return 0;
}
