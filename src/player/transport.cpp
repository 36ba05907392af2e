#include "app/form1.h"

namespace vintrel {

void Form1::mp_myopen() {}
void Form1::mp_myplay() {}
void Form1::mp_mypause() {}
void Form1::mp_mystop() {}
void Form1::Command1_Click() {}
void Form1::Command2_Click() {}

}  // namespace vintrel
