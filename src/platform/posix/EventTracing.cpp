// Event tracing on POSIX systems: there is none, so the functions never load
// and no provider is ever registered or written to.
#include "platform/EventTracing.h"

namespace Corvan::Platform {

bool LoadEventTracing() { return false; }

bool RegisterEventProvider(const EventGuid&, EventProviderRegistration& registration) {
  registration.handle = 0;
  return false;
}

bool WriteEvent(const EventProviderRegistration&, const EventDescription&, const EventDataItem*,
                std::size_t) {
  return false;
}

void UnregisterEventProvider(EventProviderRegistration& registration) { registration.handle = 0; }

}  // namespace Corvan::Platform
