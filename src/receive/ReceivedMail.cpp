#include "receive/ReceivedMail.h"

namespace zentavo {

ReceivedMail ReadReceivedMail(std::string_view) { return {}; }

}  // namespace zentavo
