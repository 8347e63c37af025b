# The engine tests run the importer and the query console as separate programs.
foreach(t engine_test_dialect engine_test_query engine_test_store_cache engine_test_fast_paths engine_test_fzsql engine_test_import_generated)
  if(TARGET ${t})
    add_dependencies(${t} fzimport fzsql fzgen)
  endif()
endforeach()
