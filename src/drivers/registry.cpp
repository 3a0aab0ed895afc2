#include "drivers/foreign_reader.h"

namespace varnoke {

// No reader is registered yet.
const ForeignReader* findReader(std::string_view) { return nullptr; }

} // namespace varnoke
