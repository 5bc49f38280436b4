// CAuthority: membership of the user's tokens in a built-in group.
#pragma once
#include <windows.h>

enum : unsigned { AUTHORITY_ADMINISTRATORS = 0, AUTHORITY_GUESTS = 1 };

class CAuthority {
 public:
  virtual ~CAuthority() = default;
  // The calling thread's effective token.
  bool IsMemberOf(unsigned group);
  // An administrator, elevated or not: a token filtered by User Account Control answers
  // through its linked full token.
  bool IsAdministrator();
  // Administrator rights in this process now (an elevated or unfiltered token).
  bool HasAdministratorRights() { return IsMemberOf(AUTHORITY_ADMINISTRATORS); }
};
