# The whole program treated roughly, in a real X server of its own.
if(TARGET vintrel_xtest)
  vintrel_add_test(test_hostile_x11 SOURCES x11/test_hostile_x11.cpp LIBS vintrel_xtest LABELS x11 TIMEOUT 300)
  add_dependencies(test_hostile_x11 vintrel)
endif()
