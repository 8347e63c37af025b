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
# Maximising under a real X server and window manager (not a test_*.cpp: it runs through
# with_openbox.sh, which skips it where Xvfb or openbox is missing).
add_executable(app_window_manager ${CMAKE_CURRENT_SOURCE_DIR}/app/window_manager.cpp)
target_link_libraries(app_window_manager PRIVATE ${FZ_TEST_LIBS_app} Qt6::Test)
add_dependencies(app_window_manager fzimport)
set(work ${CMAKE_BINARY_DIR}/testwork/app_window_manager)
file(MAKE_DIRECTORY ${work})
add_test(NAME app_window_manager WORKING_DIRECTORY ${work} COMMAND sh
         ${CMAKE_CURRENT_SOURCE_DIR}/app/with_openbox.sh $<TARGET_FILE:app_window_manager>)
set_tests_properties(app_window_manager PROPERTIES SKIP_RETURN_CODE 77
  ENVIRONMENT "XDG_CACHE_HOME=${work}/cache;FZ_TEST_WORK=${work}")
