#include "app/form1.h"

namespace vintrel {

void Form1::Command5_Click() {}
void Form1::Command6_Click() {}

}  // namespace vintrel
