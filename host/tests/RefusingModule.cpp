// A module whose export refuses every host: it answers with another major
// plugin API version and leaves the callbacks and description unset.
#include "abi/HostAbi.h"

extern "C" KYN_EXPORT void KYN_CALL load_kyn_highlights(PluginLoadBlock* block) {
  block->apiVersionMajor = 19;
  block->apiVersionMinor = 0;
  block->apiVersionPatch = 0;
}
