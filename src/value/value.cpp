#include "value/value.h"

#include <cmath>

namespace varnoke {

Currency Currency::fromDouble(double amount) {
    return Currency{static_cast<std::int64_t>(std::llround(amount * 10000.0))};
}

bool Value::isNumeric() const {
    const Kind k = kind();
    return k == Kind::Boolean || k == Kind::Number || k == Kind::Currency;
}

} // namespace varnoke
