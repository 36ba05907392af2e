#include "app/form1.h"

namespace vintrel {

void Form1::T_Timer() {}
void Form1::H_MouseDown() {}
void Form1::H_MouseUp() {}
void Form1::H_Click() {}

}  // namespace vintrel
