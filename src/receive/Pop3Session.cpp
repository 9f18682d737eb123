#include "receive/Pop3Session.h"

namespace zentavo {

Pop3Account Pop3AccountFor(const Settings& settings) {
  return {settings.popHost, settings.popPort, settings.user, settings.password};
}

}  // namespace zentavo
