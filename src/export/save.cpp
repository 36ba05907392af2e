#include "app/form1.h"

namespace vintrel {

void Form1::Command7_Click() {}

}  // namespace vintrel
