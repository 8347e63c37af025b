# The read-back tests talk to libmdb directly.
foreach(t tools_test_jet4_readback tools_test_jet3_readback tools_test_fzgen tools_test_fzgen_slow_million)
  if(TARGET ${t})
    target_link_libraries(${t} PRIVATE PkgConfig::LIBMDB)
  endif()
endforeach()
