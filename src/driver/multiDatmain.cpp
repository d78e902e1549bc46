#include "driver/driver.h"

namespace korvane {

void multiDatmain() {}

}  // namespace korvane
