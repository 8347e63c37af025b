# The fault injector the read-fault tests preload into the importer; the caller's own look at
# the header is tested through the query console.
add_library(fz_fault_reads MODULE ${CMAKE_CURRENT_SOURCE_DIR}/faults/fault_reads.c)
target_link_libraries(fz_fault_reads PRIVATE ${CMAKE_DL_LIBS})
foreach(t engine_import_test_read_faults engine_import_test_importer_box)
  if(TARGET ${t})
    add_dependencies(${t} fzimport fzsql fz_fault_reads)
    target_compile_definitions(${t} PRIVATE FZ_FAULT_LIB="$<TARGET_FILE:fz_fault_reads>")
  endif()
endforeach()
