# The whole program treated roughly, in a real X server of its own.
if(TARGET vintrel_xtest)
  vintrel_add_test(hostile_x11_test SOURCES x11/hostile_test.cpp LIBS vintrel_xtest LABELS x11 TIMEOUT 300)
  add_dependencies(hostile_x11_test vintrel)
endif()
