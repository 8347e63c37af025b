# The engine tests run the importer and the query console as separate programs.
foreach(t engine_test_query engine_test_store_cache engine_test_fast_paths engine_test_fzsql engine_test_import_generated engine_test_real_files)
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
