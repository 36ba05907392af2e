#include "app/form1.h"

namespace vintrel {

void Form1::Command9_Click() {}

}  // namespace vintrel
