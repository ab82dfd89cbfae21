# add_fuzz_target(<name>_fuzz <source> <libraries...>)
