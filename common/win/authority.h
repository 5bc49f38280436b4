// CAuthority: membership of the calling thread's token in a built-in group.
#pragma once
#include <windows.h>

enum : unsigned { AUTHORITY_ADMINISTRATORS = 0, AUTHORITY_GUESTS = 1 };

class CAuthority {
 public:
  virtual ~CAuthority() = default;
  bool IsMemberOf(unsigned group);
  bool IsAdministrator() { return IsMemberOf(AUTHORITY_ADMINISTRATORS); }
};
