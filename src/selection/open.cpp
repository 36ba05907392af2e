#include "app/form1.h"

namespace vintrel {

void Form1::Command4_Click() {}

}  // namespace vintrel
