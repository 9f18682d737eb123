#include "receive/DeliveryReport.h"

namespace zentavo {

std::optional<DeliveryReport> ReadDeliveryReport(std::string_view) { return std::nullopt; }

}  // namespace zentavo
