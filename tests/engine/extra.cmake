# The engine tests run the importer and the query console as separate programs.
foreach(t engine_test_dialect engine_test_query engine_test_store_cache engine_test_fast_paths engine_test_fzsql engine_test_import_generated engine_test_real_files)
  if(TARGET ${t})
    add_dependencies(${t} fzimport fzsql fzgen)
  endif()
endforeach()
# The real Access files live beside the project (../shared/real-mdb); without them the test
# skips. mdbtools gives the column types it compares by.
if(TARGET engine_test_real_files)
  target_link_libraries(engine_test_real_files PRIVATE PkgConfig::LIBMDB)
  set_tests_properties(engine_test_real_files PROPERTIES SKIP_RETURN_CODE 77)
endif()
# The fault injector the read-fault tests preload into the importer.
add_library(fz_fault_reads MODULE ${CMAKE_CURRENT_SOURCE_DIR}/faults/fault_reads.c)
target_link_libraries(fz_fault_reads PRIVATE ${CMAKE_DL_LIBS})
foreach(t engine_test_read_faults engine_test_importer_box)
  if(TARGET ${t})
    add_dependencies(${t} fzimport fz_fault_reads)
    target_compile_definitions(${t} PRIVATE FZ_FAULT_LIB="$<TARGET_FILE:fz_fault_reads>")
  endif()
endforeach()
