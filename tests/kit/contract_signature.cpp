// Compiled, not run: an export defined against the contract's prototypes. With
// WRONG_SIGNATURE it has the result type wkptbat once had, which must not compile.
#include "host/module_contract.h"

#ifdef WRONG_SIGNATURE
int WICKPOST_CALL WickpostEnableAutoCheck(int enable) { return enable; }
#else
void WICKPOST_CALL WickpostEnableAutoCheck(int enable) { (void)enable; }
#endif
