# add_fuzz_target(<name>_fuzz <source> <libraries...>)
add_fuzz_target(formatter_fuzz formatter_fuzz.cpp pondra_comms)
