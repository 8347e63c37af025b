# Captions are checked again at the larger scales a desktop may use.
if(TARGET app_test_captions_whole)
  foreach(scale 1.5 2)
    set(work ${CMAKE_BINARY_DIR}/testwork/app_test_captions_whole_x${scale})
    file(MAKE_DIRECTORY ${work})
    add_test(NAME app_test_captions_whole_x${scale} COMMAND app_test_captions_whole
             WORKING_DIRECTORY ${work})
    set_tests_properties(app_test_captions_whole_x${scale} PROPERTIES ENVIRONMENT
      "QT_QPA_PLATFORM=offscreen;QT_SCALE_FACTOR=${scale};XDG_CACHE_HOME=${work}/cache;FZ_TEST_WORK=${work}")
  endforeach()
endif()
# Maximising under a real X server and window manager; skipped where they are not installed.
if(TARGET app_test_window_manager)
  set_tests_properties(app_test_window_manager PROPERTIES SKIP_RETURN_CODE 77)
endif()
